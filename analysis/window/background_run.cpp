#include "analysis/window/background_run.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <exception>
#include <optional>
#include <thread>

#include "analysis/window/analysis_host.h"
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
// A run shorter than this shows no computing window: a slider drag would make it flicker.
constexpr qint64 kQuietMs = 300;

// The host's run mark, ended on every way out.
class HostRun {
  public:
    HostRun(AnalysisHost& host, RunControl& control) : host_(host) { host_.runStarted(control); }
    ~HostRun() { host_.runFinished(); }
    HostRun(const HostRun&) = delete;
    HostRun& operator=(const HostRun&) = delete;

  private:
    AnalysisHost& host_;
};

}  // namespace

bool RunWithComputingWindow(AnalysisHost& host,
                            const std::function<void(RunControl& control)>& job) {
    if (host.runGoing()) {
        return false;
    }
    Progress& display = host.computingProgress();
    RecordedProgress recorded;
    RunControl control(recorded);
    std::exception_ptr thrown;
    {
        const HostRun mark(host, control);
        std::atomic<bool> done{false};
        QEventLoop loop;
        std::thread worker([&] {
            try {
                job(control);
            } catch (...) {
                thrown = std::current_exception();
            }
            done.store(true, std::memory_order_release);
            // Wakes the loop at once: a short run (a slider move) must not wait for the next poll.
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });

        QTimer poll;
        QElapsedTimer elapsed;
        elapsed.start();
        bool shown = false;
        long long shownMaximum = -1;
        auto update = [&] {
            if (!shown && elapsed.elapsed() >= kQuietMs && !done.load(std::memory_order_acquire)) {
                shown = true;
                display.start(0);
            }
            if (shown && recorded.started()) {
                if (recorded.maximum() != shownMaximum) {
                    shownMaximum = recorded.maximum();
                    display.start(shownMaximum);
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
        // The loop also ends when the program quits; its Exit has already passed the stop on, so
        // the worker is ending too.
        if (!done.load(std::memory_order_acquire) && !control.stopRequested()) {
            control.requestStop();
        }
        worker.join();
        if (shown) {
            display.finish();
        }
    }
    if (thrown) {
        std::rethrow_exception(thrown);
    }
    return true;
}

ModelRunOutcome RunModelJob(
    AnalysisHost& host, const std::function<void(ModelEvaluator& model, RunControl& control)>& job,
    const Integration& integration) {
    ModelWorkspace& ws = host.workspace();
    const ModelDefinitionPtr definition = WithIntegration(ws.definition, integration);
    const RandomState randomState = ws.randomState;
    ModelRunOutcome outcome;
    RandomState after = randomState;
    std::string message;
    outcome.ran = RunWithComputingWindow(host, [&](RunControl& control) {
        ModelEvaluator model(definition, randomState, nullptr, &control);
        // A script whose top level fails to run here failed on this worker alone; it compiled when
        // the model was accepted.
        if (model.scriptStatus == 0) {
            job(model, control);
        }
        outcome.failed = model.errorFlag || model.scriptStatus != 0;
        outcome.stopped = control.stopRequested();
        after = RandomStateOf(model);
        message = model.recordedMessage;
    });
    if (!outcome.ran) {
        return outcome;
    }
    ws.randomState = after;
    if (!message.empty() && !outcome.stopped) {
        host.prompts().error(message);
    }
    return outcome;
}

}  // namespace kalvora
