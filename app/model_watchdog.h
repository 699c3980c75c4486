#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <thread>

namespace kalvora {

struct ModelWorkspace;
class TComputing;

// Keeps the desktop answering while a model evaluation on the user-interface thread takes long:
// the model's equations, or its top level while it is loaded, may run for ever, and only the
// interpreter itself can be made to let go. A heartbeat on the user-interface thread shows that the
// event loop is turning; when it stops for more than a moment, a watcher thread asks the
// workspace's model to breathe: from inside the interpreter it then shows the computing window
// (whose Stop, and Exit, interrupt the model) and lets the windows handle their events, until the
// event loop turns again. A model that never runs long costs nothing: the hook exists only then.
class ModelWatchdog final : public QObject {
  public:
    ModelWatchdog(ModelWorkspace& workspace, TComputing& computing, QObject* parent = nullptr);
    ~ModelWatchdog() override;
    ModelWatchdog(const ModelWatchdog&) = delete;
    ModelWatchdog& operator=(const ModelWatchdog&) = delete;

    // How long the event loop may stand still before the model is asked to breathe.
    static constexpr int kPatienceMs = 400;

  private:
    void heartbeat();
    void breathe();
    static long long Now();

    ModelWorkspace& workspace_;
    TComputing& computing_;
    QTimer beat_;
    std::atomic<long long> lastBeat_;
    std::atomic<bool> breathing_{false};
    std::atomic<bool> quit_{false};
    bool insideBreath_ = false;
    bool computingShown_ = false;
    QElapsedTimer sinceEvents_;
    std::thread watcher_;
};

}  // namespace kalvora
