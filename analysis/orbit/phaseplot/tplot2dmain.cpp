#include "analysis/orbit/phaseplot/tplot2dmain.h"

#include <QMenuBar>
#include <tuple>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/window/export/output_commands.h"

namespace kalvora {

Tplot2Dmain::Tplot2Dmain(AnalysisHost& host, Tform2dsettings& settings)
    : AnalysisWindow(host, settings, AnalysisTag::PhasePlot, QStringLiteral("Tplot2Dmain"),
                     QStringLiteral("Phase Plot"), QSize(481, 432), QList<int>{100, 100, 30, 40}),
      settings_(settings),
      sweep_(*this, settings.varying, [this] { ScrollBar1Change(); }) {
    // Slider moves repaint many points; painting straight to the screen saves a buffer copy.
    graph->SetBufferedDisplay(false);

    NextIterationSet1 = new QAction(QStringLiteral("&Next Iteration Set"), this);
    NextIterationSet1->setObjectName("NextIterationSet1");
    connect(NextIterationSet1, &QAction::triggered, this, [this] { NextIterationSetClick(); });

    offerSlotOutput(EpsLayout::Points, [this] {
        return std::pair<std::string, std::string>(settings_.varp1->currentText().toStdString(),
                                                   settings_.varp2->currentText().toStdString());
    });
    menuBar()->addMenu(MultiPlot1);
    menuBar()->addAction(NextIterationSet1);

    ScrollBar1 = sweep_.slider;
}

void Tplot2Dmain::open() {
    resetSlots();
    settings_.fill();
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
}

PhasePlotWindowSettings Tplot2Dmain::readDialog() const {
    PhasePlotWindowSettings settings;
    settings.run = settings_.settings();
    CheckContinuousInterval(workspace().model(), settings.run.startTime, settings.run.endTime);
    // Bad bounds or a bad step count are reported with the dialog still open.
    settings.sweep = settings_.varying.sweep();
    settings.plotSquares = settings_.plotboxes->isChecked();
    settings.connectPoints = settings_.connect->isChecked();
    settings.manualScaling = settings_.scaling.acceptedLimits();
    return settings;
}

void Tplot2Dmain::validate(const PhasePlotWindowSettings& settings) const {
    if (!continuing()) {
        PhasePlotOrbit planned;
        PlanPhasePlot(workspace().model(), runSettings(settings), planned);
    }
}

bool Tplot2Dmain::prepareSeries(const PhasePlotWindowSettings& settings) {
    Tsp_XYLine& series = *data;
    sweep_.prepareRun(settings.sweep.steps);
    if (continuing()) {
        // The series is on screen: lock it so that it is rescaled and repainted once at the end.
        series.SetDrawLocked(true);
        series.Reserve(static_cast<std::size_t>(series.Count() + orbit_.pointsPlotted));
        return true;
    }
    // Refuse settings that cannot run before the series is emptied; the kept orbit changes only
    // when the run really starts.
    PhasePlotOrbit planned = orbit_;
    PlanPhasePlot(workspace().model(), runSettings(settings), planned);
    PlotIni(settings.plotSquares, settings.connectPoints, series);
    if (!applyManualLimits(settings.manualScaling)) {
        NotManualscal();
    }
    series.Reserve(static_cast<std::size_t>(planned.pointsPlotted));
    return true;
}

bool Tplot2Dmain::compute(const PhasePlotWindowSettings& settings) {
    Tsp_XYLine& series = *data;
    const bool continuation = continuing();
    const PhasePlotSettings run = continuation ? PhasePlotSettings{} : runSettings(settings);
    PhasePlotOrbit orbit = orbit_;
    VectorPointSink points;
    PhasePlotOutcome outcome;
    const ModelRunOutcome ran = runModel([&](ModelEvaluator& model, RunControl&) {
        sweep_.applyTo(model);
        outcome = PhasePlotRun(model, run, orbit, continuation, points);
    });
    if (ran.ran) {
        orbit_ = orbit;
    }
    for (const VectorPointSink::Point& point : points.points) {
        series.AddPoint(point.x, point.y);
    }
    if (!continuation && !settings.manualScaling && !ran.stopped) {
        FrameSettledOrbit(*graph, series, outcome.xSettled, outcome.ySettled);
    }
    series.SetDrawLocked(false);
    return ran.failed;
}

void Tplot2Dmain::acceptedRunStarting() {
    markCurrentSlotFilled();
    sweep_.startAccepted(accepted_.sweep);
}

void Tplot2Dmain::acceptedRunFinished() {
    sweep_.finishAccepted(accepted_.sweep);
    sweep_.showParameter(workspace());
    continuation_ = false;
}

void Tplot2Dmain::recomputeStarting() {
    sweep_.followAcceptedValue(workspace());
    markCurrentSlotFilled();
}

void Tplot2Dmain::recomputeFinished() {
    continuation_ = false;
}

void Tplot2Dmain::startRunIntoSlot() {
    ParametersClick();
}

void Tplot2Dmain::slotRemoved() {
    if (!accepted_.manualScaling) {
        NotManualscal();
    }
}

void Tplot2Dmain::NextIterationSetClick() {
    // The kept orbit belongs to the model it was computed with; after another model (or new
    // values) was accepted, the orbit starts afresh from the model's own initial values.
    if (orbit_.definition != workspace().definition) {
        if (acceptedRunnable()) {
            rerunAccepted([] {}, [this] { continuation_ = false; });
        }
        return;
    }
    appendRun([this] {
        continuation_ = true;
        prepareSeries(accepted_);
        const bool failed = compute(accepted_);
        // No Plot follows a continuation, yet a step that failed in it must not pass unseen.
        showOverflowLabel(failed);
    });
}

void Tplot2Dmain::ScrollBar1Change() {
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
                      [this] {
                          sweep_.showParameter(workspace());
                          continuation_ = false;
                      });
    } while (slideWaiting_);
}

