#include "analysis/data/statistics/histogram_painter.h"

#include <QApplication>
#include <QImage>
#include <QPalette>

#include "analysis/window/plot_picture.h"

namespace kalvora {

namespace {

// The frame and the bars are drawn as the window's canvas draws rectangles: the outline on the
// first pixels of the rectangle, the right and bottom edges excluded.
void DrawBox(QPainter& painter, int left, int top, int right, int bottom) {
    if (right - left < 1 || bottom - top < 1) {
        return;
    }
    painter.drawRect(left, top, right - left - 1, bottom - top - 1);
}

}  // namespace

void PaintHistogram(QPainter& painter, const HistogramLayout& layout, bool overflow) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(Qt::black, 0));
    painter.setBrush(Qt::white);
    DrawBox(painter, kHistogramLeft, kHistogramTop, kHistogramRight, kHistogramBase);

    painter.setBrush(Qt::blue);
    for (const HistogramBar& bar : layout.bars) {
        DrawBox(painter, bar.left, bar.top, bar.right, kHistogramBase);
    }
    for (const HistogramTick& tick : layout.ticks) {
        painter.drawLine(tick.x1, tick.y1, tick.x2, tick.y2);
    }
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    for (const HistogramLabel& label : layout.labels) {
        painter.drawText(QRect(label.x, label.y, 200, 20), Qt::AlignLeft | Qt::AlignTop,
                         QString::fromStdString(label.text));
    }
    if (overflow) {
        // Above the tallest bar, which reaches only four fifths of the frame.
        painter.setFont(OverflowLabelFont());
        painter.setPen(Qt::red);
        painter.drawText(
            QRect(kHistogramLeft, kHistogramTop + 4, kHistogramRight - kHistogramLeft, 40),
            Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("Overflow"));
    }
    painter.restore();
}

void WriteHistogramPicture(AtomicFileWriter& file, const StatisticsRecord& record) {
    EnsureApplication();
    QImage picture(kHistogramPictureWidth, kHistogramPictureHeight, QImage::Format_RGB32);
    picture.fill(QApplication::palette().color(QPalette::Window));
    {
        QPainter painter(&picture);
        painter.setFont(QApplication::font());
        PaintHistogram(painter, LayOutHistogram(record), record.failed);
    }
    WritePicture(file, picture, "PNG");
}

}  // namespace kalvora
