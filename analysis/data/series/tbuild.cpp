#include "analysis/data/series/tbuild.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "analysis/data/common/orbit_file_save.h"

namespace kalvora {

TBuild::TBuild(AnalysisHost& host) : QDialog(nullptr), host_(host) {
    setObjectName("TBuild");
    setWindowTitle(QStringLiteral("Build Data Series"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    auto* group = new QGroupBox(QStringLiteral("Settings"), this);
    group->setObjectName("GroupBox1");
    auto* grid = new QGridLayout(group);
    auto* caption = new QLabel(QStringLiteral("Length of Time Series"), group);
    Length = new QSpinBox(group);
    Length->setObjectName("Length");
    Length->setRange(2, 1000000);
    Length->setValue(10000);
    caption->setBuddy(Length);
    grid->addWidget(caption, 0, 0);
    grid->addWidget(Length, 0, 1);

    OkButton = new QPushButton(QStringLiteral("OK"), this);
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    CancelButton->setObjectName("CancelButton");
    connect(OkButton, &QPushButton::clicked, this, [this] { OkButtonClick(); });
    connect(CancelButton, &QPushButton::clicked, this, [this] { hide(); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OkButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    setFixedSize(sizeHint().expandedTo(QSize(225, 125)));
}

void TBuild::open() {
    show();
    raise();
    activateWindow();
}

void TBuild::OkButtonClick() {
    // A value typed but not yet confirmed counts, as it does for every spin edit of the program.
    Length->interpretText();
    hide();
    SaveOrbitFileBehindGauge(host_, {1, Length->value(), 1});
}

}  // namespace kalvora