bool Tplot2Dmain::continuing() const {
    // The kept orbit belongs to the model it was computed with: after another model or new values
    // were accepted, a run starts from the model's own initial values.
    return continuation_ && orbit_.definition == workspace().definition;
}

PhasePlotSettings Tplot2Dmain::runSettings(const PhasePlotWindowSettings& settings) const {
    PhasePlotSettings run = settings.run;
    if (capturing_) {
        std::tie(run.xVariable, run.yVariable) = capture_->variables();
    }
    return run;
}

void Tplot2Dmain::startCycleCapture(int transient, CycleCapture capture) {
    settings_.SpinEdit1->setValue(100);
    settings_.SpinEdit2->setValue(transient);
    settings_.plotboxes->setChecked(true);
    // The capture runs from the accepted settings like every run; Cancel in the dialog returns
    // to these.
    accepted_.run.pointsPlotted = 100;
    accepted_.run.pointsNotPlotted = transient;
    accepted_.plotSquares = true;
    if (accepted_.sweep.steps < 1) {
        accepted_.sweep.steps = 100;  // the slider's default, before any OK
    }
    takeDialogAsAccepted();
    capture_ = std::move(capture);
    host().showParameterWindow(AnalysisTag::PhasePlotCycleCapture);
}

void Tplot2Dmain::recomputeCycleCapture() {
    if (!capture_ || running()) {
        return;
    }
    struct CaptureRun {
        bool& capturing;
        ~CaptureRun() { capturing = false; }
    } captureRun{capturing_ = true};
    continuation_ = false;
    const bool completed = rerunAccepted(
        [this] {
            validate(accepted_);
            setEnabled(true);
            markCurrentSlotFilled();
        },
        [this] { continuation_ = false; });
    if (completed) {
        raise();
        activateWindow();
        capture_->captured(orbit_.state);
    }
}

void Tplot2Dmain::SettingsClick() {
    if (capture_) {
        settings_.fill();
    }
    AnalysisWindow::SettingsClick();
}

void Tplot2Dmain::resultClosed() {
    capture_.reset();
    settings_.resetOnResultClose();
    host().setAnalysisTag(AnalysisTag::None);
}

}  // namespace kalvora
