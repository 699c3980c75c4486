#include "plot/plot_config.h"

#include "plot/xy_plot.h"

namespace kalvora {

void ApplyStandardPlotConfiguration(Tsp_XYPlot& plot) {
    plot.SetZoomShiftKeys(0);
    plot.SetPanShiftKeys(ssCtrl);
    struct AxisSetting {
        Tsp_Axis& axis;
        int margin;
        const char* format;
        int flags;
    };
    const AxisSetting settings[] = {
        {plot.LeftAxis(), 6, "#####0.#####", sfVertical | sfAutoMin | sfAutoMax},
        {plot.RightAxis(), 14, "###0.##", sfVertical | sfNoTicks | sfNoTicksLabel | sfFarSide},
        {plot.BottomAxis(), 6, "#####0.#####", sfAutoMin | sfAutoMax},
        {plot.TopAxis(), 14, "###0.##", sfNoTicks | sfNoTicksLabel | sfFarSide},
    };
    for (const AxisSetting& setting : settings) {
        setting.axis.SetMargin(setting.margin);
        setting.axis.SetLabelFormat(setting.format);
        setting.axis.SetSFlags(setting.flags);
        setting.axis.SetTicksCount(5);
        setting.axis.LineAttr().SetColor(clBlack);
        setting.axis.LineAttr().SetVisible(true);
        setting.axis.LineAttr().SetWidth(1);
        setting.axis.GridAttr().SetColor(clGray);
        setting.axis.GridAttr().SetVisible(false);
    }
    plot.SetBorderStyle(bs_BlackRect);
    plot.SetFieldColor(clWhite);
    plot.SetColor(clWhite);
    plot.SetBufferedDisplay(true);
}

Tsp_ReadoutValues WindowReadout(const Tsp_Axis& leftAxis, const Tsp_Axis& rightAxis,
                                const Tsp_Axis& bottomAxis, const Tsp_Axis& topAxis,
                                int controlWidth, int controlHeight, int mouseX, int mouseY,
                                const Tsp_ReadoutOffsets& offsets) {
    const int left = leftAxis.LabelSpace(6, 8) + leftAxis.Margin() + offsets.left;
    const int right = rightAxis.Margin() + offsets.right;
    const int top = topAxis.Margin() + offsets.top;
    const int bottom = bottomAxis.LabelSpace(6, 8) + bottomAxis.Margin() + offsets.bottom;
    const double width = controlWidth - left - right;
    const double height = controlHeight - top - bottom;
    Tsp_ReadoutValues values{};
    values.x = bottomAxis.Min() + (bottomAxis.Max() - bottomAxis.Min()) * (mouseX - left) / width;
    values.y = leftAxis.Max() - (leftAxis.Max() - leftAxis.Min()) * (mouseY - top) / height;
    return values;
}

Tsp_ReadoutValues WindowReadout(const Tsp_XYPlot& plot, int mouseX, int mouseY,
                                const Tsp_ReadoutOffsets& offsets) {
    // The titles move the field by their room; the readout follows them.
    Tsp_ReadoutOffsets shifted = offsets;
    shifted.left += plot.AxisTitleRoom(plot.LeftAxis());
    shifted.right += plot.AxisTitleRoom(plot.RightAxis());
    shifted.top += plot.AxisTitleRoom(plot.TopAxis());
    shifted.bottom += plot.AxisTitleRoom(plot.BottomAxis());
    return WindowReadout(plot.LeftAxis(), plot.RightAxis(), plot.BottomAxis(), plot.TopAxis(),
                         plot.width(), plot.height(), mouseX, mouseY, shifted);
}

}  // namespace kalvora
