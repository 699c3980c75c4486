#include "analysis/data/statistics/tvarset.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "analysis/window/model_lists.h"

namespace kalvora {

TVarSet::TVarSet(const ModelWorkspace& workspace) : QDialog(nullptr), workspace_(workspace) {
    setObjectName("TVarSet");
    setWindowTitle(QStringLiteral("Settings Statistics"));
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    auto* group = new QGroupBox(QStringLiteral("Statistics"), this);
    group->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(group);
    Variable = new QComboBox(group);
    Variable->setObjectName("Variable");
    SpinEdit2 = new QSpinBox(group);
    SpinEdit2->setObjectName("SpinEdit2");
    SpinEdit2->setRange(0, static_cast<int>(kStatisticsMaximumTransient));
    SpinEdit2->setValue(100);
    SpinEdit1 = new QSpinBox(group);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setRange(2, static_cast<int>(kStatisticsMaximumPoints));
    SpinEdit1->setValue(100);
    const std::pair<const char*, QWidget*> rows[] = {
        {"Variable", Variable}, {"# Transient", SpinEdit2}, {"# Points", SpinEdit1}};
    int row = 0;
    for (const auto& [caption, control] : rows) {
        auto* label = new QLabel(QString::fromLatin1(caption), group);
        label->setBuddy(control);
        grid->addWidget(label, row, 0);
        grid->addWidget(control, row, 1);
        ++row;
    }

    OkButton = new QPushButton(QStringLiteral("Ok"), this);
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName("CancelButton");
    connect(OkButton, &QPushButton::clicked, this, [this] { emit okClicked(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { reject(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    // Wide enough for the caption to show in full.
    setFixedSize(sizeHint().expandedTo(QSize(280, 0)));
}

void TVarSet::fill() {
    FillVariableList(Variable, workspace_);
    Variable->setCurrentIndex(0);
}

StatisticsSettings TVarSet::settings() const {
    SpinEdit1->interpretText();
    SpinEdit2->interpretText();
    StatisticsSettings settings;
    const int entries =
        std::max(1, workspace_.model().variableCount + workspace_.model().auxiliaryCount);
    settings.variable = std::clamp(Variable->currentIndex() + 1, 1, entries);
    settings.transient = SpinEdit2->value();
    settings.points = SpinEdit1->value();
    return settings;
}

void TVarSet::restore(const StatisticsSettings& settings) {
    Variable->setCurrentIndex(std::clamp(settings.variable - 1, 0, Variable->count() - 1));
    SpinEdit2->setValue(static_cast<int>(settings.transient));
    SpinEdit1->setValue(static_cast<int>(settings.points));
}

void TVarSet::reject() {
    hide();
    emit cancelled();
}

}  // namespace kalvora
