#include "analysis/window/export/picture_export.h"

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <algorithm>
#include <cctype>

#include "core/text_file.h"

namespace kalvora {

const char* const kPictureFilter =
    "Bitmap file (*.bmp)|*.bmp|PNG picture (*.png)|*.png|SVG vector picture (*.svg)|*.svg|"
    "PDF document (*.pdf)|*.pdf";

PictureFormat PictureFormatFor(const std::string& fileName, int chosenFilter) {
    const std::size_t dot = fileName.find_last_of('.');
    const std::size_t slash = fileName.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        std::string extension = fileName.substr(dot + 1);
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (extension == "bmp") {
            return PictureFormat::Bmp;
        }
        if (extension == "png") {
            return PictureFormat::Png;
        }
        if (extension == "svg") {
            return PictureFormat::Svg;
        }
        if (extension == "pdf") {
            return PictureFormat::Pdf;
        }
    }
    return static_cast<PictureFormat>(std::clamp(chosenFilter, 0, 3));
}

QByteArray EncodePicture(PictureFormat format, QSize size, const PictureDrawer& draw) {
    size = size.expandedTo(QSize(10, 10));
    QByteArray bytes;
    QBuffer device(&bytes);
    device.open(QIODevice::WriteOnly);
    switch (format) {
        case PictureFormat::Bmp:
        case PictureFormat::Png: {
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                draw(painter, size.width(), size.height());
            }
            image.save(&device, format == PictureFormat::Bmp ? "BMP" : "PNG");
            break;
        }
        case PictureFormat::Svg: {
            QSvgGenerator generator;
            generator.setOutputDevice(&device);
            generator.setSize(size);
            generator.setViewBox(QRect(QPoint(0, 0), size));
            generator.setResolution(96);
            QPainter painter(&generator);
            draw(painter, size.width(), size.height());
            break;
        }
        case PictureFormat::Pdf: {
            // One PDF point per screen pixel: the page is the picture, at the control's size.
            QPdfWriter writer(&device);
            writer.setResolution(72);
            writer.setPageSize(
                QPageSize(QSizeF(size), QPageSize::Point, QString(), QPageSize::ExactMatch));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            QPainter painter(&writer);
            draw(painter, size.width(), size.height());
            break;
        }
    }
    return bytes;
}

void SavePicture(const std::string& fileName, PictureFormat format, QSize size,
                 const PictureDrawer& draw) {
    const QByteArray bytes = EncodePicture(format, size, draw);
    if (bytes.isEmpty()) {
        throw FileError("Cannot encode the picture for \"" + fileName + "\"");
    }
    AtomicFileWriter file(fileName);
    file.stream().write(bytes.constData(), bytes.size());
    file.commit();
}

}  // namespace kalvora
