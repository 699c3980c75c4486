#pragma once

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <QString>
#include <string>
#include <utility>
#include <vector>

#include "analysis/scan/common/scan_raster.h"

namespace kalvora {

// The raster as an image, one pixel per raster pixel; blank pixels are white.
QImage RasterImage(const ColourRaster& raster);

// One class of the picture's legend: its colour and what it stands for ("period 3", "cycle 2",
// "no convergence", "divergence").
struct ScanLegendEntry {
    RgbColour colour = 0;
    QString text;
};
using ScanLegend = std::vector<ScanLegendEntry>;

// The legends of the two scans: a row per cycle of the table (named by its number in a basin scan,
// by its period in a period scan), then non-convergence and divergence.
ScanLegend BasinLegend(const ScanColours& colours, int cycles);
ScanLegend PeriodLegend(const ScanColours& colours, const std::vector<int>& periods);

// The room right of the frame: 30 pixels for the ticks, widened to hold the legend beside the frame
// when there is one, measured in the picture's font.
int ScanRightInset(const QFontMetrics& metrics, const ScanLegend& legend);

// The frame the raster is stretched into, inside an image area of this size placed at `origin`:
// 50 pixels from the left, 20 from the top, rightInset from the right and 35 from the bottom. The
// rectangle's right and bottom are the frame's right and bottom sides.
struct ScanFrame {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};
ScanFrame FrameFor(const QRect& imageArea, int rightInset = 30);

// The framed picture over the image area: the raster stretched into the frame, the frame's four
// sides, nine ticks on each side pointing outwards, the values under the bottom ticks and left of
// the left ticks (3 significant digits, 3 decimals), the two axis names and, right of the frame,
// the legend: a swatch and a name per class, as many as the frame's height holds.
void DrawScanPicture(QPainter& painter, const QRect& imageArea, const QImage& raster,
                     const ScanDomain& domain, const QString& horizontalName,
                     const QString& verticalName, const ScanLegend& legend = {});

// The plane's values under a position of the image: horizontal then vertical.
std::pair<Extended, Extended> ScanReadout(const ScanFrame& frame, const ScanDomain& domain, int x,
                                          int y);

// The framed picture alone, drawn on white at this size, in the format the file's extension
// names (PNG, BMP, SVG or PDF; PNG for any other name), written only when complete. Creates the
// application object text needs when there is none. Raises FileError.
void SaveScanPicture(const std::string& fileName, int width, int height, const ColourRaster& raster,
                     const ScanDomain& domain, const QString& horizontalName,
                     const QString& verticalName, const ScanLegend& legend = {});

}  // namespace kalvora
