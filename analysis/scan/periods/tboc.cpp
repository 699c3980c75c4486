#include "analysis/scan/periods/tboc.h"

namespace kalvora {

TBoC::TBoC(AnalysisHost& host, TPerCycles& settings, std::function<void()> scanned)
    : ScanAnalysisWindow(host, settings, AnalysisTag::CycleBasins, QStringLiteral("TBoC"),
                         QStringLiteral("Parameter Basins for Periodic Cycles"),
                         {QStringLiteral("Save As..."), QStringLiteral("Print..."),
                          QStringLiteral("Close"), QStringLiteral("Parameters")}),
      scanned_(std::move(scanned)) {
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });
}

void TBoC::validate(const PeriodSettings& settings) const {
    CheckPeriodSettings(workspace().model().parameterCount, settings);
}

void TBoC::scanAndShow(const PeriodSettings& settings) {
    ModelWorkspace& ws = workspace();
    // The scan sets the two parameters on its own evaluators only: the model keeps its values
    // throughout, also when the scan is stopped.
    const std::optional<ScanOutcome> outcome =
        runScan(settings_.requestedThreads(), settings.domain, &settings_,
                [&](ScanModels& models, RunControl& control) {
                    return PeriodScan(models, settings, control);
                });
    if (!outcome) {
        return;
    }
    if (scanned_) {
        scanned_();
    }
    scanColours_ = settings.colours;
    scanCycles_ = static_cast<int>(settings.periods.size());
    showResult(
        outcome->raster, settings.domain,
        QString::fromStdString(
            ws.model().parameterNames[static_cast<std::size_t>(settings.horizontalParameter)]),
        QString::fromStdString(
            ws.model().parameterNames[static_cast<std::size_t>(settings.verticalParameter)]),
        PeriodLegend(settings.colours, settings.periods));
}

void TBoC::SaveDataAs1Click() {
    std::vector<std::pair<int, RgbColour>> classes;
    for (int q = 1; q <= scanCycles_; ++q) {
        classes.emplace_back(q, CycleColour(scanColours_, q));
    }
    saveClassFiles(classes);
}

}  // namespace kalvora
