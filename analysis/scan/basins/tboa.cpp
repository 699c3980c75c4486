#include "analysis/scan/basins/tboa.h"

#include "core/noise.h"

namespace kalvora {

TBoA::TBoA(AnalysisHost& host, TBasins& settings)
    : ScanResultWindow(host, QStringLiteral("TBoA"), QStringLiteral("Basin of Atraction"),
                       {QStringLiteral("&Save As..."), QStringLiteral("&Print..."),
                        QStringLiteral("&Close"), QStringLiteral("Parameters...")}),
      settings_(settings) {
    connect(&settings_, &SettingsDialog::okClicked, this, [this] { RunClick(); });
    connect(&settings_, &SettingsDialog::cancelled, this, [this] {
        settings_.restore(acceptedDialog_);
        if (hasResult()) {
            setEnabled(true);
        }
    });
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });
    connect(Parameters1, &QAction::triggered, this, [this] { ParametersClick(kAnalysisTag); });
    connect(Settings1, &QAction::triggered, this, [this] { SettingsClick(); });
}

void TBoA::open() {
    settings_.fill(imageAreaSize());
    acceptedDialog_ = settings_.snapshot();
    settings_.show();
    settings_.raise();
}

void TBoA::RunClick() {
    if (running()) {
        return;
    }
    guarded([this] {
        // Every cell is read, and every refusal reported, before the progress window shows.
        BasinSettings candidate = settings_.settings();
        CheckBasinSettings(workspace().variableCount, candidate);
        accepted_ = std::move(candidate);
        acceptedDialog_ = settings_.snapshot();
        ReseedIfFixed(workspace());
        if (scan(accepted_)) {
            settings_.hide();
            setEnabled(true);
            show();
            raise();
        }
    });
}

void TBoA::recomputeAfterAccept() {
    if (isVisible() && !running()) {
        scan(accepted_);
    }
}

bool TBoA::scan(const BasinSettings& settings) {
    return guarded([&] {
        ModelWorkspace& ws = workspace();
        // The model may have changed since Run.
        CheckBasinSettings(ws.variableCount, settings);
        ScanModels models = MakeScanModels(ws, settings_.requestedThreads(), settings.domain);
        const ScanOutcome outcome = runScan(models, &settings_, [&](RunControl& control) {
            return BasinScan(models, settings, control);
        });
        scanColours_ = settings.colours;
        scanCycles_ = static_cast<int>(settings.cycles.size());
        showResult(outcome.raster, settings.domain,
                   QString::fromStdString(
                       ws.variableNames[static_cast<std::size_t>(settings.horizontalVariable)]),
                   QString::fromStdString(
                       ws.variableNames[static_cast<std::size_t>(settings.verticalVariable)]));
    });
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

void TBoA::SettingsClick() {
    setEnabled(false);
    settings_.show();
    settings_.raise();
}

}  // namespace kalvora
