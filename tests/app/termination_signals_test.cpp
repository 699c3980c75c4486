#include "app/termination_signals.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <csignal>

namespace kalvora {
namespace {

// A signal must reach the user-interface thread as an ordinary event, once, and the default
// disposition must come back when the handler object goes, so a later kill still ends the
// program. (A second signal ends the program at once; the program's own test shows that.)
TEST(TerminationSignals, EachSignalRunsTheReactionOnTheEventLoopOnce) {
    int reactions = 0;
    for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        TerminationSignals handler([&reactions] { ++reactions; });
        {
            const int before = reactions;
            std::raise(signalNumber);
            EXPECT_EQ(reactions, before) << "the reaction must wait for the event loop";
            QElapsedTimer timer;
            timer.start();
            while (reactions == before && timer.elapsed() < 2000) {
                QCoreApplication::processEvents();
            }
            EXPECT_EQ(reactions, before + 1) << "signal " << signalNumber;
        }
    }
    struct sigaction current {};
    ::sigaction(SIGTERM, nullptr, &current);
    EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace kalvora
