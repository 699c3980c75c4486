#include "analysis/scan/common/scan_picture.h"

#include <QBuffer>
#include <QFontMetrics>
#include <cmath>

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

ScanFrame FrameFor(const QRect& imageArea) {
    return {imageArea.left() + 50, imageArea.top() + 20, imageArea.left() + imageArea.width() - 30,
            imageArea.top() + imageArea.height() - 35};
}

namespace {

// Text placed by its top-left corner, as the labels are positioned.
void TextOut(QPainter& painter, int x, int y, const QString& text) {
    painter.drawText(QPoint(x, y + painter.fontMetrics().ascent()), text);
}

}  // namespace

void DrawScanPicture(QPainter& painter, const QRect& imageArea, const QImage& raster,
                     const ScanDomain& domain, const QString& horizontalName,
                     const QString& verticalName) {
    const ScanFrame frame = FrameFor(imageArea);
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
                     const QString& verticalName) {
    EnsureApplication();
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.setFont(ResultWindowFont());
        DrawScanPicture(painter, QRect(0, 0, width, height), RasterImage(raster), domain,
                        horizontalName, verticalName);
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
