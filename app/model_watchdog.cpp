#include "app/model_watchdog.h"

#include <QApplication>
#include <chrono>

#include "app/computing_window.h"
#include "core/model_workspace.h"

namespace kalvora {

namespace {

constexpr int kBeatMs = 100;
// Events are handled at most this often from inside the interpreter: often enough for Stop to
// feel immediate, rarely enough that the model still runs at nearly full speed.
constexpr int kEventIntervalMs = 30;

}  // namespace

long long ModelWatchdog::Now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ModelWatchdog::ModelWatchdog(ModelWorkspace& workspace, TComputing& computing, QObject* parent)
    : QObject(parent), workspace_(workspace), computing_(computing), lastBeat_(0) {
    workspace_.interrupt.setBreathHandler([this] { breathe(); });
    connect(&beat_, &QTimer::timeout, this, [this] { heartbeat(); });
    beat_.start(kBeatMs);
    watcher_ = std::thread([this] {
        while (!quit_.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kBeatMs));
            // Nothing is watched before the event loop first turned (a test driving the windows
            // directly has no loop at all).
            const long long beat = lastBeat_.load();
            if (!breathing_.load() && beat != 0 && Now() - beat > kPatienceMs) {
                breathing_.store(true);
                workspace_.interrupt.startBreathing();
            }
        }
    });
}

ModelWatchdog::~ModelWatchdog() {
    quit_.store(true);
    watcher_.join();
    workspace_.interrupt.stopBreathing();
    workspace_.interrupt.setBreathHandler({});
}

void ModelWatchdog::heartbeat() {
    // Events handled from inside the interpreter do not count: the model is still running.
    if (insideBreath_) {
        return;
    }
    lastBeat_.store(Now());
    if (breathing_.load()) {
        workspace_.interrupt.stopBreathing();
        breathing_.store(false);
        if (computingShown_) {
            computingShown_ = false;
            computing_.finish();
        }
        // The evaluation that was stopped has ended; the next one runs again.
        workspace_.interrupt.clear();
    }
}

void ModelWatchdog::breathe() {
    if (insideBreath_ || (sinceEvents_.isValid() && sinceEvents_.elapsed() < kEventIntervalMs)) {
        return;
    }
    insideBreath_ = true;
    if (!computing_.running()) {
        // Shows the window, locks the commands that must not start meanwhile and handles events.
        computing_.start(0);
        computingShown_ = true;
    } else {
        QApplication::processEvents();
    }
    sinceEvents_.start();
    if (workspace_.stopFlag) {
        workspace_.interrupt.request();
    }
    insideBreath_ = false;
}

}  // namespace kalvora
