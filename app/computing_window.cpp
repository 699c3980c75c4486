#include "app/computing_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace kalvora {

TComputing::TComputing(QWidget* parent) : QDialog(parent) {
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
    if (stopHandler_)
        stopHandler_();
}

void TComputing::reject() {
    StopClick();
}

void TComputing::closeEvent(QCloseEvent* event) {
    // Closing the window stops the run: a run going on unseen, with no Stop left, would keep the
    // commands locked for as long as it lasts.
    if (running_) {
        StopClick();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TComputing::start(long long maximum) {
    // QProgressBar counts in int; a longer range is cut at the largest int.
    gauge_->setRange(0, static_cast<int>(std::clamp<long long>(maximum, 0, INT_MAX)));
    gauge_->setValue(0);
    running_ = true;
    if (!isVisible()) {
        show();
        raise();
        Stop->setFocus();
    }
}

void TComputing::setPosition(long long position) {
    gauge_->setValue(static_cast<int>(std::clamp<long long>(position, 0, gauge_->maximum())));
}

void TComputing::finish() {
    running_ = false;
    hide();
}

}  // namespace kalvora
