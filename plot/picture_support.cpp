#include "plot/picture_support.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <cstdio>
#include <stdexcept>

namespace kalvora {

namespace {

// Qt's remarks about the desktop session (no runtime folder on a headless machine) mean nothing
// to a picture drawn in memory; real warnings still reach standard error.
void FilterQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg ||
        message.startsWith(QLatin1String("QStandardPaths:"))) {
        return;
    }
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

QFont ResultWindowFont() {
    return QFont(QStringLiteral("Times New Roman"));
}

QFont OverflowLabelFont() {
    QFont font = ResultWindowFont();
    font.setPixelSize(16);
    font.setBold(true);
    return font;
}

void PaintOverflowLabel(QPainter& painter, const QRect& field, bool boxed) {
    painter.save();
    painter.setClipping(false);
    const QFont font = OverflowLabelFont();
    painter.setFont(font);
    const QString text = QStringLiteral("Overflow");
    const QFontMetrics metrics(font, painter.device());
    QRect box = metrics.boundingRect(text).adjusted(-2, -1, 2, 1);
    box.moveTo(field.center().x() - box.width() / 2, field.center().y() - box.height());
    painter.fillRect(box, Qt::white);
    if (boxed) {
        painter.setPen(Qt::black);
        painter.drawRect(box.adjusted(0, 0, -1, -1));
    }
    painter.setPen(Qt::red);
    painter.drawText(box, Qt::AlignCenter, text);
    painter.restore();
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
    static QApplication* application = new QApplication(argc, argv);
    (void)application;
}

}  // namespace kalvora
