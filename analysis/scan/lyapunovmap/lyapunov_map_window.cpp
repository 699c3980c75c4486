#include "analysis/scan/lyapunovmap/lyapunov_map_window.h"

#include "analysis/scan/lyapunovmap/lyapunov_map_picture.h"
#include "core/text_file.h"

namespace kalvora {

LyapunovMapWindow::LyapunovMapWindow(AnalysisHost& host, LyapunovMapDialog& settings)
    : ScanAnalysisWindow(host, settings, AnalysisTag::LyapunovMap,
                         QStringLiteral("LyapunovMapWindow"), QStringLiteral("Lyapunov Map"),
                         {QStringLiteral("Save As..."), QStringLiteral("Print..."),
                          QStringLiteral("Close"), QStringLiteral("Parameters")}) {
    connect(SaveDataAs1, &QAction::triggered, this, [this] { SaveDataAs1Click(); });
}

void LyapunovMapWindow::validate(const LyapunovMapSettings& settings) const {
    CheckLyapunovMapSettings(workspace().model(), settings);
}

void LyapunovMapWindow::scanAndShow(const LyapunovMapSettings& settings) {
    // The exponents come back beside the raster the scan base shows.
    LyapunovMapResult result;
    const std::optional<ScanOutcome> outcome =
        runScan(settings_.requestedThreads(), settings.domain, &settings_,
                [&](ScanModels& models, RunControl& control) {
                    result = LyapunovMap(models, settings, control);
                    ScanOutcome scan;
                    scan.raster = result.raster;
                    scan.stopped = result.stopped;
                    scan.message = result.message;
                    return scan;
                });
    if (!outcome) {
        return;
    }
    result_ = std::move(result);
    showResult(result_.raster, settings.domain, settings_.axisName(settings.horizontal),
               settings_.axisName(settings.vertical), LyapunovMapLegend(result_));
}

void LyapunovMapWindow::SaveDataAs1Click() {
    guarded([&] {
        Prompts::FileRequest request;
        request.title = "Indicate File to Save Data";
        request.folder = workspace().dataFolder;
        request.filter = "Data file (*.dat)|*.dat";
        request.defaultExtension = "dat";
        const std::optional<std::string> fileName = host().prompts().chooseSaveFile(request);
        if (!fileName) {
            return;
        }
        AtomicFileWriter file(*fileName);
        WriteLyapunovMapLines(file.stream(), result_);
        file.commit();
    });
}

}  // namespace kalvora
