#include "analysis/orbit/delayplot/tdelay2dmain.h"

#include <algorithm>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/window/export/output_commands.h"

namespace kalvora {

Tdelay2Dmain::Tdelay2Dmain(AnalysisHost& host, Tdelay2dsettings& settings)
    : AnalysisWindow(host, settings, AnalysisTag::DelayPlot, QStringLiteral("Tdelay2Dmain"),
                     QStringLiteral("2-Dimensional Delay Plot"), QSize(481, 432),
                     QList<int>{100, 100, 30, 40}),
      settings_(settings),
      plotted_(std::make_unique<Tsp_XYLine>()),
      spare_(std::make_unique<Tsp_XYLine>()),
      sweep_(*this, settings.varying, [this] { ScrollBar1Change(); }) {
    StyleNewSeries(*plotted_, clBlue);
    StyleNewSeries(*spare_, clBlue);
    data = plotted_.get();
    label1->setFrameShape(QFrame::Box);

    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });
    OutputDeclaration output;
    output.layout = EpsLayout::Points;
    output.epsSeries = [this] {
        const Tsp_XYLine* spare = spare_.get();
        return std::array<const Tsp_XYLine*, 5>{plotted_.get(), spare, spare, spare, spare};
    };
    output.printLabels = [this] {
        const std::string v = settings_.varp1->currentText().toStdString();
        return std::pair<std::string, std::string>(
            v + "(t)", v + "(t+" + std::to_string(lastDelaySteps_) + ")");
    };
    offerOutput(std::move(output));
    ScrollBar1 = sweep_.slider;
}

void Tdelay2Dmain::open() {
    settings_.fill();
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

DelayPlotWindowSettings Tdelay2Dmain::readDialog() const {
    DelayPlotWindowSettings settings;
    settings.run = settings_.settings();
    CheckContinuousInterval(workspace().model(), settings.run.startTime, settings.run.endTime);
    // Bad bounds or a bad step count are reported with the dialog still open.
    settings.sweep = settings_.varying.sweep();
    settings.plotSquares = settings_.PlotBoxes->isChecked();
    settings.connectPoints = settings_.ConnectPoints->isChecked();
    settings.manualScaling = settings_.scaling.acceptedLimits();
    return settings;
}

void Tdelay2Dmain::validate(const DelayPlotWindowSettings& settings) const {
    PlanDelayPlot(workspace().model(), settings.run);
}

bool Tdelay2Dmain::prepareSeries(const DelayPlotWindowSettings& settings) {
    Tsp_XYLine& series = *data;
    sweep_.prepareRun(settings.sweep.steps);
    const DelayPlotPlan plan = PlanDelayPlot(workspace().model(), settings.run);
    PlotIni(settings.plotSquares, settings.connectPoints, series);
    if (!applyManualLimits(settings.manualScaling)) {
        NotManualscal();
    }
    series.Reserve(static_cast<std::size_t>(plan.pointsPlotted));
    return true;
}

bool Tdelay2Dmain::compute(const DelayPlotWindowSettings& settings) {
    const DelayPlotSettings run = settings.run;
    VectorPointSink points;
    DelayPlotOutcome outcome;
    const ModelRunOutcome ran = runModel([&](ModelEvaluator& model, RunControl&) {
        sweep_.applyTo(model);
        outcome = DelayPlotRun(model, run, points);
    });
    if (ran.ran) {
        lastDelaySteps_ = outcome.plan.delaySteps;
    }
    Tsp_XYLine& series = *data;
    for (const VectorPointSink::Point& point : points.points) {
        series.AddPoint(point.x, point.y);
    }
    return ran.failed;
}

void Tdelay2Dmain::acceptedRunStarting() {
    sweep_.startAccepted(accepted_.sweep);
}

void Tdelay2Dmain::acceptedRunFinished() {
    sweep_.finishAccepted(accepted_.sweep);
    sweep_.showParameter(workspace());
}

void Tdelay2Dmain::recomputeStarting() {
    sweep_.followAcceptedValue(workspace());
}

void Tdelay2Dmain::SettingsClick() {
    // The dialog shows the delay in steps of the last run.
    settings_.varp2->setValue(static_cast<int>(std::clamp<long long>(
        lastDelaySteps_, settings_.varp2->minimum(), settings_.varp2->maximum())));
    PlotWindow::SettingsClick();
}

void Tdelay2Dmain::SaveDataAs1Click() {
    saveSeries("Indicate File to Save Data", *plotted_);
}

void Tdelay2Dmain::ScrollBar1Change() {
    // A move while this window's run goes on stops that run; the run for the slider's latest
    // position follows as soon as it has ended, so a drag stays smooth and the last position wins.
    if (running()) {
        slideWaiting_ = true;
        host().stopRun();
        return;
    }
    do {
        slideWaiting_ = false;
        // Settings that cannot run leave the parameter, the slider and the picture as they were.
        if (!acceptedRunnable()) {
            ScrollBar1->returnToSettled();
            return;
        }
        ScrollBar1->settle();
        rerunAccepted([this] { sweep_.followSlider(); },
                      [this] { sweep_.showParameter(workspace()); });
    } while (slideWaiting_);
}

void Tdelay2Dmain::resultClosed() {
    settings_.resetOnResultClose();
}

}  // namespace kalvora
