// kalvora-cli plot: draws data files into a picture with the result windows' plot and settings.

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "analysis/window/export/picture_export.h"
#include "cli/cli_common.h"
#include "core/text_file.h"
#include "plot/data_file_plot.h"
#include "plot/picture_support.h"

namespace kalvora::cli {
namespace {

bool EndsWith(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - suffix.size() + i])) !=
            suffix[i]) {
            return false;
        }
    }
    return true;
}

int RunPlot(const Arguments& arguments) {
    const std::vector<std::string>& files = arguments.positional();
    if (files.empty()) {
        throw UsageError("expected at least one data file FILE.dat");
    }
    // A result window holds five series; the picture shows what a window would.
    if (files.size() > 5) {
        throw UsageError("at most five data files, one per series slot, not " +
                         std::to_string(files.size()));
    }
    const std::optional<std::string> target = arguments.value("-o");
    if (!target || target->empty()) {
        throw UsageError("the picture needs a file name: -o OUT.png");
    }
    RefuseOutputsOverInputs(files, {*target});
    if (arguments.has("--points") && arguments.has("--lines")) {
        throw UsageError("--points and --lines exclude each other");
    }
    const bool svg = EndsWith(*target, ".svg");
    const bool pdf = EndsWith(*target, ".pdf");
    if (!svg && !pdf && !EndsWith(*target, ".png")) {
        throw UsageError("the picture file must end in .png, .svg or .pdf: '" + *target + "'");
    }
    const PictureSize size =
        arguments.has("--size") ? ParsePictureSize(*arguments.value("--size")) : PictureSize{};

    EnsureApplication();
    DataFilePlotOptions options;
    options.width = size.width;
    options.height = size.height;
    options.lines = arguments.has("--lines");
    options.grid = arguments.has("--grid");
    options.roundTicks = arguments.has("--round-ticks");
    options.xTitle = arguments.value("--x-title").value_or("");
    options.yTitle = arguments.value("--y-title").value_or("");
    DataFilePlot plot(files, options);

    QByteArray bytes;
    if (svg) {
        bytes = plot.Svg();
    } else if (pdf) {
        bytes = EncodePicture(PictureFormat::Pdf, QSize(size.width, size.height),
                              [&plot](QPainter& painter, int width, int height) {
                                  plot.Plot().DrawTo(painter, width, height);
                              });
    } else {
        const QImage picture = plot.Bitmap();
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.save(&buffer, "PNG")) {
            throw FileError("Cannot encode the picture for \"" + *target + "\"");
        }
    }
    AtomicFileWriter writer(*target);
    writer.stream().write(bytes.constData(), bytes.size());
    writer.commit();
    return kExitSuccess;
}

const CommandRegistrar registrar(
    {"plot",
     "draw two-column data files into a picture with the result windows' plot settings",
     "FILE.dat [FILE2.dat ...] -o OUT.png|OUT.svg|OUT.pdf [--size WxH] [--points|--lines] [--grid] "
     "[--round-ticks] [--x-title TEXT] [--y-title TEXT]",
     {
         {"-o", "OUT.png", "the picture to write: .png, or .svg or .pdf for a vector picture"},
         {"--size", "WxH", "picture size in pixels (default 640x480)"},
         {"--points", "", "mark each point with one pixel (the default)"},
         {"--lines", "", "join consecutive points with lines"},
         {"--grid", "", "show the grid of the left and bottom axes"},
         {"--round-ticks", "", "put the ticks on round values (0, 0.2, 0.4 ...)"},
         {"--x-title", "TEXT", "the name on the horizontal axis"},
         {"--y-title", "TEXT", "the name on the vertical axis"},
     },
     false,
     RunPlot});

}  // namespace
}  // namespace kalvora::cli
