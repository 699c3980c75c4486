#include "analysis/orbit/poincare/poincare_window.h"

#include <QMenuBar>
#include <string>
#include <utility>
#include <vector>

#include "analysis/window/export/output_commands.h"

namespace kalvora {

PoincareWindow::PoincareWindow(AnalysisHost& host, PoincareSettingsDialog& settings)
    : AnalysisWindow(host, settings, AnalysisTag::Poincare, QStringLiteral("PoincareWindow"),
                     QStringLiteral("Poincar\u00e9 Section"), QSize(481, 432),
                     QList<int>{100, 100, 50}),
      settings_(settings) {
    menuBar()->addMenu(MultiPlot1);
    offerSlotOutput(EpsLayout::Points, [this] {
        return std::pair<std::string, std::string>(settings_.xList->currentText().toStdString(),
                                                   settings_.yList->currentText().toStdString());
    });
}

void PoincareWindow::open() {
    resetSlots();
    settings_.fill();
    takeDialogAsAccepted();
    settings_.show();
    settings_.raise();
    // The section is what one comes to change.
    settings_.sectionEdit->setFocus();
    settings_.sectionEdit->selectAll();
}

void PoincareWindow::startRunIntoSlot() {
    ParametersClick();
}

PoincareWindowSettings PoincareWindow::readDialog() const {
    PoincareWindowSettings settings;
    settings.run = settings_.settings();
    settings.xVariable = settings_.xList->currentIndex() + 1;
    settings.yVariable = settings_.yList->currentIndex() + 1;
    settings.manualScaling = settings_.scaling.acceptedLimits();
    return settings;
}

void PoincareWindow::validate(const PoincareWindowSettings& settings) const {
    if (workspace().model().discrete) {
        throw PoincareSettingsError("A Poincar\u00e9 section needs a continuous model");
    }
    if (settings.run.skipTime < 0) {
        throw PoincareSettingsError("The skip time must not be negative");
    }
}

bool PoincareWindow::prepareSeries(const PoincareWindowSettings& settings) {
    Tsp_XYLine& series = *data;
    PlotIni(false, false, series);
    // Crossings are separate points, never a curve, though the model is continuous.
    StyleRunSeries(series, false, false);
    if (!applyManualLimits(settings.manualScaling)) {
        NotManualscal();
    }
    series.Reserve(static_cast<std::size_t>(settings.run.crossings));
    return true;
}

bool PoincareWindow::compute(const PoincareWindowSettings& settings) {
    Tsp_XYLine& series = *data;
    const int x = settings.xVariable - 1;
    const int y = settings.yVariable - 1;
    std::vector<std::pair<double, double>> points;
    const ModelRunOutcome ran = runModel([&](ModelEvaluator& model, RunControl& control) {
        PoincareRun(model, settings.run, control, [&](const PoincareCrossing& crossing) {
            points.emplace_back(static_cast<double>(crossing.state[x]),
                                static_cast<double>(crossing.state[y]));
        });
    });
    for (const auto& [px, py] : points) {
        series.AddPoint(px, py);
    }
    series.SetDrawLocked(false);
    raise();
    return ran.failed;
}

void PoincareWindow::acceptedRunStarting() {
    markCurrentSlotFilled();
}

void PoincareWindow::recomputeFinished() {
    markCurrentSlotFilled();
}

}  // namespace kalvora
