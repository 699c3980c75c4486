#pragma once

#include <QScrollBar>
#include <functional>

#include "core/model_workspace.h"

namespace kalvora {

// The slider at the bottom of the phase-plot and delay-plot windows. It sweeps one parameter
// between two bounds; each move by the user recomputes the plot. Moves made by the program (to show
// where a parameter typed in the parameter window lies) run nothing.
class ParameterSlider : public QScrollBar {
    Q_OBJECT
  public:
    explicit ParameterSlider(QWidget* parent);

    // Called for every change of position by the user.
    std::function<void()> onUserMove;

    // The parameter range the positions span, set when the settings are accepted.
    double rangeMinimum() const { return minimum_; }
    double rangeMaximum() const { return maximum_; }
    void setParameterRange(double minimum, double maximum);
    // Widens the range so that it holds value.
    void widenTo(Extended value);

    // The number of steps; refuses a count below 1 ("Scrollbar property out of range").
    void setLargestPosition(int steps);
    // minimum + (maximum - minimum) / largest position * position.
    Extended parameterAt(int position) const;
    Extended currentParameter() const { return parameterAt(value()); }

    // Moves the slider without running anything.
    void moveWithoutRun(int position);
    // The position whose parameter the plot shows: set by moves of the program and by a user's
    // move that ran; a user's move that could not run goes back there.
    int settledPosition() const { return settled_; }
    void settle() { settled_ = value(); }
    void returnToSettled() { moveWithoutRun(settled_); }
    // Puts the slider where value lies in the range, rounded and clamped, without running anything.
    void showValue(Extended value);

  private:
    double minimum_ = 0;
    double maximum_ = 0;
    bool programMove_ = false;
    int settled_ = 0;
};

}  // namespace kalvora
