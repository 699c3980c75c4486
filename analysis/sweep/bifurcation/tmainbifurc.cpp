#include "analysis/sweep/bifurcation/tmainbifurc.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <string>
#include <utility>

#include "analysis/sweep/common/sweep_window_run.h"
#include "analysis/window/export/output_commands.h"

namespace kalvora {

Tmainbifurc::Tmainbifurc(AnalysisHost& host, Tbifsettings& settings)
    : AnalysisWindow(host, settings, AnalysisTag::Bifurcation, QStringLiteral("Tmainbifurc"),
                     QStringLiteral("Bifurcation Diagram"), QSize(640, 440),
                     QList<int>{100, 100, 50}),
      settings_(settings) {
    menuBar()->addMenu(MultiPlot1);
    offerSlotOutput(EpsLayout::Points, [this] {
        return std::pair<std::string, std::string>(settings_.partext->currentText().toStdString(),
                                                   settings_.vartext->currentText().toStdString());
    });
}

void Tmainbifurc::open() {
    resetSlots();
    settings_.fillLists(DefaultResolution(*this));
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

void Tmainbifurc::startRunIntoSlot() {
    ParametersClick();
}

BifurcationSettings Tmainbifurc::sweepOf(const BifurcationWindowSettings& settings) const {
    BifurcationSettings sweep = settings.sweep;
    if (!settings.manualResolution) {
        sweep.resolution = DefaultResolution(*this);
    }
    return sweep;
}

BifurcationWindowSettings Tmainbifurc::readDialog() const {
    BifurcationWindowSettings settings;
    settings.sweep = settings_.settings();
    settings.manualResolution = settings_.CheckBox1->isChecked();
    settings.manualScaling = settings_.scaling.acceptedLimits();
    return settings;
}

void Tmainbifurc::validate(const BifurcationWindowSettings& settings) const {
    PlanBifurcation(workspace().model(), sweepOf(settings));
}

bool Tmainbifurc::prepareSeries(const BifurcationWindowSettings& settings) {
    const SweptValues values = PlanBifurcation(workspace().model(), sweepOf(settings));
    Tsp_XYLine& series = *data;
    PlotIni(false, false, series);
    if (settings.sweep.flowPlot != FlowPlot::EveryStep) {
        // Crossings and maxima are separate points, never a curve.
        StyleRunSeries(series, false, false);
    }
    const double lower = static_cast<double>(values.lower());
    const double upper = static_cast<double>(values.upper());
    if (!applyManualLimits(settings.manualScaling, {lower, upper})) {
        graph->LeftAxis().SetAutoMin(true);
        graph->LeftAxis().SetAutoMax(true);
        graph->BottomAxis().SetAutoMin(false);
        graph->BottomAxis().SetAutoMax(false);
        graph->BottomAxis().SetRange(lower, upper);
    }
    series.Reserve(static_cast<std::size_t>(values.count() * settings.sweep.plottedPoints));
    // Shown with the series attached before the sweep, so that the refreshes draw into it.
    Plot(series, false);
    return true;
}

bool Tmainbifurc::compute(const BifurcationWindowSettings& settings) {
    ModelWorkspace& ws = workspace();
    const BifurcationSettings sweep = sweepOf(settings);
    const SweptValues values = PlanBifurcation(ws.model(), sweep);
    const ModelKind kind = ws.model().kind;
    const int threads = ws.computationThreads;
    Tsp_XYLine& series = *data;
    lastOutcome_ = RunSweepInWindow(
        *this, host(), series,
        [&](ModelEvaluator& model, RunControl& control, PointSink& sink,
            const std::function<void()>& refresh) {
            return BifurcationSweep(model, kind, sweep, threads, control, sink, refresh);
        },
        integration_);
    // The parameter axis shows the interval from its smaller to its larger end, whichever way it
    // was swept, however far the sweep came.
    graph->BottomAxis().SetAutoMin(false);
    graph->BottomAxis().SetAutoMax(false);
    graph->BottomAxis().SetRange(static_cast<double>(values.lower()),
                                 static_cast<double>(values.upper()));
    series.SetDrawLocked(false);
    raise();
    return lastOutcome_.failed;
}

void Tmainbifurc::acceptedRunStarting() {
    markCurrentSlotFilled();
}

void Tmainbifurc::recomputeFinished() {
    markCurrentSlotFilled();
}

void Tmainbifurc::closeEvent(QCloseEvent* event) {
    // The sweep running for this window ends first (Stop in the computing window).
    if (running()) {
        event->ignore();
        return;
    }
    AnalysisWindow::closeEvent(event);
}

}  // namespace kalvora
