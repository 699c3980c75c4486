#include "analysis/window/export/gnuplot_runner.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

namespace kalvora {

namespace {

// The file's modification time and size, or -1 when it does not exist.
void Stamp(const std::string& path, qint64& time, qint64& size) {
    const QFileInfo info(QString::fromStdString(path));
    if (!info.exists()) {
        time = size = -1;
        return;
    }
    time = info.lastModified().toMSecsSinceEpoch();
    size = info.size();
}

std::string Trimmed(const QByteArray& bytes) {
    return QString::fromLocal8Bit(bytes).trimmed().toStdString();
}

}  // namespace

GnuplotRunner::GnuplotRunner(QObject* parent) : QObject(parent) {}

GnuplotRunner::~GnuplotRunner() {
    if (process_ != nullptr) {
        // The program is ending: the picture of a run still going is not waited for.
        process_->disconnect(this);
        process_->kill();
        process_->waitForFinished(2000);
    }
}

GnuplotRunner& GnuplotRunner::Shared() {
    static QPointer<GnuplotRunner> shared;
    if (shared.isNull()) {
        shared = new GnuplotRunner(QCoreApplication::instance());
    }
    return *shared;
}

std::string GnuplotRunner::BusyMessage() {
    return "gnuplot is still drawing the previous picture from the scratch files. Try again when "
           "it has finished.";
}

bool GnuplotRunner::start(const std::string& scriptPath, const std::string& expectedOutput,
                          std::function<void(const GnuplotOutcome&)> done) {
    if (busy()) {
        return false;
    }
    expectedOutput_ = expectedOutput;
    done_ = std::move(done);
    if (!expectedOutput_.empty()) {
        Stamp(expectedOutput_, outputStamp_, outputSize_);
    }
    process_ = new QProcess(this);
    QProcess* process = process_;
    connect(process, &QProcess::finished, this,
            [this, process](int exitCode, QProcess::ExitStatus status) {
                if (process == process_) {
                    finish(judge(exitCode, status));
                }
            });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (process == process_ && error == QProcess::FailedToStart) {
            finish({false, "gnuplot could not be started (\"" + program_.toStdString() +
                               "\" was not found or cannot run; it comes with the package "
                               "gnuplot-nox): " +
                               process->errorString().toStdString()});
        }
    });
    process->start(program_, {QString::fromStdString(scriptPath)});
    // A script waiting for input (a "pause") gets end of file instead of hanging forever.
    process->closeWriteChannel();
    return true;
}

GnuplotOutcome GnuplotRunner::judge(int exitCode, QProcess::ExitStatus status) {
    const std::string said =
        Trimmed(process_->readAllStandardError()) + Trimmed(process_->readAllStandardOutput());
    const std::string gnuplotSaid = said.empty() ? std::string() : ":\n" + said;
    if (status != QProcess::NormalExit) {
        return {false, "gnuplot ended abnormally" + gnuplotSaid};
    }
    if (exitCode != 0) {
        return {false, "gnuplot stopped with an error (exit code " + std::to_string(exitCode) +
                           ")" + gnuplotSaid};
    }
    if (!expectedOutput_.empty()) {
        qint64 time = -1;
        qint64 size = -1;
        Stamp(expectedOutput_, time, size);
        if (size <= 0 || (time == outputStamp_ && size == outputSize_)) {
            return {false,
                    "gnuplot produced no EPS file \"" + expectedOutput_ + "\"" + gnuplotSaid};
        }
    }
    return {true, said};
}

void GnuplotRunner::finish(const GnuplotOutcome& outcome) {
    QProcess* process = process_;
    process_ = nullptr;
    process->disconnect(this);
    process->deleteLater();
    auto done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done(outcome);
    }
}

bool GnuplotRunner::waitForFinished(int milliseconds, const std::function<bool()>& stopRequested) {
    if (!busy()) {
        return true;
    }
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [this, &loop, &stopRequested] {
        if (busy() && stopRequested && stopRequested()) {
            // Nothing of a stopped run is wanted: gnuplot must not write its picture after the
            // caller has gone.
            QProcess* process = process_;
            process->disconnect(this);
            process->kill();
            process->waitForFinished(5000);
            GnuplotOutcome outcome{false, "gnuplot was stopped", true};
            finish(outcome);
        }
        if (!busy()) {
            loop.quit();
        }
    });
    timer.start(milliseconds);
    poll.start(10);
    loop.exec();
    return !busy();
}

GnuplotOutcome RunGnuplotAndWait(const std::string& scriptPath, const std::string& expectedOutput,
                                 const QString& program, const std::function<bool()>& stopRequested,
                                 const std::function<void(qint64)>& started) {
    GnuplotRunner runner;
    runner.setProgram(program);
    GnuplotOutcome result;
    runner.start(scriptPath, expectedOutput,
                 [&result](const GnuplotOutcome& outcome) { result = outcome; });
    if (started && runner.busy()) {
        started(runner.processId());
    }
    // A plot of a few series takes well under a second; a minute means something is wrong.
    if (!runner.waitForFinished(60000, stopRequested)) {
        return {false, "gnuplot did not finish within a minute"};
    }
    return result;
}

}  // namespace kalvora
