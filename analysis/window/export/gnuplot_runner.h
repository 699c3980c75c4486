#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QString>
#include <functional>
#include <string>

namespace kalvora {

// How a gnuplot run ended: ok, or the message for the user with gnuplot's own words.
struct GnuplotOutcome {
    bool ok = false;
    std::string message;
    bool stopped = false;  // ended by the caller's stop request; gnuplot was killed
};

// Starts gnuplot on a script without blocking the interface and reports how it ended. One runner
// serves the whole program: every export writes the same scratch files, so none may be rewritten
// while a gnuplot started from here still reads them (callers ask busy() first).
class GnuplotRunner : public QObject {
    Q_OBJECT
  public:
    explicit GnuplotRunner(QObject* parent = nullptr);
    ~GnuplotRunner() override;

    // The program's runner, owned by the application object.
    static GnuplotRunner& Shared();

    // The program started; "gnuplot" (found on the PATH) unless set otherwise.
    void setProgram(const QString& program) { program_ = program; }
    const QString& program() const { return program_; }

    bool busy() const { return process_ != nullptr; }

    // Starts gnuplot with the script path as its only argument. expectedOutput, when not empty, is
    // the EPS file the script names: a run that leaves it missing, empty or untouched has failed.
    // done is called on this thread when gnuplot has ended or could not start. Returns false
    // (calling nothing) while an earlier run is still going.
    bool start(const std::string& scriptPath, const std::string& expectedOutput,
               std::function<void(const GnuplotOutcome&)> done);

    // Waits for the current run, processing its events; for the batch tool and tests. False when
    // the run is still going after the time. When stopRequested (polled every few milliseconds)
    // says so, gnuplot is killed and waited for, and the run ends as stopped.
    bool waitForFinished(int milliseconds, const std::function<bool()>& stopRequested = {});

    // The message a busy runner gives a command that would rewrite the scratch files.
    static std::string BusyMessage();

  private:
    void finish(const GnuplotOutcome& outcome);
    GnuplotOutcome judge(int exitCode, QProcess::ExitStatus status);

    QString program_ = QStringLiteral("gnuplot");
    QProcess* process_ = nullptr;
    std::string expectedOutput_;
    qint64 outputStamp_ = -1;
    qint64 outputSize_ = -1;
    std::function<void(const GnuplotOutcome&)> done_;

  public:
    // gnuplot's process id while it runs, else 0.
    qint64 processId() const { return process_ != nullptr ? process_->processId() : 0; }
};

// Runs gnuplot on the script and waits for it (the batch tool). started, when given, learns
// gnuplot's process id once it runs (so that a program ending at once can end it too).
GnuplotOutcome RunGnuplotAndWait(const std::string& scriptPath, const std::string& expectedOutput,
                                 const QString& program = QStringLiteral("gnuplot"),
                                 const std::function<bool()>& stopRequested = {},
                                 const std::function<void(qint64)>& started = {});

}  // namespace kalvora
