#include "analysis/orbit/delayplot/tdelay2dmain.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <algorithm>

#include "analysis/orbit/timeseries/orbit_counts.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora {

Tdelay2Dmain::Tdelay2Dmain(AnalysisHost& host, Tdelay2dsettings& settings)
    : PlotWindow(host, QStringLiteral("Tdelay2Dmain"), QStringLiteral("2-Dimensional Delay Plot"),
                 QSize(481, 432), {100, 100, 30, 40}),
      settings_(settings),
      plotted_(std::make_unique<Tsp_XYLine>()),
      spare_(std::make_unique<Tsp_XYLine>()) {
    StyleNewSeries(*plotted_, clBlue);
    StyleNewSeries(*spare_, clBlue);
    data = plotted_.get();
    label1->setFrameShape(QFrame::Box);

    Parameters1 = new QAction(QStringLiteral("&Parameters..."), this);
    Parameters1->setObjectName("Parameters1");
    Settings1 = new QAction(QStringLiteral("&Settings..."), this);
    Settings1->setObjectName("Settings1");
    connect(Parameters1, &QAction::triggered, this, [this] { ParametersClick(); });
    connect(Settings1, &QAction::triggered, this, [this] { SettingsClick(); });
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName("File1");
    file->addAction(SaveDataAs1);
    file->addSeparator();
    file->addAction(Close1);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName("Edit1");
    edit->addAction(Parameters1);
    edit->addAction(Settings1);

    PopupMenu1->addAction(Parameters1);
    PopupMenu1->addAction(Settings1);
    PopupMenu1->addMenu(createEditGraphMenu(PopupMenu1));

    ScrollBar1 = new ParameterSlider(StatusBar1);
    StatusBar1->addWidget(ScrollBar1, 1);
    ScrollBar1->onUserMove = [this] { ScrollBar1Change(); };

    connect(&settings_, &Tdelay2dsettings::okClicked, this, [this] { okbuttonClick(); });
    connect(&settings_, &Tdelay2dsettings::cancelled, this, [this] { settingsCancelled(); });
}

void Tdelay2Dmain::showParameter() {
    setPanelText(2, settings_.varying.par->currentText());
    setPanelText(3,
                 QString::fromStdString(FormatGeneral(settings_.varying.value(workspace()), 15)));
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
        // Bad bounds or step count are reported with the dialog still open and nothing changed.
        const VaryingParameterGroup::Sweep sweep = settings_.varying.sweep();
        setEnabled(true);
        settings_.hide();
        settings_.varying.store(workspace(), sweep.minimum);
        if (!run()) {
            return;
        }
        Plot(*data, ws.errorFlag);
        ScrollBar1->setParameterRange(static_cast<double>(sweep.minimum),
                                      static_cast<double>(sweep.maximum));
        // Only the first run of the new settings is computed: putting the slider back to its
        // start is not a move of the user's.
        ScrollBar1->moveWithoutRun(0);
        settings_.varying.store(workspace(), ScrollBar1->currentParameter());
        showParameter();
    });
}

void Tdelay2Dmain::settingsCancelled() {
    setEnabled(true);
}

void Tdelay2Dmain::SettingsClick() {
    settings_.show();
    settings_.raise();
    settings_.varp2->setValue(static_cast<int>(std::clamp<long long>(
        lastDelaySteps_, settings_.varp2->minimum(), settings_.varp2->maximum())));
    setEnabled(false);
}

void Tdelay2Dmain::ParametersClick() {
    host().showParameterWindow(kAnalysisTag);
}

void Tdelay2Dmain::SaveDataAs1Click() {
    saveSeries("Indicate File to Save Data", *plotted_);
}

void Tdelay2Dmain::ScrollBar1Change() {
    guarded([this] {
        settings_.varying.store(workspace(), ScrollBar1->currentParameter());
        if (!run()) {
            return;
        }
        Plot(*data, workspace().errorFlag);
        showParameter();
    });
}

void Tdelay2Dmain::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        update();
        const Extended value = settings_.varying.value(workspace());
        setPanelText(3, QString::fromStdString(FormatGeneral(value, 15)));
        ScrollBar1->widenTo(value);
        ScrollBar1->showValue(value);
        if (run()) {
            Plot(*data, workspace().errorFlag);
        }
    });
}

bool Tdelay2Dmain::run() {
    ModelWorkspace& ws = workspace();
    Tsp_XYLine& series = *data;
    ScrollBar1->setLargestPosition(settings_.varying.steps());
    PlotIni(settings_.PlotBoxes->isChecked(), settings_.ConnectPoints->isChecked(), series);
    const DelayPlotSettings settings = settings_.settings();
    const DelayPlotPlan plan = PlanDelayPlot(ws, settings);
    if (settings_.scaling.manual()) {
        const std::optional<ScalingGroup::Limits> limits = settings_.scaling.read();
        if (!limits) {
            host().prompts().error("Enter numerical values for manual scaling");
            settings_.show();
            setEnabled(false);
            return false;
        }
        Manualscal(limits->yMinimum, limits->yMaximum, limits->xMinimum, limits->xMaximum);
    } else {
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
