#pragma once

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>

#include "core/model_workspace.h"

namespace kalvora {

// The group "Varying parameter" of the phase-plot and delay-plot settings: the parameter the slider
// sweeps, its bounds and the slider's number of steps.
class VaryingParameterGroup {
  public:
    VaryingParameterGroup(QWidget* parent, const ModelWorkspace& workspace);

    QGroupBox* group;
    QComboBox* par;
    QLineEdit* parmin;
    QLineEdit* parmax;
    QLineEdit* Edit1;  // "# steps in slidebar"

    // Refills the parameter names, selects the first and writes its value into both bounds.
    void fill();
    // The chosen parameter's current value into both bounds (general format, 15 digits).
    void parChange();
    // 0-based index of the chosen parameter (0 when the list is empty).
    int parameterIndex() const;
    // The bounds and the step count; raise the conversion error of a bad text.
    Extended minimum() const;
    Extended maximum() const;
    int steps() const;
    // The step count, refusing a count below 1 as the slider would refuse it.
    int checkedSteps() const;

    struct Sweep {
        Extended minimum;
        Extended maximum;
        int steps;
        // 0-based: the parameter chosen when the settings were accepted. A later change of the
        // dialog (refilled for another model, a choice cancelled) does not move the slider's
        // parameter.
        int parameter = 0;
    };
    // All three at once, so that a bad one is reported before anything runs; a step count below 1
    // is refused as the slider would refuse it. A model without parameters has nothing to sweep:
    // its bounds are 0 and the empty edits are not read.
    Sweep sweep() const;

    // The chosen parameter's value in the workspace's model (0 for a model without parameters),
    // and the same value set for one run's evaluator (nothing for a model without parameters).
    Extended value(const ModelWorkspace& workspace, int parameter) const;
    void store(ModelEvaluator& model, int parameter, Extended value) const;

  private:
    const ModelWorkspace& workspace_;
};

}  // namespace kalvora
