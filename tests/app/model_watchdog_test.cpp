#include "app/model_watchdog.h"

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <thread>

#include "app/computing_window.h"
#include "core/lua_sandbox.h"
#include "tests/app/app_fixture.h"

namespace kalvora::testing {
namespace {

// Lets the event loop turn once, as it does in the running program before any command.
void TurnTheEventLoop() {
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    QApplication::processEvents();
}

// A model that runs away on the user-interface thread (its top level, while it is loaded) brings
// up the computing window; its Stop ends the model, which says so, and the program goes on.
TEST_F(AppTest, ARunawayModelOnTheInterfaceThreadCanBeStoppedFromTheComputingWindow) {
    const std::string runaway =
        writeFile("runaway.mod",
                  "x=1\r\na=1\r\n\r\nd\r\nx=x\r\nend\r\nwhile true do end\r\nfunction f()\r\n");
    const std::string sound = writeFile("sound.mod", "x=1\r\na=1\r\n\r\nd\r\nx=x+a\r\n");
    TComputing& computing = *form->computingWindow();
    bool shown = false;
    std::chrono::steady_clock::time_point pressed;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&] {
        if (computing.isVisible() && !shown) {
            shown = true;
            pressed = std::chrono::steady_clock::now();
            computing.stopButton()->click();
        }
    });
    press.start(50);
    TurnTheEventLoop();
    form->runCommand([&] { form->loadModelFile(runaway); });
    const auto ended = std::chrono::steady_clock::now();
    press.stop();
    EXPECT_TRUE(shown);
    EXPECT_LT(ended - pressed, std::chrono::seconds(1));
    ASSERT_FALSE(prompts.errors.empty());
    EXPECT_EQ(prompts.errors.back(), kModelStoppedMessage);

    // Back at the event loop the window goes and the next model loads and runs as ever.
    TurnTheEventLoop();
    EXPECT_FALSE(computing.isVisible());
    prompts.errors.clear();
    form->runCommand([&] { form->loadModelFile(sound); });
    EXPECT_TRUE(prompts.errors.empty());
    EXPECT_EQ(form->workspace().kind, ModelKind::Discrete);
}

}  // namespace
}  // namespace kalvora::testing
