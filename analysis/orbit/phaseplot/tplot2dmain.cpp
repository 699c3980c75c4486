#include "analysis/orbit/phaseplot/tplot2dmain.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "analysis/orbit/timeseries/orbit_counts.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora {

Tplot2Dmain::Tplot2Dmain(AnalysisHost& host, Tform2dsettings& settings)
    : SlotPlotWindow(host, QStringLiteral("Tplot2Dmain"), QStringLiteral("Phase Plot"),
                     QSize(481, 432), {100, 100, 30, 40}),
      settings_(settings) {
    // Slider moves repaint many points; painting straight to the screen saves a buffer copy.
    graph->SetBufferedDisplay(false);

    Parameters1 = new QAction(QStringLiteral("&Parameters..."), this);
    Parameters1->setObjectName("Parameters1");
    Settings1 = new QAction(QStringLiteral("&Settings..."), this);
    Settings1->setObjectName("Settings1");
    NextIterationSet1 = new QAction(QStringLiteral("&Next Iteration Set"), this);
    NextIterationSet1->setObjectName("NextIterationSet1");
    connect(Parameters1, &QAction::triggered, this, [this] { ParametersClick(); });
    connect(Settings1, &QAction::triggered, this, [this] { SettingsClick(); });
    connect(NextIterationSet1, &QAction::triggered, this, [this] { NextIterationSetClick(); });

    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName("File1");
    file->addAction(SaveDataAs1);
    file->addSeparator();
    file->addAction(Close1);
    QMenu* edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName("Edit1");
    edit->addAction(Parameters1);
    edit->addAction(Settings1);
    menuBar()->addMenu(MultiPlot1);
    menuBar()->addAction(NextIterationSet1);

    PopupMenu1->addAction(Parameters1);
    PopupMenu1->addAction(Settings1);
    PopupMenu1->addMenu(createEditGraphMenu(PopupMenu1));

    // The slider shares the status bar's row, right of the readout and parameter panels.
    ScrollBar1 = new ParameterSlider(StatusBar1);
    StatusBar1->addWidget(ScrollBar1, 1);
    ScrollBar1->onUserMove = [this] { ScrollBar1Change(); };

    connect(&settings_, &Tform2dsettings::okClicked, this, [this] { okbuttonClick(); });
    connect(&settings_, &Tform2dsettings::cancelled, this, [this] { settingsCancelled(); });
}

void Tplot2Dmain::showParameter() {
    setPanelText(2, settings_.varying.par->currentText());
    setPanelText(3,
                 QString::fromStdString(FormatGeneral(settings_.varying.value(workspace()), 15)));
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
        // Bad bounds or step count are reported with the dialog still open and nothing changed.
        const VaryingParameterGroup::Sweep sweep = settings_.varying.sweep();
        setEnabled(true);
        settings_.hide();
        markCurrentSlotFilled();
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
        continuation_ = false;
    });
}

void Tplot2Dmain::settingsCancelled() {
    setEnabled(true);
}

void Tplot2Dmain::SettingsClick() {
    settings_.show();
    settings_.raise();
    setEnabled(false);
}

void Tplot2Dmain::ParametersClick() {
    host().showParameterWindow(kAnalysisTag);
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
        continuation_ = true;
        run();
    });
}

void Tplot2Dmain::ScrollBar1Change() {
    guarded([this] {
        settings_.varying.store(workspace(), ScrollBar1->currentParameter());
        if (!run()) {
            return;
        }
        Plot(*data, workspace().errorFlag);
        showParameter();
        continuation_ = false;
    });
}

void Tplot2Dmain::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        update();
        const Extended value = settings_.varying.value(workspace());
        setPanelText(3, QString::fromStdString(FormatGeneral(value, 15)));
        ScrollBar1->widenTo(value);
        ScrollBar1->showValue(value);
        markCurrentSlotFilled();
        const bool completed = run();
        continuation_ = false;
        if (completed) {
            Plot(*data, workspace().errorFlag);
        }
    });
}

bool Tplot2Dmain::run() {
    ModelWorkspace& ws = workspace();
    Tsp_XYLine& series = *data;
    ScrollBar1->setLargestPosition(settings_.varying.steps());
    const PhasePlotSettings settings = continuation_ ? PhasePlotSettings{} : settings_.settings();
    if (!continuation_) {
        PlotIni(settings_.plotboxes->isChecked(), settings_.connect->isChecked(), series);
        // Refuse settings that cannot run before anything is scaled; the kept orbit changes only
        // when the run really starts.
        PhasePlotOrbit planned = orbit_;
        PlanPhasePlot(ws, settings, planned);
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

void Tplot2Dmain::closeEvent(QCloseEvent* event) {
    SlotPlotWindow::closeEvent(event);
    settings_.scaling.resetOnClose();
    host().setAnalysisTag(0);
    host().enableAllWindows();
}

}  // namespace kalvora
