#include "analysis/orbit/delayplot/tdelay2dmain.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <algorithm>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/window/export/output_commands.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora {

Tdelay2Dmain::Tdelay2Dmain(AnalysisHost& host, Tdelay2dsettings& settings)
    : PlotWindow(host, QStringLiteral("Tdelay2Dmain"), QStringLiteral("2-Dimensional Delay Plot"),
                 QSize(481, 432), {100, 100, 30, 40}),
      settings_(settings),
      plotted_(std::make_unique<Tsp_XYLine>()),
      spare_(std::make_unique<Tsp_XYLine>()),
      sweep_(*this, settings.varying, [this] { ScrollBar1Change(); }) {
    StyleNewSeries(*plotted_, clBlue);
    StyleNewSeries(*spare_, clBlue);
    data = plotted_.get();
    label1->setFrameShape(QFrame::Box);

    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });
    attachSettings(settings_, kAnalysisTag, [this] { okbuttonClick(); });
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
    settings_.show();
    settings_.raise();
}

void Tdelay2Dmain::okbuttonClick() {
    guarded([this] {
        ModelWorkspace& ws = workspace();
        ReseedIfFixed(ws);
        if (!ws.discrete) {
            const Extended start = ParseFloat(settings_.timeedit1->text().toStdString());
            const Extended end = ParseFloat(settings_.timeedit2->text().toStdString());
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
        sweep_.startAccepted(ws, sweep);
        if (!run()) {
            return;
        }
        Plot(*data, ws.errorFlag);
        sweep_.finishAccepted(ws, sweep);
    });
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
    });
}

void Tdelay2Dmain::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        checkRunnable();
        update();
        sweep_.followAcceptedValue(workspace());
        if (run()) {
            Plot(*data, workspace().errorFlag);
        }
    });
}

void Tdelay2Dmain::checkRunnable() const {
    settings_.varying.checkedSteps();
    PlanDelayPlot(workspace(), settings_.settings());
}

bool Tdelay2Dmain::run() {
    ModelWorkspace& ws = workspace();
    Tsp_XYLine& series = *data;
    sweep_.prepareRun();
    const DelayPlotSettings settings = settings_.settings();
    const DelayPlotPlan plan = PlanDelayPlot(ws, settings);
    PlotIni(settings_.PlotBoxes->isChecked(), settings_.ConnectPoints->isChecked(), series);
    const ManualScaling manual = applyManualScaling(settings_.scaling);
    if (manual == ManualScaling::Refused) {
        return false;
    }
    if (manual == ManualScaling::Off) {
        NotManualscal();
    }
    series.Reserve(static_cast<std::size_t>(plan.pointsPlotted));
    lastDelaySteps_ = DelayPlotRun(ws, settings, series).plan.delaySteps;
    return true;
}

void Tdelay2Dmain::closeEvent(QCloseEvent* event) {
    PlotWindow::closeEvent(event);
    settings_.resetOnResultClose();
    host().enableAllWindows();
}

}  // namespace kalvora
