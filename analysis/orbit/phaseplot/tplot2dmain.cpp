#include "analysis/orbit/phaseplot/tplot2dmain.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <tuple>

#include "analysis/orbit/common/orbit_counts.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora {

Tplot2Dmain::Tplot2Dmain(AnalysisHost& host, Tform2dsettings& settings)
    : SlotPlotWindow(host, QStringLiteral("Tplot2Dmain"), QStringLiteral("Phase Plot"),
                     QSize(481, 432), {100, 100, 30, 40}),
      settings_(settings),
      sweep_(*this, settings.varying, [this] { ScrollBar1Change(); }) {
    // Slider moves repaint many points; painting straight to the screen saves a buffer copy.
    graph->SetBufferedDisplay(false);

    NextIterationSet1 = new QAction(QStringLiteral("&Next Iteration Set"), this);
    NextIterationSet1->setObjectName("NextIterationSet1");
    connect(NextIterationSet1, &QAction::triggered, this, [this] { NextIterationSetClick(); });

    attachSettings(settings_, kAnalysisTag, [this] { okbuttonClick(); });
    menuBar()->addMenu(MultiPlot1);
    menuBar()->addAction(NextIterationSet1);

    ScrollBar1 = sweep_.slider;
}

void Tplot2Dmain::open() {
    resetSlots();
    settings_.fill();
    settings_.show();
    settings_.raise();
}

void Tplot2Dmain::okbuttonClick() {
    guarded([this] {
        ModelWorkspace& ws = workspace();
        ReseedIfFixed(ws);
        if (!ws.discrete) {
            const Extended end = ParseFloat(settings_.timeedit2->text().toStdString());
            const Extended start = ParseFloat(settings_.timeedit1->text().toStdString());
            if (!ContinuousIntervalValid(start, end, ws.stepSize)) {
                settings_.timeedit1->setText(QStringLiteral("0"));
                settings_.timeedit2->setText(QStringLiteral("50"));
                return;
            }
        }
        // Bad bounds, step count or run settings are reported with the dialog still open and
        // nothing changed.
        const VaryingParameterGroup::Sweep sweep = settings_.varying.sweep();
        checkRunnable();
        setEnabled(true);
        settings_.hide();
        markCurrentSlotFilled();
        sweep_.startAccepted(ws, sweep);
        if (!run()) {
            return;
        }
        Plot(*data, ws.errorFlag);
        sweep_.finishAccepted(ws, sweep);
        continuation_ = false;
    });
}

void Tplot2Dmain::startRunIntoSlot() {
    ParametersClick();
}

void Tplot2Dmain::slotRemoved() {
    if (!settings_.scaling.manual()) {
        NotManualscal();
    }
}

void Tplot2Dmain::NextIterationSetClick() {
    guarded([this] {
        // A refused continuation must not leave the flag on for the next run.
        settings_.varying.checkedSteps();
        continuation_ = true;
        run();
        // No Plot follows a continuation, yet a step that failed in it must not pass unseen.
        showOverflowLabel(workspace().errorFlag);
    });
}

void Tplot2Dmain::ScrollBar1Change() {
    // Settings that cannot run leave the parameter, the slider and the picture as they were.
    if (!guarded([this] { checkRunnable(); })) {
        ScrollBar1->returnToSettled();
        return;
    }
    ScrollBar1->settle();
    guarded([this] {
        sweep_.followSlider(workspace());
        if (!run()) {
            return;
        }
        Plot(*data, workspace().errorFlag);
        sweep_.showParameter(workspace());
        continuation_ = false;
    });
}

void Tplot2Dmain::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        checkRunnable();
        update();
        sweep_.followAcceptedValue(workspace());
        markCurrentSlotFilled();
        const bool completed = run();
        continuation_ = false;
        if (completed) {
            Plot(*data, workspace().errorFlag);
        }
    });
}

void Tplot2Dmain::checkRunnable() const {
    settings_.varying.checkedSteps();
    if (!continuation_) {
        PhasePlotOrbit planned;
        PlanPhasePlot(workspace(), runSettings(), planned);
    }
}

bool Tplot2Dmain::run() {
    ModelWorkspace& ws = workspace();
    Tsp_XYLine& series = *data;
    sweep_.prepareRun();
    const PhasePlotSettings settings = continuation_ ? PhasePlotSettings{} : runSettings();
    if (!continuation_) {
        // Refuse settings that cannot run before the series is emptied; the kept orbit changes
        // only when the run really starts.
        PhasePlotOrbit planned = orbit_;
        PlanPhasePlot(ws, settings, planned);
        PlotIni(settings_.plotboxes->isChecked(), settings_.connect->isChecked(), series);
        const ManualScaling manual = applyManualScaling(settings_.scaling);
        if (manual == ManualScaling::Refused) {
            return false;
        }
        if (manual == ManualScaling::Off) {
            NotManualscal();
        }
        series.Reserve(static_cast<std::size_t>(planned.pointsPlotted));
    } else {
        // The series is on screen: lock it so that it is rescaled and repainted once at the end.
        series.SetDrawLocked(true);
        series.Reserve(static_cast<std::size_t>(series.Count() + orbit_.pointsPlotted));
    }
    const PhasePlotOutcome outcome = PhasePlotRun(ws, settings, orbit_, continuation_, series);
    if (!continuation_ && !settings_.scaling.manual()) {
        FrameSettledOrbit(*graph, series, outcome.xSettled, outcome.ySettled);
    }
    series.SetDrawLocked(false);
    return true;
}

void Tplot2Dmain::startCycleCapture(int transient, CycleCapture capture) {
    settings_.SpinEdit1->setValue(100);
    settings_.SpinEdit2->setValue(transient);
    settings_.plotboxes->setChecked(true);
    capture_ = std::move(capture);
    host().showParameterWindow(kCycleCaptureTag);
}

void Tplot2Dmain::recomputeCycleCapture() {
    if (!capture_) {
        return;
    }
    // The capture's variables hold for this run only; the window's own runs keep varp1 and varp2.
    struct CaptureRun {
        bool& capturing;
        ~CaptureRun() { capturing = false; }
    } captureRun{capturing_ = true};
    guarded([this] {
        checkRunnable();
        setEnabled(true);
        markCurrentSlotFilled();
        const bool completed = run();
        continuation_ = false;
        if (!completed) {
            return;
        }
        Plot(*data, workspace().errorFlag);
        raise();
        activateWindow();
        capture_->captured(orbit_.state);
    });
}

PhasePlotSettings Tplot2Dmain::runSettings() const {
    PhasePlotSettings settings = settings_.settings();
    if (capturing_) {
        std::tie(settings.xVariable, settings.yVariable) = capture_->variables();
    }
    return settings;
}

void Tplot2Dmain::SettingsClick() {
    if (capture_) {
        settings_.fill();
    }
    SlotPlotWindow::SettingsClick();
}

void Tplot2Dmain::closeEvent(QCloseEvent* event) {
    capture_.reset();
    SlotPlotWindow::closeEvent(event);
    settings_.resetOnResultClose();
    host().setAnalysisTag(0);
    host().enableAllWindows();
}

}  // namespace kalvora
