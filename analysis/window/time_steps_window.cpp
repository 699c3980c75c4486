#include "analysis/window/time_steps_window.h"

#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "analysis/window/plot_window.h"

namespace kalvora {

TimeStepsWindow::TimeStepsWindow(const char* objectName, QWidget* owner)
    : QWidget(owner, Qt::Tool) {
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

StepCommands AddStepCommands(PlotWindow& window, const char* stepsName,
                             const std::function<void()>& clear,
                             const std::function<void()>& next) {
    const auto action = [&window](const char* caption, const char* name) {
        auto* made = new QAction(QString::fromUtf8(caption), &window);
        made->setObjectName(name);
        return made;
    };
    const StepCommands commands{
        new TimeStepsWindow(stepsName, &window), action("&Clear Form", "ClearForm1"),
        action("&Next Iteration(s)", "NextIterations1"), action("# &Time steps...", "TimeSteps1"),
        action("# &Iterations...", "Iterations1")};
    QObject::connect(commands.clearForm, &QAction::triggered, &window, clear);
    QObject::connect(commands.nextIterations, &QAction::triggered, &window, next);
    for (QAction* show : {commands.timeSteps, commands.iterations}) {
        QObject::connect(show, &QAction::triggered, commands.steps, &TimeStepsWindow::showWindow);
    }
    window.menuBar()->findChild<QMenu*>("Edit1")->addAction(commands.timeSteps);
    window.menuBar()->addAction(commands.clearForm);
    window.menuBar()->addAction(commands.nextIterations);
    // Pop-up: "&Parameters...", "&Settings...", then "# &Iterations..." before "&Edit Graph".
    window.PopupMenu1->insertAction(window.PopupMenu1->actions().at(2), commands.iterations);
    return commands;
}

}  // namespace kalvora
