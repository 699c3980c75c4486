// The program as a desktop citizen: its windows stay above their owner only, never above other
// programs.
#include <QApplication>
#include <QWidget>

#include "app_fixture.h"

namespace kalvora::testing {
namespace {

class DesktopTest : public AppTest {
  protected:
    // A main window with every analysis registered, as the program starts.
    std::unique_ptr<TForm1> fullProgram() {
        StartupOptions options;
        options.scratchBases = {base.path().toStdString()};
        options.workingFolder = base.path().toStdString();
        options.prompts = &prompts;
        return std::make_unique<TForm1>(options);
    }
};

TEST_F(DesktopTest, EveryWindowIsOwnedByTheMainWindowAndNoneStaysAboveOtherPrograms) {
    const QWidgetList before = QApplication::topLevelWidgets();
    std::unique_ptr<TForm1> program = fullProgram();
    int owned = 0;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        // Menus are windows too, but never stay.
        if (before.contains(window) || window == program.get() || window->windowType() == Qt::Popup)
            continue;
        EXPECT_FALSE(window->windowFlags() & Qt::WindowStaysOnTopHint)
            << window->objectName().toStdString();
        // A plain window would not be kept above its owner by the window manager.
        EXPECT_TRUE(window->windowType() == Qt::Tool || window->windowType() == Qt::Dialog)
            << window->objectName().toStdString();
        // Owned by the main window, or by one of its windows (a result window's own dialog).
        QWidget* owner = window->parentWidget();
        while (owner != nullptr && owner != program.get())
            owner = owner->parentWidget();
        EXPECT_EQ(owner, program.get()) << window->objectName().toStdString();
        ++owned;
    }
    // The editor, the parameter, noise and computing windows, the About box, and at least one
    // analysis's dialog and result window.
    EXPECT_GE(owned, 7);
    EXPECT_FALSE(program->windowFlags() & Qt::WindowStaysOnTopHint);
}

}  // namespace
}  // namespace kalvora::testing
