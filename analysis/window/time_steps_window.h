#pragma once

#include <QAction>
#include <QSpinBox>
#include <QWidget>
#include <functional>

namespace kalvora {

class PlotWindow;

// The small "# time steps" tool window of the windows that grow a construction step by step
// (graphical analysis, iterating objects): how many steps one "&Next Iteration(s)" takes. It is
// non-modal and stays on top, so the user can change the count between commands.
class TimeStepsWindow : public QWidget {
    Q_OBJECT
  public:
    // objectName: the form's name ("Tgrafanit", "Tmanifit").
    TimeStepsWindow(const char* objectName, QWidget* owner);

    QSpinBox* SpinEdit1;  // 1 .. 1000, default 1

    int steps() const { return SpinEdit1->value(); }
    // "# &Time steps..." and "# &Iterations...".
    void showWindow();
};

// The commands of a window that grows step by step: "# &Time steps..." in its Edit menu and
// "# &Iterations..." in its pop-up menu (before "&Edit Graph") show its time-steps window;
// "&Clear Form" and "&Next Iteration(s)" on its menu bar run clear and next.
struct StepCommands {
    TimeStepsWindow* steps;
    QAction* clearForm;
    QAction* nextIterations;
    QAction* timeSteps;
    QAction* iterations;
};

// stepsName: the time-steps window's form name.
StepCommands AddStepCommands(PlotWindow& window, const char* stepsName,
                             const std::function<void()>& clear, const std::function<void()>& next);

}  // namespace kalvora
