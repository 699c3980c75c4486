#include "app/computing_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

#include "core/model_workspace.h"

namespace kalvora {

namespace {

// Letting Qt process its events costs microseconds; a model step costs far less. Breathing at most
// every few milliseconds keeps the Stop button responsive without slowing the computation down.
constexpr qint64 kBreathIntervalMs = 15;

}  // namespace

TComputing::TComputing(ModelWorkspace& workspace, QWidget* parent)
    : QDialog(parent), workspace_(workspace) {
    setObjectName("Computing");
    setWindowTitle("Program is computing...");
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    gauge_ = new QProgressBar(this);
    gauge_->setObjectName("gauge");
    gauge_->setMinimumWidth(280);
    gauge_->setTextVisible(true);
    layout->addWidget(gauge_);
    Stop = new QPushButton("Stop", this);
    Stop->setObjectName("Stop");
    // Enter presses the default button; Escape goes to reject(), which presses it too.
    Stop->setDefault(true);
    Stop->setAutoDefault(true);
    layout->addWidget(Stop, 0, Qt::AlignHCenter);
    connect(Stop, &QPushButton::clicked, this, &TComputing::StopClick);
    setFixedSize(sizeHint());
}

void TComputing::StopClick() {
    workspace_.stopFlag = true;
}

void TComputing::reject() {
    StopClick();
}

void TComputing::closeEvent(QCloseEvent* event) {
    if (running_) {
        StopClick();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TComputing::start(long long maximum) {
    // A Stop pressed during the last stretch of the previous computation, after its final check,
    // must not end this one before it begins.
    workspace_.stopFlag = false;
    // QProgressBar counts in int; a longer range is cut at the largest int.
    gauge_->setRange(0, static_cast<int>(std::clamp<long long>(maximum, 0, INT_MAX)));
    gauge_->setValue(0);
    running_ = true;
    if (observer_)
        observer_(true);
    show();
    raise();
    Stop->setFocus();
    sinceBreath_.invalidate();
    QApplication::processEvents();
}

void TComputing::setPosition(long long position) {
    gauge_->setValue(static_cast<int>(std::clamp<long long>(position, 0, gauge_->maximum())));
}

void TComputing::breathe() {
    if (sinceBreath_.isValid() && sinceBreath_.elapsed() < kBreathIntervalMs)
        return;
    sinceBreath_.start();
    QApplication::processEvents();
}

void TComputing::finish() {
    running_ = false;
    hide();
    if (observer_)
        observer_(false);
}

}  // namespace kalvora
