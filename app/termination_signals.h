#pragma once

#include <QObject>
#include <chrono>
#include <functional>

class QSocketNotifier;

namespace kalvora {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in the terminal, `kill`) into an orderly end
// of the event loop, so that the program still removes its private scratch folder instead of
// leaving it behind in the temporary folder. The signal handler only writes a byte to a pipe; the
// reaction runs later on the user-interface thread, where it is safe to touch the windows.
// The end of the program has been decided (Exit, a signal): the stop has gone to any running job,
// whose worker then ends within milliseconds. Should one not (a library call that never returns to
// the interpreter), the process still ends once the deadline has passed.
void ArmExitDeadline(std::chrono::milliseconds deadline);

class TerminationSignals final : public QObject {
    Q_OBJECT
  public:
    // onSignal runs on the user-interface thread once a signal has arrived.
    explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
    ~TerminationSignals() override;

  private:
    std::function<void()> onSignal_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace kalvora
