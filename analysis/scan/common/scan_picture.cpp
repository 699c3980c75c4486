#include "analysis/scan/common/scan_picture.h"

#include <QBuffer>
#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "analysis/window/export/picture_export.h"
#include "core/numbers.h"
#include "core/text_file.h"
#include "plot/picture_support.h"

namespace kalvora {

QRgb NotComputedPixel(int column, int row) {
    // A fine grey check, which no cycle colour of a plain table looks like: a stopped scan's
    // unreached area must not pass for white (no convergence) or any class.
    return ((column / 2 + row / 2) % 2 == 0) ? qRgb(200, 200, 200) : qRgb(235, 235, 235);
}

QImage RasterImage(const ColourRaster& raster) {
    QImage image(raster.columns(), raster.rows(), QImage::Format_RGB32);
    for (int j = 0; j < raster.rows(); ++j) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(j));
        for (int i = 0; i < raster.columns(); ++i) {
            const RgbColour colour = raster.at(i, j);
            line[i] = colour == kBlankPixel ? NotComputedPixel(i, j) : (0xFF000000u | colour);
        }
    }
    return image;
}

ScanLegend BasinLegend(const ScanColours& colours, int cycles) {
    ScanLegend legend;
    for (int c = 1; c <= cycles; ++c) {
        legend.push_back({CycleColour(colours, c), QStringLiteral("cycle %1").arg(c)});
    }
    legend.push_back({NonConvergenceColour(colours), QStringLiteral("no convergence")});
    legend.push_back({DivergenceColour(colours), QStringLiteral("divergence")});
    return legend;
}

ScanLegend PeriodLegend(const ScanColours& colours, const std::vector<int>& periods) {
    ScanLegend legend;
    for (std::size_t n = 0; n < periods.size(); ++n) {
        legend.push_back({CycleColour(colours, static_cast<int>(n) + 1),
                          QStringLiteral("period %1").arg(periods[n])});
    }
    legend.push_back({NonConvergenceColour(colours), QStringLiteral("no convergence")});
    legend.push_back({DivergenceColour(colours), QStringLiteral("divergence")});
    return legend;
}

namespace {

// The legend's geometry: a gap after the frame's ticks, a swatch, a gap, the text, a margin.
constexpr int kLegendGap = 18;
constexpr int kSwatch = 11;
constexpr int kSwatchGap = 5;
constexpr int kLegendMargin = 8;

QString MoreText(std::size_t hidden) {
    return QStringLiteral("and %1 more").arg(hidden);
}

}  // namespace

int ScanRightInset(const QFontMetrics& metrics, const ScanLegend& legend) {
    if (legend.empty()) {
        return 30;
    }
    int widest = metrics.horizontalAdvance(MoreText(legend.size()));
    for (const ScanLegendEntry& entry : legend) {
        widest = std::max(widest, metrics.horizontalAdvance(entry.text));
    }
    return std::max(30, kLegendGap + kSwatch + kSwatchGap + widest + kLegendMargin);
}

ScanFrame FrameFor(const QRect& imageArea, int rightInset) {
    return {imageArea.left() + 50, imageArea.top() + 20,
            imageArea.left() + imageArea.width() - rightInset,
            imageArea.top() + imageArea.height() - 35};
}

namespace {

// Text placed by its top-left corner, as the labels are positioned.
void TextOut(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}

}  // namespace

namespace {

void DrawScanLegend(QPainter& painter, const ScanFrame& frame, const ScanLegend& legend) {
    const QFontMetrics metrics = painter.fontMetrics();
    const int row = std::max(metrics.height(), kSwatch) + 3;
    const int x = frame.right + kLegendGap;
    int y = frame.top;
    for (std::size_t i = 0; i < legend.size(); ++i) {
        // The last row that fits says how many classes it leaves out.
        const bool lastRow = y + 2 * row > frame.bottom + 1;
        if (lastRow && i + 1 < legend.size()) {
            TextOut(painter, x, y + (row - metrics.height()) / 2, MoreText(legend.size() - i));
            return;
        }
        const QRect swatch(x, y + (row - kSwatch) / 2, kSwatch, kSwatch);
        painter.fillRect(swatch, QColor::fromRgb(legend[i].colour));
        painter.setPen(Qt::black);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(swatch.adjusted(0, 0, -1, -1));
        TextOut(painter, x + kSwatch + kSwatchGap, y + (row - metrics.height()) / 2,
                legend[i].text);
        y += row;
    }
}

}  // namespace

