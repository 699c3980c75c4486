#include "app/termination_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <thread>

namespace kalvora {

namespace {

// [0] is written by the signal handler, [1] read on the user-interface thread.
int signalPipe[2] = {-1, -1};

std::atomic<int> signalsReceived{0};

void WriteSignalByte(int signalNumber) {
    // The first signal asks for an orderly end; whoever sends a second one wants the program gone
    // now, whatever it is doing.
    if (signalsReceived.fetch_add(1) > 0) {
        ::_exit(128 + signalNumber);
    }
    const char byte = 1;
    // Nothing useful can be done about a failed write inside a signal handler.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    signalsReceived.store(0);
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        // Without the pipe the program still runs; it only loses the clean-up on a signal.
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    ::fcntl(signalPipe[0], F_SETFL, O_NONBLOCK);
    notifier_ = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
        if (onSignal_) {
            onSignal_();
        }
    });
    struct sigaction action {};
    action.sa_handler = WriteSignalByte;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signalNumber, &action, nullptr);
    }
}

void ArmExitDeadline(std::chrono::milliseconds deadline) {
    static std::atomic<bool> armed{false};
    if (armed.exchange(true)) {
        return;
    }
    std::thread([deadline] {
        std::this_thread::sleep_for(deadline);
        std::_Exit(0);
    }).detach();
}

TerminationSignals::~TerminationSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signalNumber, &action, nullptr);
    }
    for (int& descriptor : signalPipe) {
        if (descriptor >= 0) {
            ::close(descriptor);
            descriptor = -1;
        }
    }
}

}  // namespace kalvora
