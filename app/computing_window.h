#pragma once

#include <QDialog>
#include <functional>

#include "core/progress.h"

class QProgressBar;
class QPushButton;

namespace kalvora {

// "Program is computing...": the gauge of a run that takes long, and its Stop button. Stop, Escape
// and the close box all stop the run; the window goes away when the run has ended.
class TComputing final : public QDialog, public Progress {
    Q_OBJECT
  public:
    explicit TComputing(QWidget* parent = nullptr);

    // What Stop does: the main window requests the running job's stop.
    void setStopHandler(std::function<void()> handler) { stopHandler_ = std::move(handler); }
    bool running() const { return running_; }

    // Progress
    void start(long long maximum) override;
    void setPosition(long long position) override;
    void finish() override;

    QPushButton* stopButton() const { return Stop; }
    QProgressBar* gauge() const { return gauge_; }

  public slots:
    void StopClick();

  protected:
    // Escape and the close box mean Stop; the window goes away only when the computation ends.
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QProgressBar* gauge_;
    QPushButton* Stop;
    bool running_ = false;
    std::function<void()> stopHandler_;
};

}  // namespace kalvora
