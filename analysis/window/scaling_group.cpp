#include "analysis/window/scaling_group.h"

#include <QGridLayout>
#include <cmath>
#include <stdexcept>

#include "core/numbers.h"

namespace kalvora {

namespace {

QLineEdit* addRow(QGridLayout* layout, QWidget* group, const QString& caption, const char* name,
                  QList<QWidget*>& parts) {
    auto* label = new QLabel(caption, group);
    auto* edit = new QLineEdit(group);
    edit->setObjectName(name);
    const int row = layout->rowCount();
    layout->addWidget(label, row, 0);
    layout->addWidget(edit, row, 1);
    parts << label << edit;
    return edit;
}

}  // namespace

ScalingGroup::ScalingGroup(QWidget* parent, bool withXAxis) {
    ManScal = new QCheckBox(QStringLiteral("       Manual Scaling"), parent);
    ManScal->setObjectName("ManScal");
    group = new QGroupBox(QStringLiteral("Scaling"), parent);
    group->setObjectName("Scaling");
    auto* layout = new QGridLayout(group);
    if (withXAxis) {
        scminx = addRow(layout, group, QStringLiteral("Min. variable X-axis"), "scminx", parts_);
        scmaxx = addRow(layout, group, QStringLiteral("Max. variable X-axis"), "scmaxx", parts_);
    }
    scminy = addRow(layout, group, QStringLiteral("Min. variable Y-axis"), "scminy", parts_);
    scmaxy = addRow(layout, group, QStringLiteral("Max. variable Y-axis"), "scmaxy", parts_);
    parts_ << group;
    QObject::connect(ManScal, &QCheckBox::toggled, group, [this] { ManScalClick(); });
    ManScalClick();
}

void ScalingGroup::ManScalClick() {
    const bool on = ManScal->isChecked();
    for (QWidget* part : parts_) {
        part->setEnabled(on);
    }
}

void ScalingGroup::resetOnClose() {
    ManScal->setChecked(false);
    for (QLineEdit* edit : {scminx, scmaxx, scminy, scmaxy}) {
        if (edit != nullptr) {
            edit->setText(QStringLiteral(" "));
        }
    }
    ManScalClick();
}

namespace {

// An axis range is held in doubles: a limit beyond them would become infinite, which no axis can
// show, so it is no number for the scaling either.
double ReadLimit(const QLineEdit* edit) {
    const double limit = static_cast<double>(ParseFloat(edit->text().toStdString()));
    if (!std::isfinite(limit)) {
        throw ConversionError("limit out of range");
    }
    return limit;
}

}  // namespace

std::optional<ScalingGroup::Limits> ScalingGroup::read() const {
    try {
        Limits limits;
        if (scmaxx != nullptr) {
            limits.withXAxis = true;
            limits.xMaximum = ReadLimit(scmaxx);
            limits.xMinimum = ReadLimit(scminx);
        }
        limits.yMaximum = ReadLimit(scmaxy);
        limits.yMinimum = ReadLimit(scminy);
        return limits;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<ScalingGroup::Limits> ScalingGroup::acceptedLimits() const {
    if (!manual()) {
        return std::nullopt;
    }
    std::optional<Limits> limits = read();
    if (!limits) {
        throw std::runtime_error("Enter numerical values for manual scaling");
    }
    return limits;
}

}  // namespace kalvora
