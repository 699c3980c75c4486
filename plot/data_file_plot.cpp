#include "plot/data_file_plot.h"

#include <iterator>

#include "plot/data_file_reader.h"
#include "plot/plot_config.h"

namespace kalvora {

DataFilePlot::DataFilePlot(const std::vector<std::string>& files,
                           const DataFilePlotOptions& options) {
    ApplyStandardPlotConfiguration(plot_);
    plot_.resize(options.width, options.height);
    plot_.LeftAxis().GridAttr().SetVisible(options.grid);
    plot_.BottomAxis().GridAttr().SetVisible(options.grid);
    plot_.BottomAxis().SetTitle(options.xTitle);
    plot_.LeftAxis().SetTitle(options.yTitle);
    plot_.BottomAxis().SetRoundTicks(options.roundTicks);
    plot_.LeftAxis().SetRoundTicks(options.roundTicks);
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto line = std::make_unique<Tsp_XYLine>();
        const Tsp_Color colour = kSlotColours[i % std::size(kSlotColours)];
        line->LineAttr().SetColor(colour);
        line->LineAttr().SetVisible(options.lines);
        line->PointAttr().SetColor(colour);
        line->PointAttr().SetStyle(bsClear);
        line->PointAttr().SetKind(ptCross);
        line->PointAttr().SetHSize(0);
        line->PointAttr().SetVSize(0);
        line->PointAttr().SetVisible(!options.lines);
        ReadDataFile(files[i], *line);
        // Attached once complete: one auto-scaling for the whole file.
        line->SetPlot(&plot_);
        series_.push_back(std::move(line));
    }
}

}  // namespace kalvora
