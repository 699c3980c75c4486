#include "analysis/sweep/lyapunov/tluyapunovplot.h"

#include <QCloseEvent>

#include "analysis/sweep/common/sweep_window_run.h"
#include "core/noise.h"

namespace kalvora {

TLuyapunovPlot::TLuyapunovPlot(AnalysisHost& host, TLuyapunovSet& settings)
    : PlotWindow(host, QStringLiteral("TLuyapunovPlot"),
                 QStringLiteral("Largest Lyapunov Exponent Diagram"), QSize(640, 440),
                 {100, 100, 50}),
      settings_(settings) {
    StyleNewSeries(curve_, clBlue);
    StyleRunSeries(curve_, false, true);
    StyleNewSeries(nullLine_, clRed);
    nullLine_.LineAttr().SetVisible(true);
    nullLine_.PointAttr().SetVisible(false);
    StyleNewSeries(spare_, clBlue);
    nullLine_.SetPlot(graph);
    data = &curve_;
    attachSettings(settings_, kAnalysisTag, [this] { okbuttonClick(); });
    connect(SaveDataAs1, &QAction::triggered, this,
            [this] { saveSeries("Indicate File to Save Data", curve_); });
}

void TLuyapunovPlot::open() {
    settings_.fillLists(DefaultResolution(*this));
    settings_.show();
    settings_.raise();
}

void TLuyapunovPlot::okbuttonClick() {
    guarded([this] {
        const LyapunovSettings settings = settings_.settings(DefaultResolution(*this));
        // Refused before anything changes: the last curve stays in view.
        PlanLyapunov(workspace(), settings);
        ReseedIfFixed(workspace());
        settings_.hide();
        setEnabled(true);
        run(settings);
    });
}

void TLuyapunovPlot::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        const LyapunovSettings settings = settings_.settings(DefaultResolution(*this));
        PlanLyapunov(workspace(), settings);
        update();
        run(settings);
    });
}

bool TLuyapunovPlot::run(const LyapunovSettings& settings) {
    ModelWorkspace& ws = workspace();
    PlotIni(false, true, curve_);
    const SweptValues values = PlanLyapunov(ws, settings);
    const double lower = static_cast<double>(values.lower());
    const double upper = static_cast<double>(values.upper());
    const ManualScaling manual = applyManualScaling(settings_.scaling, {lower, upper});
    if (manual == ManualScaling::Refused) {
        return false;
    }
    if (manual == ManualScaling::Off) {
        NotManualscal();
    }
    nullLine_.ClearPoints();
    nullLine_.AddPoint(static_cast<double>(settings.minimum), 0);
    nullLine_.AddPoint(static_cast<double>(settings.maximum), 0);

    const ModelKind kind = ws.kind;
    const int threads = ws.computationThreads;
    // The curve is inactive while its points arrive: it is drawn, and the axes scaled to it,
    // once at the end.
    lastOutcome_ =
        RunSweepInWindow(*this, host(), curve_,
                         [&](ModelRuntime& model, RunControl& control, PointSink& sink,
                             const std::function<void()>&) {
                             return LyapunovSweep(model, kind, settings, threads, control, sink);
                         });

    graph->BottomAxis().SetAutoMin(false);
    graph->BottomAxis().SetAutoMax(false);
    graph->BottomAxis().SetRange(lower, upper);
    curve_.SetDrawLocked(false);
    raise();
    Plot(curve_, ws.errorFlag);
    return true;
}

void TLuyapunovPlot::closeEvent(QCloseEvent* event) {
    if (property("kalvoraSweepRunning").toBool()) {
        event->ignore();
        return;
    }
    PlotWindow::closeEvent(event);
}

}  // namespace kalvora
