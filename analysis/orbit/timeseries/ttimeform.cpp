#include "analysis/orbit/timeseries/ttimeform.h"

#include <QMenuBar>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/window/export/output_commands.h"

namespace kalvora {

Ttimeform::Ttimeform(AnalysisHost& host, Ttimeform2& settings)
    : AnalysisWindow(host, settings, AnalysisTag::TimeSeries, QStringLiteral("Ttimeform"),
                     QStringLiteral("Timeseries Plot"), QSize(566, 310), QList<int>{100, 100, 50}),
      settings_(settings) {
    // Time labels are wide: this window's readout frame differs from the other windows'.
    setReadoutOffsets(kTimeSeriesReadoutOffsets);
    menuBar()->addMenu(MultiPlot1);
    offerSlotOutput(EpsLayout::Lines, [this] {
        return std::pair<std::string, std::string>("time",
                                                   settings_.vartijd->currentText().toStdString());
    });
}

void Ttimeform::open() {
    resetSlots();
    settings_.fillVariables();
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

void Ttimeform::startRunIntoSlot() {
    SettingsClick();
}

TimeSeriesWindowSettings Ttimeform::readDialog() const {
    TimeSeriesWindowSettings settings;
    settings.run = settings_.settings();
    CheckContinuousInterval(workspace().model(), settings.run.startTime, settings.run.endTime);
    settings.plotSquares = settings_.CheckBox1->isChecked();
    settings.connectPoints = settings_.ConnPoints->isChecked();
    settings.manualScaling = settings_.scaling.acceptedLimits();
    return settings;
}

void Ttimeform::validate(const TimeSeriesWindowSettings& settings) const {
    PlanTimeSeries(workspace().model(), settings.run);
}

bool Ttimeform::prepareSeries(const TimeSeriesWindowSettings& settings) {
    const TimeSeriesPlan plan = PlanTimeSeries(workspace().model(), settings.run);
    Tsp_XYLine& series = *data;
    PlotIni(settings.plotSquares, settings.connectPoints, series);
    const double start = static_cast<double>(plan.start);
    const double end = static_cast<double>(plan.end);
    if (!applyManualLimits(settings.manualScaling, {start, end})) {
        // Time is always shown exactly over the requested interval; the values follow the data.
        graph->LeftAxis().SetAutoMin(true);
        graph->LeftAxis().SetAutoMax(true);
        graph->BottomAxis().SetAutoMin(false);
        graph->BottomAxis().SetAutoMax(false);
        graph->BottomAxis().SetRange(start, end);
    }
    series.Reserve(static_cast<std::size_t>(plan.pointsPlotted + 1));
    return true;
}

bool Ttimeform::compute(const TimeSeriesWindowSettings& settings) {
    const TimeSeriesSettings run = settings.run;
    VectorPointSink points;
    const ModelRunOutcome ran =
        runModel([&](ModelEvaluator& model, RunControl&) { TimeSeriesRun(model, run, points); });
    Tsp_XYLine& series = *data;
    for (const VectorPointSink::Point& point : points.points) {
        series.AddPoint(point.x, point.y);
    }
    return ran.failed;
}

void Ttimeform::acceptedRunStarting() {
    markCurrentSlotFilled();
}

void Ttimeform::acceptedRunFinished() {
    show();
}

void Ttimeform::recomputeFinished() {
    markCurrentSlotFilled();
}

void Ttimeform::resultClosed() {
    settings_.resetOnResultClose();
}

}  // namespace kalvora
