#pragma once

#include <functional>

#include "analysis/orbit/common/parameter_slider.h"
#include "analysis/orbit/common/varying_parameter_group.h"
#include "analysis/window/plot_window.h"

namespace kalvora {

// The parameter sweep of an orbit window: the slider beside the status panels, the varying
// parameter of the settings dialog that it moves, and status panels 2 and 3, which name the
// parameter and show its value. The window runs the computation; this keeps the parameter, the
// slider and the panels in step around the runs.
class ParameterSweep {
  public:
    // Puts the slider into the window's status bar; onUserMove runs for every move by the user.
    ParameterSweep(PlotWindow& window, const VaryingParameterGroup& varying,
                   std::function<void()> onUserMove);

    ParameterSlider* slider;

    // Before every run: the slider takes the dialog's step count (refusing a count below 1).
    void prepareRun();
    // The same with the step count of accepted settings.
    void prepareRun(int steps);
    // The slider varies the parameter for this window's runs only: the model keeps its value, so
    // nothing of the slider stays in the model when the window closes.
    // OK in the settings dialog, before the first run: the parameter starts at the lower bound.
    void startAccepted(const VaryingParameterGroup::Sweep& sweep);
    // After that run: the slider spans the bounds and goes back to its start without running
    // (only the first run of new settings is computed), and the parameter follows it.
    void finishAccepted(const VaryingParameterGroup::Sweep& sweep);
    // A move by the user, before the run: the parameter where the slider stands.
    void followSlider();
    // Accept in the parameter window, before the run: the model's (new) value, shown, the range
    // widened to hold it and the slider put there without running.
    void followAcceptedValue(const ModelWorkspace& workspace);
    // The parameter's name and value in panels 2 and 3.
    void showParameter(const ModelWorkspace& workspace);
    // On a run's evaluator (the worker's side): the parameter at the value of this window.
    void applyTo(ModelEvaluator& model) const;
    Extended value() const { return value_; }

  private:
    PlotWindow& window_;
    const VaryingParameterGroup& varying_;
    // Read by the run's worker, written only between runs.
    Extended value_ = 0;
    int parameter_ = 0;
    bool varies_ = false;
};

}  // namespace kalvora
