// kalvora-cli eps: the series script of the EPS dialog for data files, run through gnuplot.

#include <signal.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "analysis/window/export/gnuplot_runner.h"
#include "analysis/window/export/gnuplot_script.h"
#include "cli/cli_common.h"
#include "core/point_sink.h"
#include "core/text_file.h"
#include "plot/data_file_reader.h"

namespace kalvora::cli {
namespace {

class CountingSink : public PointSink {
  public:
    void addPoint(double, double) override { ++count; }
    int count = 0;
};

EpsLayout ParseLayout(const Arguments& arguments) {
    const std::optional<std::string> text = arguments.value("--layout");
    if (!text || *text == "0") {
        return EpsLayout::Lines;
    }
    if (*text == "1") {
        return EpsLayout::Points;
    }
    if (*text == "2") {
        return EpsLayout::Cobweb;
    }
    throw UsageError("--layout expects 0 (lines), 1 (points) or 2 (graphical analysis), not '" +
                     *text + "'");
}

// "XMIN:XMAX:YMIN:YMAX"; each part is checked as a number by the script writer.
void ParseRange(const std::string& text, EpsRange& x, EpsRange& y) {
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == ':') {
            parts.emplace_back();
        } else {
            parts.back() += c;
        }
    }
    if (parts.size() != 4) {
        throw UsageError("--range expects XMIN:XMAX:YMIN:YMAX, not '" + text + "'");
    }
    x = {false, parts[0], parts[1]};
    y = {false, parts[2], parts[3]};
}

int RunEps(const Arguments& arguments) {
    const std::vector<std::string>& files = arguments.positional();
    if (files.empty() || files.size() > 5) {
        throw UsageError("expected one to five data files FILE.dat");
    }
    const std::optional<std::string> target = arguments.value("-o");
    if (!target || target->empty()) {
        throw UsageError("the EPS picture needs a file name: -o OUT.eps");
    }
    RefuseOutputsOverInputs(files, {*target});
    SeriesScriptOptions options;
    options.layout = ParseLayout(arguments);
    options.texts.blackWhite = arguments.has("--bw");
    options.texts.output = *target;
    options.texts.title = arguments.value("--title").value_or("");
    options.texts.xLabel = arguments.value("--xlabel").value_or("");
    options.texts.yLabel = arguments.value("--ylabel").value_or("");
    options.x.autoscale = options.y.autoscale = true;
    if (const std::optional<std::string> range = arguments.value("--range")) {
        ParseRange(*range, options.x, options.y);
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        CountingSink points;
        ReadDataFile(files[k], points);
        EpsSeriesSlot& slot = options.series[k];
        // gnuplot starts in this folder too, but a written script may be run from elsewhere.
        slot.file = QFileInfo(QString::fromStdString(files[k])).absoluteFilePath().toStdString();
        slot.filled = points.count > 0;
        // The dialog's defaults for the layout: point clouds as points, the rest as lines.
        slot.points = options.layout == EpsLayout::Points;
        slot.line = !slot.points;
        if (!slot.filled) {
            std::cerr << "kalvora-cli eps: " << files[k] << " holds no points and is left out\n";
        }
    }
    const std::string script = SeriesScript(options);
    if (arguments.has("--script-only")) {
        std::cout << script;
        std::cout.flush();
        if (!std::cout) {
            throw FileError("Cannot write standard output");
        }
        return kExitSuccess;
    }

    std::unique_ptr<QCoreApplication> application;
    if (QCoreApplication::instance() == nullptr) {
        static int argc = 1;
        static char name[] = "kalvora-cli";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    QTemporaryDir scratch;
    if (!scratch.isValid()) {
        throw FileError("Cannot create a scratch folder for the gnuplot script: " +
                        scratch.errorString().toStdString());
    }
    // gnuplot writes into the scratch folder, under a name of ours; the picture then reaches -o as
    // every output does (complete or not at all, through a link to the file it names). gnuplot
    // itself would truncate the target before drawing and take some names for commands.
    const std::string scriptPath = scratch.filePath(QStringLiteral("kalvoragp.tmp")).toStdString();
    // The picture keeps the target's name, which gnuplot writes into it as its title.
    QString pictureName = QFileInfo(QString::fromStdString(*target)).fileName();
    if (pictureName.isEmpty()) {
        pictureName = QStringLiteral("kalvora.eps");
    }
    QDir(scratch.path()).mkdir(QStringLiteral("picture"));
    const std::string picturePath =
        scratch.filePath(QStringLiteral("picture/") + pictureName).toStdString();
    options.texts.output = picturePath;
    WriteTextFile(scriptPath, SeriesScript(options));
    const QString program = qEnvironmentVariableIsSet("KALVORA_GNUPLOT")
                                ? qEnvironmentVariable("KALVORA_GNUPLOT")
                                : QStringLiteral("gnuplot");
    // A signal now stops gnuplot rather than ending the program under it; a second one ends both,
    // and the scratch folder, at once.
    CliRunControl control;
    std::atomic<qint64> child{0};
    const std::string scratchPath = scratch.path().toStdString();
    const SignalCleanup cleanup([&child, scratchPath] {
        if (const qint64 pid = child.load(); pid > 0) {
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        }
        std::error_code ignored;
        std::filesystem::remove_all(scratchPath, ignored);
    });
    const GnuplotOutcome outcome = RunGnuplotAndWait(
        scriptPath, picturePath, program, [&control] { return control.stopRequested(); },
        [&child](qint64 pid) { child.store(pid); });
    child.store(0);
    if (outcome.stopped) {
        std::cerr << "kalvora-cli eps: stopped; gnuplot was ended and no picture was written\n";
        return 128 + StopSignal();
    }
    if (!outcome.ok) {
        std::cerr << "kalvora-cli eps: " << outcome.message << "\n";
        return kExitUsage;
    }
    std::ifstream picture(picturePath, std::ios::binary);
    AtomicFileWriter writer(*target);
    writer.stream() << picture.rdbuf();
    if (!picture) {
        throw FileError("Cannot read file \"" + picturePath + "\"");
    }
    writer.commit();
    return kExitSuccess;
}

const CommandRegistrar registrar(
    {"eps",
     "write the EPS dialog's gnuplot script for data files and run gnuplot on it",
     "FILE.dat [FILE2.dat ...] -o OUT.eps [--layout 0|1|2] [--title T] [--xlabel T] [--ylabel T] "
     "[--range XMIN:XMAX:YMIN:YMAX] [--bw] [--script-only]",
     {
         {"-o", "OUT.eps", "the EPS picture gnuplot writes"},
         {"--layout", "0|1|2", "0 lines (default), 1 points, 2 graphical analysis"},
         {"--title", "T", "the picture's title"},
         {"--xlabel", "T", "the label of the x axis"},
         {"--ylabel", "T", "the label of the y axis"},
         {"--range", "XMIN:XMAX:YMIN:YMAX", "fixed axis ranges (default: gnuplot's own)"},
         {"--bw", "", "black and white instead of colour"},
         {"--script-only", "", "print the script on standard output instead of running gnuplot"},
     },
     false,
     RunEps});

}  // namespace
}  // namespace kalvora::cli