void DrawScanPicture(QPainter& painter, const QRect& imageArea, const QImage& raster,
                     const ScanDomain& domain, const QString& horizontalName,
                     const QString& verticalName, const ScanLegend& legend) {
    const ScanFrame frame = FrameFor(imageArea, ScanRightInset(painter.fontMetrics(), legend));
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    if (!raster.isNull() && width > 0 && height > 0) {
        painter.drawImage(QRect(frame.left, frame.top, width, height), raster);
    }
    painter.setPen(Qt::black);
    painter.drawLine(frame.left, frame.top, frame.right, frame.top);
    painter.drawLine(frame.left, frame.bottom, frame.right, frame.bottom);
    painter.drawLine(frame.left, frame.top, frame.left, frame.bottom);
    painter.drawLine(frame.right, frame.top, frame.right, frame.bottom);
    for (int i = 0; i <= 8; ++i) {
        const int x = static_cast<int>(std::lround(frame.left + i * width / 8.0));
        painter.drawLine(x, frame.bottom, x, frame.bottom + 5);
        painter.drawLine(x, frame.top, x, frame.top - 5);
        const Extended value = domain.horizontalMinimum +
                               i * (domain.horizontalMaximum - domain.horizontalMinimum) / 8;
        TextOut(painter, x - 6, frame.bottom + 8, QString::fromStdString(FormatTickValue(value)));

        const int y = static_cast<int>(std::lround(frame.top + i * height / 8.0));
        painter.drawLine(frame.left - 5, y, frame.left, y);
        painter.drawLine(frame.right, y, frame.right + 5, y);
        const Extended vertical =
            domain.verticalMaximum - i * (domain.verticalMaximum - domain.verticalMinimum) / 8;
        TextOut(painter, frame.left - 45, y - 6, QString::fromStdString(FormatTickValue(vertical)));
    }
    TextOut(painter, frame.right - 5, frame.bottom + 20, horizontalName);
    TextOut(painter, frame.left - 45, frame.top - 19, verticalName);
    DrawScanLegend(painter, frame, legend);
}

std::pair<Extended, Extended> ScanReadout(const ScanFrame& frame, const ScanDomain& domain, int x,
                                          int y) {
    const Extended width = frame.right - frame.left;
    const Extended height = frame.bottom - frame.top;
    const Extended horizontal =
        domain.horizontalMinimum +
        (domain.horizontalMaximum - domain.horizontalMinimum) * (x - frame.left) / width;
    const Extended vertical =
        domain.verticalMaximum +
        (domain.verticalMinimum - domain.verticalMaximum) * (y - frame.top) / height;
    return {horizontal, vertical};
}

void SaveScanPicture(const std::string& fileName, int width, int height, const ColourRaster& raster,
                     const ScanDomain& domain, const QString& horizontalName,
                     const QString& verticalName, const ScanLegend& legend) {
    EnsureApplication();
    const QImage rasterImage = RasterImage(raster);
    const PictureFormat format = PictureFormatFor(fileName, static_cast<int>(PictureFormat::Png));
    SavePicture(fileName, format, QSize(width, height),
                [&](QPainter& painter, int drawnWidth, int drawnHeight) {
                    painter.fillRect(0, 0, drawnWidth, drawnHeight, Qt::white);
                    painter.setFont(ResultWindowFont());
                    DrawScanPicture(painter, QRect(0, 0, drawnWidth, drawnHeight), rasterImage,
                                    domain, horizontalName, verticalName, legend);
                });
}

}  // namespace kalvora
