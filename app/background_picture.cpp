#include "app/background_picture.h"

#include <QPainter>

namespace kalvora {

namespace {

// The Hénon map's attractor (a = 1.4, b = 0.3) on a transparent image.
QImage HenonPicture(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const QRgb ink = qRgba(30, 80, 160, 255);
    double x = 0.1;
    double y = 0.1;
    for (int i = 0; i < 60000; ++i) {
        const double next = 1.0 - 1.4 * x * x + y;
        y = 0.3 * x;
        x = next;
        if (i < 100)
            continue;
        const int column = static_cast<int>((x + 1.35) / 2.7 * (width - 1));
        const int row = static_cast<int>((0.42 - y) / 0.84 * (height - 1));
        if (column >= 0 && column < width && row >= 0 && row < height) {
            image.setPixel(column, row, ink);
        }
    }
    return image;
}

}  // namespace

BackgroundPicture::BackgroundPicture(QWidget* parent)
    : QWidget(parent), picture_(HenonPicture(360, 200)) {
    setObjectName("BackgroundPicture");
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(246, 248, 251));
    setPalette(colours);
    setMinimumHeight(120);
}

void BackgroundPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QSize size = picture_.size();
    if (size.width() > width() - 20 || size.height() > height() - 20) {
        size.scale(std::max(1, width() - 20), std::max(1, height() - 20), Qt::KeepAspectRatio);
    }
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setOpacity(0.35);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, picture_);
}

}  // namespace kalvora
