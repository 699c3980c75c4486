#include "analysis/scan/common/colour_panels.h"

#include <QColorDialog>
#include <QGridLayout>

namespace kalvora {

ColourPanels::ColourPanels(ModelWorkspace& workspace, const char* nonConvergenceName,
                           QWidget* parent)
    : QWidget(parent), workspace_(workspace) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    auto panel = [this](const char* name) {
        auto* button = new QPushButton(QStringLiteral("Select Color"), this);
        button->setObjectName(name);
        button->setFlat(true);
        button->setAutoFillBackground(true);
        return button;
    };
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setRange(1, 100);
    CcPanel = panel("CcPanel");
    NonConvergencePanel = panel(nonConvergenceName);
    DcPanel = panel("DcPanel");
    grid->addWidget(new QLabel(QStringLiteral("Select Cycle"), this), 0, 0);
    grid->addWidget(SpinEdit1, 0, 1);
    grid->addWidget(CcPanel, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Non Convergence"), this), 1, 0);
    grid->addWidget(NonConvergencePanel, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Divergence"), this), 2, 0);
    grid->addWidget(DcPanel, 2, 2);

    chooseColour = [](RgbColour current, QWidget* owner) -> std::optional<RgbColour> {
        const QColor chosen = QColorDialog::getColor(QColor::fromRgb(current), owner);
        if (!chosen.isValid()) {
            return std::nullopt;
        }
        return static_cast<RgbColour>(chosen.rgb() & 0xFFFFFFu);
    };
    connect(SpinEdit1, &QSpinBox::valueChanged, this, [this](int cycle) {
        paint(CcPanel, workspace_.cycleColours[static_cast<std::size_t>(cycle - 1)]);
    });
    connect(CcPanel, &QPushButton::clicked, this,
            [this] { choose(CcPanel, SpinEdit1->value() - 1); });
    connect(NonConvergencePanel, &QPushButton::clicked, this,
            [this] { choose(NonConvergencePanel, 100); });
    connect(DcPanel, &QPushButton::clicked, this, [this] { choose(DcPanel, 101); });
    paintPanels();
}

void ColourPanels::paintPanels() {
    const QSignalBlocker blocker(SpinEdit1);
    SpinEdit1->setValue(1);
    paint(CcPanel, workspace_.cycleColours[0]);
    paint(NonConvergencePanel, workspace_.cycleColours[100]);
    paint(DcPanel, workspace_.cycleColours[101]);
}

RgbColour ColourPanels::panelColour(const QPushButton* panel) {
    return panel->palette().color(QPalette::Button).rgb() & 0xFFFFFFu;
}

void ColourPanels::paint(QPushButton* panel, RgbColour colour) {
    QPalette palette = panel->palette();
    const QColor shown = QColor::fromRgb(colour);
    palette.setColor(QPalette::Button, shown);
    palette.setColor(QPalette::Window, shown);
    // The caption stays readable on dark and light colours alike.
    palette.setColor(QPalette::ButtonText, qGray(shown.rgb()) < 128 ? Qt::white : Qt::black);
    panel->setPalette(palette);
}

void ColourPanels::choose(QPushButton* panel, int entry) {
    RgbColour& stored = workspace_.cycleColours[static_cast<std::size_t>(entry)];
    if (const std::optional<RgbColour> chosen = chooseColour(stored, this)) {
        stored = *chosen;
        paint(panel, stored);
    }
}

}  // namespace kalvora
