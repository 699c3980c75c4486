#pragma once

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QWidget>
#include <functional>
#include <optional>

#include "core/model_workspace.h"

namespace kalvora {

// The colour controls at the bottom of both scan dialogs: "Select Cycle" with its spin edit and the
// panel of that cycle's colour, then the panels of non-convergence and divergence. They edit the
// workspace's cycleColours, which both scans share for the whole run of the program.
class ColourPanels : public QWidget {
    Q_OBJECT
  public:
    // nonConvergenceName: the object name of the non-convergence panel ("NcPanel" or
    // "NonConPanel").
    ColourPanels(ModelWorkspace& workspace, const char* nonConvergenceName, QWidget* parent);

    QSpinBox* SpinEdit1;
    QPushButton* CcPanel;
    QPushButton* NonConvergencePanel;
    QPushButton* DcPanel;

    // The colour dialog; answers nothing when cancelled. Tests put a script here.
    std::function<std::optional<RgbColour>(RgbColour current, QWidget* parent)> chooseColour;

    // Paints the three panels: cycle 1 (and the spin edit back to 1), non-convergence, divergence.
    void paintPanels();
    // The colour a panel shows.
    static RgbColour panelColour(const QPushButton* panel);

  private:
    void paint(QPushButton* panel, RgbColour colour);
    void choose(QPushButton* panel, int entry);

    ModelWorkspace& workspace_;
};

}  // namespace kalvora
