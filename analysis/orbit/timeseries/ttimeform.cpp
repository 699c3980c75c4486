#include "analysis/orbit/timeseries/ttimeform.h"

#include <QCloseEvent>
#include <QMenuBar>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/window/export/output_commands.h"
#include "core/noise.h"
#include "core/numbers.h"

namespace kalvora {

Ttimeform::Ttimeform(AnalysisHost& host, Ttimeform2& settings)
    : SlotPlotWindow(host, QStringLiteral("Ttimeform"), QStringLiteral("Timeseries Plot"),
                     QSize(566, 310), {100, 100, 50}),
      settings_(settings) {
    // Time labels are wide: this window's readout frame differs from the other windows'.
    setReadoutOffsets(kTimeSeriesReadoutOffsets);

    attachSettings(settings_, kAnalysisTag, [this] { okbuttonClick(); });
    menuBar()->addMenu(MultiPlot1);
    offerSlotOutput(EpsLayout::Lines, [this] {
        return std::pair<std::string, std::string>("time",
                                                   settings_.vartijd->currentText().toStdString());
    });
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
        // Refused before the slot is marked or its series emptied: the last run stays in view.
        checkRunnable();
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

void Ttimeform::startRunIntoSlot() {
    SettingsClick();
}

void Ttimeform::recomputeAfterAccept() {
    if (!isVisible()) {
        return;
    }
    guarded([this] {
        checkRunnable();
        update();
        if (run()) {
            markCurrentSlotFilled();
            Plot(*data, workspace().errorFlag);
        }
    });
}

void Ttimeform::checkRunnable() const {
    PlanTimeSeries(workspace(), settings_.settings());
}

bool Ttimeform::run() {
    ModelWorkspace& ws = workspace();
    Tsp_XYLine& series = *data;
    const TimeSeriesSettings settings = settings_.settings();
    const TimeSeriesPlan plan = PlanTimeSeries(ws, settings);
    PlotIni(settings_.CheckBox1->isChecked(), settings_.ConnPoints->isChecked(), series);
    const double start = static_cast<double>(plan.start);
    const double end = static_cast<double>(plan.end);
    const ManualScaling manual = applyManualScaling(settings_.scaling, {start, end});
    if (manual == ManualScaling::Refused) {
        return false;
    }
    if (manual == ManualScaling::Off) {
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
