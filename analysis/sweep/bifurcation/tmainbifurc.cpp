#include "analysis/sweep/bifurcation/tmainbifurc.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "analysis/sweep/common/sweep_window_run.h"

namespace kalvora {

Tmainbifurc::Tmainbifurc(AnalysisHost& host, Tbifsettings& settings)
    : SlotPlotWindow(host, QStringLiteral("Tmainbifurc"), QStringLiteral("Bifurcation Diagram"),
                     QSize(640, 440), {100, 100, 50}),
      settings_(settings) {
    attachSettings(settings_, kAnalysisTag, [this] { okbuttonClick(); });
    menuBar()->addMenu(MultiPlot1);
}

void Tmainbifurc::open() {
    resetSlots();
    settings_.fillLists(DefaultResolution(*this));
    settings_.show();
    settings_.raise();
}

void Tmainbifurc::okbuttonClick() {
    guarded([this] {
        const BifurcationSettings settings = settings_.settings(DefaultResolution(*this));
        // Refused before the slot is marked or its series emptied: the last sweep stays in view.
        PlanBifurcation(workspace(), settings);
        setEnabled(true);
        settings_.hide();
        markCurrentSlotFilled();
        run(settings);
    });
}

void Tmainbifurc::startRunIntoSlot() {
    ParametersClick();
}

void Tmainbifurc::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        const BifurcationSettings settings = settings_.settings(DefaultResolution(*this));
        PlanBifurcation(workspace(), settings);
        update();
        if (run(settings)) {
            markCurrentSlotFilled();
        }
    });
}

bool Tmainbifurc::run(const BifurcationSettings& settings) {
    ModelWorkspace& ws = workspace();
    Tsp_XYLine& series = *data;
    PlotIni(false, false, series);
    const SweptValues values = PlanBifurcation(ws, settings);
    const double lower = static_cast<double>(values.lower());
    const double upper = static_cast<double>(values.upper());
    const ManualScaling manual = applyManualScaling(settings_.scaling, {lower, upper});
    if (manual == ManualScaling::Refused) {
        return false;
    }
    if (manual == ManualScaling::Off) {
        graph->LeftAxis().SetAutoMin(true);
        graph->LeftAxis().SetAutoMax(true);
    }
    Plot(series, false);

    const ModelKind kind = ws.kind;
    const int threads = ws.computationThreads;
    series.Reserve(static_cast<std::size_t>(values.count() * settings.plottedPoints));
    lastOutcome_ = RunSweepInWindow(*this, host(), series,
                                    [&](ModelRuntime& model, RunControl& control, PointSink& sink,
                                        const std::function<void()>& refresh) {
                                        return BifurcationSweep(model, kind, settings, threads,
                                                                control, sink, refresh);
                                    });

    // The parameter axis shows the interval from its smaller to its larger end, whichever way it
    // was swept, however far the sweep came.
    graph->BottomAxis().SetAutoMin(false);
    graph->BottomAxis().SetAutoMax(false);
    graph->BottomAxis().SetRange(lower, upper);
    series.SetDrawLocked(false);
    raise();
    Plot(series, ws.errorFlag);
    return true;
}

void Tmainbifurc::closeEvent(QCloseEvent* event) {
    // The sweep running for this window ends first (Stop in the computing window).
    if (property("kalvoraSweepRunning").toBool()) {
        event->ignore();
        return;
    }
    SlotPlotWindow::closeEvent(event);
    host().enableAllWindows();
}

}  // namespace kalvora
