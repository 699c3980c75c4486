#include "analysis/window/plot_picture.h"

#include <QApplication>
#include <QBuffer>
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <stdexcept>

#include "core/text_file.h"
#include "plot/plot_config.h"

namespace kalvora {

namespace {

// Qt's remarks about the desktop session (no runtime folder on a headless machine) mean nothing to
// a picture drawn in memory; real warnings still reach standard error.
void FilterQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg ||
        message.startsWith(QLatin1String("QStandardPaths:"))) {
        return;
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

void EnsureApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(FilterQtMessages);
    static int argc = 1;
    static char name[] = "kalvora";
    static char* argv[] = {name, nullptr};
    // Kept until the program ends (later pictures of the same run need it too) and never
    // destroyed: tearing Qt down among the static destructors at exit is not safe.
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

// The window's label: red, bold, 16-pixel Times New Roman on white, over the plot's centre.
void PaintOverflowLabel(QImage& picture) {
    QPainter painter(&picture);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(16);
    font.setBold(true);
    painter.setFont(font);
    const QString text = QStringLiteral("Overflow");
    const QFontMetrics metrics(font);
    QRect box = metrics.boundingRect(text).adjusted(-2, -1, 2, 1);
    box.moveTo(picture.width() / 2 - box.width() / 2, picture.height() / 2 - box.height());
    painter.fillRect(box, Qt::white);
    painter.setPen(Qt::red);
    painter.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

QFont ResultWindowFont() {
    return QFont(QStringLiteral("Times New Roman"));
}

PictureSize ParsePictureSize(const std::string& text) {
    const auto fail = [&]() {
        return std::invalid_argument(
            "--size expects WIDTHxHEIGHT in pixels (each 10 to 20000), "
            "such as 800x600, not '" +
            text + "'");
    };
    const std::size_t cross = text.find_first_of("xX");
    if (cross == std::string::npos) {
        throw fail();
    }
    const auto number = [&](const std::string& part) {
        if (part.empty() || part.size() > 5 ||
            part.find_first_not_of("0123456789") != std::string::npos) {
            throw fail();
        }
        return std::stoi(part);
    };
    const PictureSize size{number(text.substr(0, cross)), number(text.substr(cross + 1))};
    if (size.width < 10 || size.height < 10 || size.width > 20000 || size.height > 20000) {
        throw fail();
    }
    return size;
}

void SaveSeriesPicture(const std::string& fileName, Tsp_XYLine& series, const PictureSize& size,
                       bool overflow, const std::function<void(Tsp_XYPlot&)>& arrangeAxes) {
    SaveSeriesPicture(fileName, std::vector<Tsp_XYLine*>{&series}, size, overflow, arrangeAxes);
}

void SaveSeriesPicture(const std::string& fileName, const std::vector<Tsp_XYLine*>& series,
                       const PictureSize& size, bool overflow,
                       const std::function<void(Tsp_XYPlot&)>& arrangeAxes) {
    EnsureApplication();
    Tsp_XYPlot plot;
    plot.setFont(ResultWindowFont());
    ApplyStandardPlotConfiguration(plot);
    plot.resize(size.width, size.height);
    if (arrangeAxes) {
        arrangeAxes(plot);
    }
    for (Tsp_XYLine* line : series) {
        line->SetActive(true);
        line->SetPlot(&plot);
    }
    QImage picture = plot.RenderBitmap();
    for (Tsp_XYLine* line : series) {
        line->SetPlot(nullptr);
    }
    if (overflow) {
        PaintOverflowLabel(picture);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) {
        throw FileError("Cannot encode the picture for " + fileName);
    }
    AtomicFileWriter file(fileName);
    file.stream().write(bytes.constData(), bytes.size());
    file.commit();
}

}  // namespace kalvora
