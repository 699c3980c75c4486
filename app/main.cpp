#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/main_window.h"
#include "app/termination_signals.h"

namespace {

// The last line of defence for the windows of every layer: an exception that escapes an event
// handler becomes one error message box and the program goes on.
class KalvoraApplication final : public QApplication {
  public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& failure) {
            QMessageBox::critical(activeWindow(), "Error", QString::fromUtf8(failure.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), "Error", "Unexpected error");
        }
        return false;
    }
};

// --help and --version are answered before the toolkit starts, so that they work without a
// display: the build makes the manual page from them.
bool AnsweredInformationOption(int argc, char* argv[]) {
    if (argc != 2)
        return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("kalvora %s\n", KALVORA_VERSION);
        return true;
    }
    if (std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0)
        return false;
    std::printf(
        "Usage: kalvora [MODEL.mod]\n"
        "A workbench for nonlinear dynamical systems: discrete maps and systems of ordinary\n"
        "differential equations, studied with time series, phase, delay and cobweb plots,\n"
        "bifurcation diagrams, Lyapunov exponents, basins of attraction and data tools.\n"
        "Opens the main window and loads MODEL.mod when one is named. The batch tool\n"
        "kalvora-cli runs the same analyses without windows.\n"
        "\n"
        "Options:\n"
        "  -h, --help     print this help and exit\n"
        "  --version      print the version and exit\n"
        "The toolkit's own options (such as -platform offscreen) are accepted as well.\n");
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (AnsweredInformationOption(argc, argv))
        return 0;
    KalvoraApplication application(argc, argv);
    application.setApplicationName("Kalvora");
    application.setApplicationVersion(KALVORA_VERSION);

    // A termination signal ends the program without the exit question: whoever sent it is not at
    // the window to answer. A running computation is stopped first so the event loop can return,
    // and the main window's destruction then removes the scratch folder. The handlers are set
    // before the window is built, so that a signal while the program starts (on a loaded machine
    // that can take seconds) also ends it in order; it is acted on once the event loop runs.
    kalvora::TForm1* window = nullptr;
    kalvora::TerminationSignals terminationSignals([&window] {
        if (window != nullptr) {
            window->stopRun();
        }
        kalvora::ArmExitDeadline(std::chrono::seconds(1));
        QApplication::exit(0);
    });

    kalvora::TForm1 mainWindow;
    window = &mainWindow;
    mainWindow.exitDecided = [] { kalvora::ArmExitDeadline(std::chrono::seconds(1)); };
    mainWindow.show();

    // A model named on the command line is loaded as Load Model would, once the window is up.
    const QStringList arguments = application.arguments();
    if (arguments.size() > 1) {
        const std::string path = arguments.at(1).toStdString();
        QTimer::singleShot(0, &mainWindow, [&mainWindow, path] {
            mainWindow.runCommand([&mainWindow, &path] { mainWindow.loadModelFile(path); });
        });
    }
    return application.exec();
}
