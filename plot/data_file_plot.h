#pragma once

#include <QByteArray>
#include <QImage>
#include <memory>
#include <string>
#include <vector>

#include "plot/xy_line.h"
#include "plot/xy_plot.h"

namespace kalvora {

struct DataFilePlotOptions {
    int width = 640;
    int height = 480;
    bool lines = false;  // join consecutive points instead of marking each with one pixel
    bool grid = false;
    bool roundTicks = false;  // ticks on round values instead of the default arithmetic
    std::string xTitle;       // the axes' names, none when empty
    std::string yTitle;
};

// Data files drawn the way a result window draws its series slots: the standard plot
// configuration, the slot colours blue, red, lime, fuchsia, navy (repeating), auto-scaled axes.
// Used by "kalvora-cli plot". Throws FileError or DataFileError for an unreadable file.
class DataFilePlot {
  public:
    DataFilePlot(const std::vector<std::string>& files, const DataFilePlotOptions& options);

    Tsp_XYPlot& Plot() { return plot_; }
    const Tsp_XYLine& Series(int i) const { return *series_[static_cast<std::size_t>(i)]; }

    QImage Bitmap() { return plot_.RenderBitmap(); }
    QByteArray Svg() { return plot_.RenderSvg(); }

  private:
    Tsp_XYPlot plot_;
    std::vector<std::unique_ptr<Tsp_XYLine>> series_;
};

}  // namespace kalvora
