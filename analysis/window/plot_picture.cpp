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

void SaveSeriesPicture(const std::string& fileName, Tsp_XYLine& series, const PictureSize& size,
                       bool overflow, const std::function<void(Tsp_XYPlot&)>& arrangeAxes,
                       const PictureLook& look) {
    SaveSeriesPicture(fileName, std::vector<Tsp_XYLine*>{&series}, size, overflow, arrangeAxes,
                      look);
}

void SaveSeriesPicture(const std::string& fileName, const std::vector<Tsp_XYLine*>& series,
                       const PictureSize& size, bool overflow,
                       const std::function<void(Tsp_XYPlot&)>& arrangeAxes,
                       const PictureLook& look) {
    AtomicFileWriter file(fileName);
    WriteSeriesPicture(file, series, size, overflow, arrangeAxes, look);
    file.commit();
}

void WriteSeriesPicture(AtomicFileWriter& file, Tsp_XYLine& series, const PictureSize& size,
                        bool overflow, const std::function<void(Tsp_XYPlot&)>& arrangeAxes,
                        const PictureLook& look) {
    WriteSeriesPicture(file, std::vector<Tsp_XYLine*>{&series}, size, overflow, arrangeAxes, look);
}

void WriteSeriesPicture(AtomicFileWriter& file, const std::vector<Tsp_XYLine*>& series,
                        const PictureSize& size, bool overflow,
                        const std::function<void(Tsp_XYPlot&)>& arrangeAxes,
                        const PictureLook& look) {
    EnsureApplication();
    Tsp_XYPlot plot;
    plot.setFont(ResultWindowFont());
    ApplyStandardPlotConfiguration(plot);
    plot.resize(size.width, size.height);
    plot.BottomAxis().SetTitle(look.horizontalTitle);
    plot.LeftAxis().SetTitle(look.verticalTitle);
    plot.BottomAxis().SetRoundTicks(look.roundTicks);
    plot.LeftAxis().SetRoundTicks(look.roundTicks);
    if (arrangeAxes) {
        arrangeAxes(plot);
    }
    if (overflow) {
        plot.OnDrawEnd = [](Tsp_XYPlot& drawn, QPainter& painter) {
            PaintOverflowLabel(painter, drawn.FieldRect(), false);
        };
    }
    for (Tsp_XYLine* line : series) {
        line->SetActive(true);
        line->SetPlot(&plot);
    }
    const QImage picture = plot.RenderBitmap();
    for (Tsp_XYLine* line : series) {
        line->SetPlot(nullptr);
    }
    WritePicture(file, picture, "PNG");
}

void WritePicture(AtomicFileWriter& file, const QImage& picture, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, format)) {
        throw FileError("Cannot encode the picture for " + file.path());
    }
    file.stream().write(bytes.constData(), bytes.size());
}

void SavePictureFile(const std::string& fileName, const QImage& picture, const char* format) {
    AtomicFileWriter file(fileName);
    WritePicture(file, picture, format);
    file.commit();
}

}  // namespace kalvora
