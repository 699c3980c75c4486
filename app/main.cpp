#include <QApplication>
#include <QMessageBox>
#include <QTimer>
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

}  // namespace

int main(int argc, char* argv[]) {
    KalvoraApplication application(argc, argv);
    application.setApplicationName("Kalvora");
    application.setApplicationVersion(KALVORA_VERSION);

    kalvora::TForm1 mainWindow;
    mainWindow.exitDecided = [] { kalvora::ArmExitDeadline(std::chrono::seconds(1)); };
    mainWindow.show();

    // A termination signal ends the program without the exit question: whoever sent it is not at
    // the window to answer. A running computation is stopped first so the event loop can return,
    // and the main window's destruction then removes the scratch folder.
    kalvora::TerminationSignals terminationSignals([&mainWindow] {
        mainWindow.stopRun();
        kalvora::ArmExitDeadline(std::chrono::seconds(1));
        QApplication::exit(0);
    });

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
