#pragma once

#include <QPainter>
#include <QSize>
#include <functional>
#include <string>

namespace kalvora {

// The formats of "&Save As...": bitmaps for any program, SVG and PDF as the vector pictures
// that Linux tools read.
enum class PictureFormat { Bmp = 0, Png = 1, Svg = 2, Pdf = 3 };

// The picture dialog's filter, in the order of PictureFormat.
extern const char* const kPictureFilter;

// The format of a chosen file: its extension when it names one of the four, else the filter the
// user chose in the dialog.
PictureFormat PictureFormatFor(const std::string& fileName, int chosenFilter);

// Draws the picture at a size, as the plot's DrawTo does.
using PictureDrawer = std::function<void(QPainter& painter, int width, int height)>;

// Renders the picture at the size straight into the file (never through the clipboard), written
// beside the target and renamed over it when complete. Raises FileError.
void SavePicture(const std::string& fileName, PictureFormat format, QSize size,
                 const PictureDrawer& draw);

// The encoded picture, for tests and the batch tool.
QByteArray EncodePicture(PictureFormat format, QSize size, const PictureDrawer& draw);

}  // namespace kalvora
