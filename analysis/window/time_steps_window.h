#pragma once

#include <QSpinBox>
#include <QWidget>

namespace kalvora {

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

}  // namespace kalvora
