#pragma once

#include <QFont>
#include <QImage>
#include <functional>
#include <string>
#include <vector>

#include "core/text_file.h"
#include "plot/picture_support.h"
#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {

// What a batch picture shows besides its series: the names on its axes (none when empty) and
// round tick values instead of the default tick arithmetic.
struct PictureLook {
    std::string horizontalTitle;
    std::string verticalTitle;
    bool roundTicks = false;
};

// Draws one run's series as its result window shows it (the standard plot configuration, a white
// background, the red "Overflow" label after a failed run, the look's titles and ticks) into a PNG
// file, written only when complete. arrangeAxes, when given, fixes axis ranges before the series is
// scaled in. Creates the application object a plot needs when there is none, without a display.
// Raises FileError.
void SaveSeriesPicture(const std::string& fileName, Tsp_XYLine& series, const PictureSize& size,
                       bool overflow, const std::function<void(Tsp_XYPlot&)>& arrangeAxes = {},
                       const PictureLook& look = {});
// The same for a window that shows several series at once, drawn in the order given.
void SaveSeriesPicture(const std::string& fileName, const std::vector<Tsp_XYLine*>& series,
                       const PictureSize& size, bool overflow,
                       const std::function<void(Tsp_XYPlot&)>& arrangeAxes = {},
                       const PictureLook& look = {});

// The same picture written into a file that the caller commits, so that it can replace its target
// together with another file or not at all.
void WriteSeriesPicture(AtomicFileWriter& file, Tsp_XYLine& series, const PictureSize& size,
                        bool overflow, const std::function<void(Tsp_XYPlot&)>& arrangeAxes = {},
                        const PictureLook& look = {});
void WriteSeriesPicture(AtomicFileWriter& file, const std::vector<Tsp_XYLine*>& series,
                        const PictureSize& size, bool overflow,
                        const std::function<void(Tsp_XYPlot&)>& arrangeAxes = {},
                        const PictureLook& look = {});

// Encodes a picture in the format ("PNG", "BMP") into a file that the caller commits. Raises
// FileError.
void WritePicture(AtomicFileWriter& file, const QImage& picture, const char* format);

// The same into a file that is replaced only when complete.
void SavePictureFile(const std::string& fileName, const QImage& picture, const char* format);

}  // namespace kalvora
