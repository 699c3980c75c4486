#include "analysis/orbit/timeseries/ttimeform.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "analysis/orbit/timeseries/orbit_counts.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora {

namespace {

constexpr int kTimeSeriesTag = 1;

}  // namespace

Ttimeform::Ttimeform(AnalysisHost& host, Ttimeform2& settings)
    : SlotPlotWindow(host, QStringLiteral("Ttimeform"), QStringLiteral("Timeseries Plot"),
                     QSize(566, 310), {100, 100, 50}),
      settings_(settings) {
    // Time labels are wide: this window's readout frame differs from the other windows'.
    setReadoutOffsets(kTimeSeriesReadoutOffsets);

    Parameters1 = new QAction(QStringLiteral("&Parameters..."), this);
    Parameters1->setObjectName("Parameters1");
    Settings1 = new QAction(QStringLiteral("&Settings..."), this);
    Settings1->setObjectName("Settings1");
    connect(Parameters1, &QAction::triggered, this, [this] { ParametersClick(); });
    connect(Settings1, &QAction::triggered, this, [this] { SettingsClick(); });

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

    PopupMenu1->addAction(Parameters1);
    PopupMenu1->addAction(Settings1);
    PopupMenu1->addMenu(createEditGraphMenu(PopupMenu1));

    connect(&settings_, &Ttimeform2::okClicked, this, [this] { okbuttonClick(); });
    connect(&settings_, &Ttimeform2::cancelled, this, [this] { settingsCancelled(); });
}

void Ttimeform::open() {
    resetSlots();
    settings_.fillVariables();
    settings_.show();
    settings_.raise();
}

void Ttimeform::okbuttonClick() {
    guarded([this] {
        ModelWorkspace& ws = workspace();
        if (!ws.discrete) {
            const Extended start = ParseFloat(settings_.timeEdit1->text().toStdString());
            const Extended end = ParseFloat(settings_.timeedit2->text().toStdString());
            if (!ContinuousIntervalValid(start, end, ws.stepSize)) {
                return;
            }
        }
        ReseedIfFixed(ws);
        setEnabled(true);
        settings_.hide();
        markCurrentSlotFilled();
        if (run()) {
            Plot(*data, ws.errorFlag);
            show();
        }
    });
}

void Ttimeform::settingsCancelled() {
    setEnabled(true);
}

void Ttimeform::SettingsClick() {
    settings_.show();
    settings_.raise();
    setEnabled(false);
}

void Ttimeform::ParametersClick() {
    host().showParameterWindow(kTimeSeriesTag);
}

void Ttimeform::startRunIntoSlot() {
    SettingsClick();
}

void Ttimeform::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        update();
        if (run()) {
            markCurrentSlotFilled();
            Plot(*data, workspace().errorFlag);
        }
    });
}

bool Ttimeform::run() {
    ModelWorkspace& ws = workspace();
    Tsp_XYLine& series = *data;
    PlotIni(settings_.CheckBox1->isChecked(), settings_.ConnPoints->isChecked(), series);
    const TimeSeriesSettings settings = settings_.settings();
    const TimeSeriesPlan plan = PlanTimeSeries(ws, settings);
    const double start = static_cast<double>(plan.start);
    const double end = static_cast<double>(plan.end);
    if (settings_.scaling.manual()) {
        const std::optional<ScalingGroup::Limits> limits = settings_.scaling.read();
        if (!limits) {
            host().prompts().error("Enter numerical values for manual scaling");
            settings_.show();
            setEnabled(false);
            return false;
        }
        Manualscal(limits->yMinimum, limits->yMaximum, start, end);
    } else {
        // Time is always shown exactly over the requested interval; the values follow the data.
        graph->LeftAxis().SetAutoMin(true);
        graph->LeftAxis().SetAutoMax(true);
        graph->BottomAxis().SetAutoMin(false);
        graph->BottomAxis().SetAutoMax(false);
        graph->BottomAxis().SetRange(start, end);
    }
    series.Reserve(static_cast<std::size_t>(plan.pointsPlotted + 1));
    TimeSeriesRun(ws, settings, series);
    return true;
}

void Ttimeform::closeEvent(QCloseEvent* event) {
    SlotPlotWindow::closeEvent(event);
    settings_.resetOnResultClose();
    host().enableAllWindows();
}

}  // namespace kalvora
