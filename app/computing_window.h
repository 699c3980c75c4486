#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <functional>

#include "core/progress.h"

class QProgressBar;
class QPushButton;

namespace kalvora {

struct ModelWorkspace;

// "Program is computing...": the gauge of a long computation and its Stop button. It is the
// desktop's progress display for the long computations.
class TComputing final : public QDialog, public Progress {
    Q_OBJECT
  public:
    TComputing(ModelWorkspace& workspace, QWidget* parent = nullptr);

    // Called with true when a long computation starts and false when it ends, so that the main
    // window can lock the commands that must not run meanwhile.
    void setRunningObserver(std::function<void(bool)> observer) { observer_ = std::move(observer); }
    bool running() const { return running_; }

    // Progress
    void start(long long maximum) override;
    void setPosition(long long position) override;
    void breathe() override;
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
    ModelWorkspace& workspace_;
    QProgressBar* gauge_;
    QPushButton* Stop;
    QElapsedTimer sinceBreath_;
    bool running_ = false;
    std::function<void(bool)> observer_;
};

}  // namespace kalvora
