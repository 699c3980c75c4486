#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

namespace kalvora {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C in the terminal, `kill`) into an orderly end
// of the event loop, so that the program still removes its private scratch folder instead of
// leaving it behind in the temporary folder. The signal handler only writes a byte to a pipe; the
// reaction runs later on the user-interface thread, where it is safe to touch the windows.
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
