#include "analysis/sweep/lyapunov/tluyapunovplot.h"

#include <QCloseEvent>
#include <array>
#include <string>
#include <utility>

#include "analysis/sweep/common/sweep_window_run.h"
#include "analysis/window/export/output_commands.h"

namespace kalvora {

TLuyapunovPlot::TLuyapunovPlot(AnalysisHost& host, TLuyapunovSet& settings)
    : AnalysisWindow(host, settings, AnalysisTag::Lyapunov, QStringLiteral("TLuyapunovPlot"),
                     QStringLiteral("Largest Lyapunov Exponent Diagram"), QSize(640, 440),
                     QList<int>{100, 100, 50}),
      settings_(settings) {
    StyleNewSeries(curve_, clBlue);
    StyleRunSeries(curve_, false, true);
    StyleNewSeries(nullLine_, clRed);
    nullLine_.LineAttr().SetVisible(true);
    nullLine_.PointAttr().SetVisible(false);
    StyleNewSeries(spare_, clBlue);
    nullLine_.SetPlot(graph);
    data = &curve_;
    connect(SaveDataAs1, &QAction::triggered, this,
            [this] { saveSeries("Indicate File to Save Data", curve_); });

    OutputDeclaration output;
    output.layout = EpsLayout::Lines;
    output.epsSeries = [this] {
        return std::array<const Tsp_XYLine*, 5>{&curve_, &nullLine_, &spare_, &spare_, &spare_};
    };
    // The swept parameter across and the exponent up, as the picture shows them.
    output.printLabels = [this] {
        return std::pair<std::string, std::string>(settings_.partext->currentText().toStdString(),
                                                   "exponent");
    };
    offerOutput(std::move(output));
}

void TLuyapunovPlot::open() {
    settings_.fillLists(DefaultResolution(*this));
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

LyapunovSettings TLuyapunovPlot::sweepOf(const LyapunovWindowSettings& settings) const {
    LyapunovSettings sweep = settings.sweep;
    if (!settings.manualResolution) {
        sweep.resolution = DefaultResolution(*this);
    }
    return sweep;
}

LyapunovWindowSettings TLuyapunovPlot::readDialog() const {
    LyapunovWindowSettings settings;
    settings.sweep = settings_.settings();
    settings.manualResolution = settings_.CheckBox1->isChecked();
    settings.manualScaling = settings_.scaling.acceptedLimits();
    return settings;
}

void TLuyapunovPlot::validate(const LyapunovWindowSettings& settings) const {
    PlanLyapunov(workspace().model(), sweepOf(settings));
}

bool TLuyapunovPlot::prepareSeries(const LyapunovWindowSettings& settings) {
    const LyapunovSettings sweep = sweepOf(settings);
    const SweptValues values = PlanLyapunov(workspace().model(), sweep);
    PlotIni(false, true, curve_);
    if (!applyManualLimits(settings.manualScaling, {static_cast<double>(values.lower()),
                                                    static_cast<double>(values.upper())})) {
        NotManualscal();
    }
    nullLine_.ClearPoints();
    nullLine_.AddPoint(static_cast<double>(sweep.minimum), 0);
    nullLine_.AddPoint(static_cast<double>(sweep.maximum), 0);
    return true;
}

bool TLuyapunovPlot::compute(const LyapunovWindowSettings& settings) {
    ModelWorkspace& ws = workspace();
    const LyapunovSettings sweep = sweepOf(settings);
    const SweptValues values = PlanLyapunov(ws.model(), sweep);
    const ModelKind kind = ws.model().kind;
    const int threads = ws.computationThreads;
    // The curve is inactive while its points arrive: it is drawn, and the axes scaled to it,
    // once at the end.
    lastOutcome_ = RunSweepInWindow(
        *this, host(), curve_,
        [&](ModelEvaluator& model, RunControl& control, PointSink& sink,
            const std::function<void()>&) {
            return LyapunovSweep(model, kind, sweep, threads, control, sink);
        },
        integration_);
    graph->BottomAxis().SetAutoMin(false);
    graph->BottomAxis().SetAutoMax(false);
    graph->BottomAxis().SetRange(static_cast<double>(values.lower()),
                                 static_cast<double>(values.upper()));
    curve_.SetDrawLocked(false);
    raise();
    return lastOutcome_.failed;
}

void TLuyapunovPlot::closeEvent(QCloseEvent* event) {
    if (running()) {
        event->ignore();
        return;
    }
    AnalysisWindow::closeEvent(event);
}

}  // namespace kalvora
