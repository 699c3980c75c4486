#pragma once

#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <string>
#include <utility>

#include "analysis/scan/common/scan_raster.h"

namespace kalvora {

// The raster as an image, one pixel per raster pixel; blank pixels are white.
QImage RasterImage(const ColourRaster& raster);

// The frame the raster is stretched into, inside an image area of this size placed at `origin`:
// 50 pixels from the left, 20 from the top, 30 from the right and 35 from the bottom. The
// rectangle's right and bottom are the frame's right and bottom sides.
struct ScanFrame {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
ScanFrame FrameFor(const QRect& imageArea);

// The framed picture over the image area: the raster stretched into the frame, the frame's four
// sides, nine ticks on each side pointing outwards, the values under the bottom ticks and left of
// the left ticks (3 significant digits, 3 decimals) and the two axis names.
void DrawScanPicture(QPainter& painter, const QRect& imageArea, const QImage& raster,
                     const ScanDomain& domain, const QString& horizontalName,
                     const QString& verticalName);

// The plane's values under a position of the image: horizontal then vertical.
std::pair<Extended, Extended> ScanReadout(const ScanFrame& frame, const ScanDomain& domain, int x,
                                          int y);

// The framed picture alone, drawn on white at this size, as a PNG file written only when
// complete. Creates the application object text needs when there is none. Raises FileError.
void SaveScanPicture(const std::string& fileName, int width, int height, const ColourRaster& raster,
                     const ScanDomain& domain, const QString& horizontalName,
                     const QString& verticalName);

}  // namespace kalvora
