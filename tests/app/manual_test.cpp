// The user manual against the program's menus: every menu command is described, and every command
// the manual names as a menu path ("**File > Load Model**", "**right-click > Edit Graph > Show
// Grid**") is where it says.
#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QSet>

#include "app_fixture.h"

namespace kalvora::testing {
namespace {

// A caption as the manual writes it: no accelerator marks, no trailing dots.
QString Plain(QString caption) {
    caption.replace("&&", "\x01").remove('&').replace('\x01', '&');
    while (caption.endsWith('.'))
        caption.chop(1);
    return caption.trimmed();
}

// One menu command with the path of menu titles above it.
struct Command {
    QStringList path;  // e.g. {"File", "Load Model"}; pop-up menus start with "right-click"
};

void Collect(const QMenu& menu, QStringList path, QList<Command>& commands) {
    for (QAction* action : menu.actions()) {
        if (action->isSeparator() || !action->isVisible() || Plain(action->text()).isEmpty())
            continue;
        QStringList here = path;
        here << Plain(action->text());
        commands << Command{here};
        if (action->menu() != nullptr)
            Collect(*action->menu(), here, commands);
    }
}

// Every command of every window the program has: the menu bars, and the pop-up menus that no
// menu bar holds.
QList<Command> ProgramCommands(const QWidget& program) {
    QList<Command> commands;
    QList<const QWidget*> windows{&program};
    for (const QWidget* window : program.findChildren<QWidget*>()) {
        if (window->isWindow() && !window->inherits("QMenu"))
            windows << window;
    }
    for (const QWidget* window : windows) {
        QSet<const QMenu*> inBars;
        for (const QMenuBar* bar : window->findChildren<QMenuBar*>()) {
            if (bar->window() != window)
                continue;
            for (QAction* top : bar->actions()) {
                // A command in the menu bar itself ("Next Iteration Set").
                if (top->menu() == nullptr) {
                    if (!top->isSeparator() && top->isVisible())
                        commands << Command{{Plain(top->text())}};
                    continue;
                }
                inBars << top->menu();
                Collect(*top->menu(), {Plain(top->menu()->title())}, commands);
            }
        }
        for (const QMenu* menu : window->findChildren<QMenu*>()) {
            // A window's own pop-up menu (its submenus are reached through it).
            if (menu->title().isEmpty() && !inBars.contains(menu) &&
                menu->parentWidget() != nullptr && !menu->parentWidget()->inherits("QMenu") &&
                menu->parentWidget()->window() == window)
                Collect(*menu, {"right-click"}, commands);
        }
    }
    return commands;
}

QString Manual() {
    QFile file(QStringLiteral(KALVORA_DOCS "/manual.md"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    return QString::fromUtf8(file.readAll());
}

class ManualTest : public AppTest {};

TEST_F(ManualTest, EveryMenuCommandIsDescribedAndEveryNamedCommandExists) {
    StartupOptions options;
    options.scratchBases = {base.path().toStdString()};
    options.workingFolder = base.path().toStdString();
    options.prompts = &prompts;
    TForm1 program(options);
    const QList<Command> commands = ProgramCommands(program);
    ASSERT_GT(commands.size(), 50);
    // Line breaks of the text are spaces: a caption may be wrapped.
    const QString manual = Manual().simplified();

    QStringList undescribed;
    for (const Command& command : commands) {
        if (!manual.contains(command.path.last()) && !undescribed.contains(command.path.last()))
            undescribed << command.path.last();
    }
    EXPECT_TRUE(undescribed.isEmpty())
        << "not in the manual: " << undescribed.join(" | ").toStdString();

    // "**A > B**" names a command B in menu A, "**A > B > C**" one in A's submenu B.
    const QRegularExpression named(QStringLiteral("\\*\\*([^*]+ > [^*]+)\\*\\*"));
    QStringList missing;
    int paths = 0;
    for (const QRegularExpressionMatch& match : named.globalMatch(manual)) {
        ++paths;
        const QStringList path = match.captured(1).split(" > ");
        const bool exists = std::any_of(commands.begin(), commands.end(),
                                        [&](const Command& c) { return c.path == path; });
        if (!exists)
            missing << match.captured(1);
    }
    EXPECT_GT(paths, 30);
    EXPECT_TRUE(missing.isEmpty())
        << "named in the manual but in no menu: " << missing.join(" | ").toStdString();
}

}  // namespace
}  // namespace kalvora::testing
