#include "analysis/window/time_steps_window.h"

#include <QGridLayout>
#include <QLabel>

namespace kalvora {

TimeStepsWindow::TimeStepsWindow(const char* objectName, QWidget* owner)
    : QWidget(owner, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setObjectName(objectName);
    setWindowTitle(QStringLiteral("# time steps"));
    auto* layout = new QGridLayout(this);
    auto* first = new QLabel(QStringLiteral("Select the"), this);
    first->setObjectName("Label1");
    auto* second = new QLabel(QStringLiteral("time steps"), this);
    second->setObjectName("Label2");
    SpinEdit1 = new QSpinBox(this);
    SpinEdit1->setObjectName("SpinEdit1");
    SpinEdit1->setRange(1, 1000);
    SpinEdit1->setValue(1);
    layout->addWidget(first, 0, 0);
    layout->addWidget(SpinEdit1, 1, 0);
    layout->addWidget(second, 2, 0);
    setFixedSize(sizeHint().expandedTo(QSize(120, 0)));
}

void TimeStepsWindow::showWindow() {
    show();
    raise();
}

}  // namespace kalvora
