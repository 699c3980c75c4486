#include "analysis/window/background_run.h"

#include <QEventLoop>
#include <QTimer>
#include <atomic>
#include <exception>
#include <thread>

#include "core/model_workspace.h"

namespace kalvora {

namespace {

// The worker's side of the progress display: it only records, the user-interface thread reads.
class RecordedProgress final : public Progress {
  public:
    void start(long long maximum) override {
        maximum_.store(maximum, std::memory_order_relaxed);
        position_.store(0, std::memory_order_relaxed);
        started_.store(true, std::memory_order_release);
    }
    void setPosition(long long position) override {
        position_.store(position, std::memory_order_relaxed);
    }
    void breathe() override {}
    void finish() override {}

    bool started() const { return started_.load(std::memory_order_acquire); }
    long long maximum() const { return maximum_.load(std::memory_order_relaxed); }
    long long position() const { return position_.load(std::memory_order_relaxed); }

  private:
    std::atomic<bool> started_{false};
    std::atomic<long long> maximum_{0};
    std::atomic<long long> position_{0};
};

// Often enough for a gauge and for Stop to feel immediate, rarely enough to cost nothing.
constexpr int kPollIntervalMs = 30;

}  // namespace

void RunWithComputingWindow(Progress& display, ModelWorkspace& workspace,
                            const std::function<void(RunControl& control)>& job) {
    RecordedProgress recorded;
    RunControl control(recorded);
    display.start(0);
    std::atomic<bool> done{false};
    std::exception_ptr thrown;
    std::thread worker([&] {
        try {
            job(control);
        } catch (...) {
            thrown = std::current_exception();
        }
        done.store(true, std::memory_order_release);
    });

    QEventLoop loop;
    QTimer poll;
    long long shownMaximum = -1;
    auto update = [&] {
        if (workspace.stopFlag) {
            control.requestStop();
        }
        if (recorded.started()) {
            if (recorded.maximum() != shownMaximum) {
                shownMaximum = recorded.maximum();
                // Restarting the display would clear a Stop pressed meanwhile; keep it.
                const bool stopPressed = workspace.stopFlag;
                display.start(shownMaximum);
                workspace.stopFlag = stopPressed;
            }
            display.setPosition(recorded.position());
        }
        if (done.load(std::memory_order_acquire)) {
            loop.quit();
        }
    };
    QObject::connect(&poll, &QTimer::timeout, &loop, update);
    poll.start(kPollIntervalMs);
    if (!done.load(std::memory_order_acquire)) {
        loop.exec();
    }
    poll.stop();
    worker.join();
    update();
    display.finish();
    if (thrown) {
        std::rethrow_exception(thrown);
    }
}

}  // namespace kalvora
