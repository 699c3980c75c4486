#include "analysis/scan/basins/tboa.h"

namespace kalvora {

TBoA::TBoA(AnalysisHost& host, TBasins& settings)
    : ScanAnalysisWindow(host, settings, AnalysisTag::Basins, QStringLiteral("TBoA"),
                         QStringLiteral("Basin of Attraction"),
                         {QStringLiteral("&Save As..."), QStringLiteral("&Print..."),
                          QStringLiteral("&Close"), QStringLiteral("Parameters...")}) {
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });
}

void TBoA::validate(const BasinSettings& settings) const {
    CheckBasinSettings(workspace().model().variableCount, settings);
}

void TBoA::scanAndShow(const BasinSettings& settings) {
    ModelWorkspace& ws = workspace();
    const std::optional<ScanOutcome> outcome =
        runScan(settings_.requestedThreads(), settings.domain, &settings_,
                [&](ScanModels& models, RunControl& control) {
                    return BasinScan(models, settings, control);
                });
    if (!outcome) {
        return;
    }
    scanColours_ = settings.colours;
    scanCycles_ = static_cast<int>(settings.cycles.size());
    showResult(outcome->raster, settings.domain,
               QString::fromStdString(
                   ws.model().variableNames[static_cast<std::size_t>(settings.horizontalVariable)]),
               QString::fromStdString(
                   ws.model().variableNames[static_cast<std::size_t>(settings.verticalVariable)]),
               BasinLegend(settings.colours, scanCycles_));
}

void TBoA::SaveDataAs1Click() {
    // The divergent points first, then one file per cycle of the last scan, selected by the
    // colours that scan painted with.
    std::vector<std::pair<int, RgbColour>> classes{{0, DivergenceColour(scanColours_)}};
    for (int q = 1; q <= scanCycles_; ++q) {
        classes.emplace_back(q, CycleColour(scanColours_, q));
    }
    saveClassFiles(classes);
}

}  // namespace kalvora
