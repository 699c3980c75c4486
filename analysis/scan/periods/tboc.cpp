#include "analysis/scan/periods/tboc.h"

#include "core/noise.h"

namespace kalvora {

TBoC::TBoC(AnalysisHost& host, TPerCycles& settings, std::function<void()> scanned)
    : ScanWindowFlow(host, QStringLiteral("TBoC"),
                     QStringLiteral("Parameter Basins for Periodic Cycles"),
                     {QStringLiteral("Save As..."), QStringLiteral("Print..."),
                      QStringLiteral("Close"), QStringLiteral("Parameters")},
                     settings),
      scanned_(std::move(scanned)) {
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });
    connect(Parameters1, &QAction::triggered, this, [this] { ParametersClick(kAnalysisTag); });
    connect(Settings1, &QAction::triggered, this, [this] { SettingsClick(); });
}

void TBoC::check(const PeriodSettings& settings) const {
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
            ws.model().parameterNames[static_cast<std::size_t>(settings.verticalParameter)]));
}

void TBoC::SaveDataAs1Click() {
    std::vector<std::pair<int, RgbColour>> classes;
    for (int q = 1; q <= scanCycles_; ++q) {
        classes.emplace_back(q, CycleColour(scanColours_, q));
    }
    saveClassFiles(classes);
}

void TBoC::SettingsClick() {
    setEnabled(false);
    settings_.show();
    settings_.raise();
}

}  // namespace kalvora
