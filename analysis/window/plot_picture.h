#pragma once

#include <QFont>
#include <functional>
#include <string>
#include <vector>

#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {

struct PictureSize {
    int width = 640;
    int height = 480;
};

// The font of the result windows, which their plots inherit: a picture drawn outside a window
// must measure and draw its tick labels with it to look as the window does.
QFont ResultWindowFont();

// "WIDTHxHEIGHT" in pixels, each 10 .. 20000. Raises std::invalid_argument with a message that
// names the text.
PictureSize ParsePictureSize(const std::string& text);

// Draws one run's series as its result window shows it (the standard plot configuration, a white
// background, the red "Overflow" label after a failed run) into a PNG file, written only when
// complete. arrangeAxes, when given, fixes axis ranges before the series is scaled in. Creates the
// application object a plot needs when there is none, without a display. Raises FileError.
void SaveSeriesPicture(const std::string& fileName, Tsp_XYLine& series, const PictureSize& size,
                       bool overflow, const std::function<void(Tsp_XYPlot&)>& arrangeAxes = {});
// The same for a window that shows several series at once, drawn in the order given.
void SaveSeriesPicture(const std::string& fileName, const std::vector<Tsp_XYLine*>& series,
                       const PictureSize& size, bool overflow,
                       const std::function<void(Tsp_XYPlot&)>& arrangeAxes = {});

}  // namespace kalvora
