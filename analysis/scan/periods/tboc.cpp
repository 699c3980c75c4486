#include "analysis/scan/periods/tboc.h"

#include "core/noise.h"

namespace kalvora {

TBoC::TBoC(AnalysisHost& host, TPerCycles& settings, std::function<void()> scanned)
    : ScanResultWindow(host, QStringLiteral("TBoC"),
                       QStringLiteral("Parameter Basins for Periodic Cycles"),
                       {QStringLiteral("Save As..."), QStringLiteral("Print..."),
                        QStringLiteral("Close"), QStringLiteral("Parameters")}),
      settings_(settings),
      scanned_(std::move(scanned)) {
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

void TBoC::open() {
    settings_.fill(imageAreaSize());
    acceptedDialog_ = settings_.snapshot();
    settings_.show();
    settings_.raise();
}

void TBoC::RunClick() {
    if (running()) {
        return;
    }
    guarded([this] {
        PeriodSettings candidate = settings_.settings();
        CheckPeriodSettings(workspace().parameterCount, candidate);
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

void TBoC::recomputeAfterAccept() {
    if (isVisible() && !running()) {
        scan(accepted_);
    }
}

bool TBoC::scan(const PeriodSettings& settings) {
    return guarded([&] {
        ModelWorkspace& ws = workspace();
        CheckPeriodSettings(ws.parameterCount, settings);
        // The scan sets the two parameters on its own instances only: the workspace keeps its
        // values throughout, also when the scan is stopped.
        ScanModels models = MakeScanModels(ws, settings_.requestedThreads(), settings.domain);
        const ScanOutcome outcome = runScan(models, &settings_, [&](RunControl& control) {
            return PeriodScan(models, settings, control);
        });
        if (scanned_) {
            scanned_();
        }
        scanColours_ = settings.colours;
        scanCycles_ = static_cast<int>(settings.periods.size());
        showResult(outcome.raster, settings.domain,
                   QString::fromStdString(
                       ws.parameterNames[static_cast<std::size_t>(settings.horizontalParameter)]),
                   QString::fromStdString(
                       ws.parameterNames[static_cast<std::size_t>(settings.verticalParameter)]));
    });
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
