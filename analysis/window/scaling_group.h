#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <optional>

namespace kalvora {

// The "Manual Scaling" check box and its group "Scaling" that every settings dialog of a plot
// window carries: two edits for the value axis, or four when the abscissa can be fixed as well. The
// check box enables the group, its labels and its edits.
class ScalingGroup {
  public:
    struct Limits {
        double xMinimum = 0;
        double xMaximum = 0;
        double yMinimum = 0;
        double yMaximum = 0;
        bool withXAxis = false;  // the group has abscissa edits, and the x limits come from them
    };

    // Creates the check box (ManScal) and the group with scminy/scmaxy, and scminx/scmaxx when
    // withXAxis, as children of parent. The edits start empty and the group disabled.
    ScalingGroup(QWidget* parent, bool withXAxis);

    QCheckBox* ManScal;
    QGroupBox* group;
    QLineEdit* scminx = nullptr;
    QLineEdit* scmaxx = nullptr;
    QLineEdit* scminy;
    QLineEdit* scmaxy;

    bool manual() const { return ManScal->isChecked(); }
    // Follows the check box: group, labels and edits enabled exactly when it is checked.
    void ManScalClick();
    // The state after closing a result window: unchecked, each edit a single space, all disabled.
    void resetOnClose();
    // The numbers in the edits (maxima read before minima); nothing when one is not a number.
    std::optional<Limits> read() const;
    // The limits a run is to use: nothing when the check box is off; raises "Enter numerical
    // values for manual scaling" when it is on and an edit holds no number.
    std::optional<Limits> acceptedLimits() const;

  private:
    QList<QWidget*> parts_;
};

}  // namespace kalvora
