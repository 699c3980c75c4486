#include "analysis/scan/common/scan_run.h"

#include <atomic>

#include "core/model_purity.h"
#include "core/parallel_pieces.h"

namespace kalvora {

ScanModels MakeScanModels(const ModelWorkspace& workspace, int requestedThreads,
                          const ScanDomain& domain) {
    ScanModels models;
    models.kind = workspace.kind;
    // Noise draws from one random sequence and a model that keeps state between calls depends on
    // the order of its calls: both give the one-thread numbers only on one thread.
    const int workers = workspace.noise.noiseOn || !ModelCallsAreIndependent(workspace.scriptText)
                            ? 1
                            : WorkerCount(requestedThreads, domain.columns());
    for (int worker = 0; worker < workers; ++worker) {
        models.instances.push_back(std::make_unique<ModelInstance>(workspace));
    }
    return models;
}

ScanOutcome RunScan(ScanModels& models, const ScanDomain& domain, RunControl& control,
                    const PixelClassifier& classify,
                    const std::function<void(long long columnsDone)>& columnsDone) {
    CheckScanDomain(domain);
    ScanOutcome outcome;
    outcome.raster = ColourRaster(domain.columns(), domain.rows());
    ColourRaster& raster = outcome.raster;
    const int rows = domain.rows();
    std::atomic<bool> stoppedInColumn{false};
    // A stop reaches the models too, so that one stuck inside a step ends with the rest.
    std::vector<std::unique_ptr<RunningModel>> running;
    for (const auto& instance : models.instances) {
        running.push_back(std::make_unique<RunningModel>(control, instance->interrupt));
    }
    control.progress().start(domain.horizontalResolution);
    const PiecesOutcome pieces = RunPieces(
        domain.columns(), static_cast<int>(models.instances.size()), control,
        [&](int worker, long long column) {
            ModelInstance& model = *models.instances[static_cast<std::size_t>(worker)];
            const int i = static_cast<int>(column);
            for (int j = 0; j < rows; ++j) {
                if (control.stopRequested()) {
                    stoppedInColumn.store(true, std::memory_order_relaxed);
                    return true;
                }
                const RgbColour colour = classify(model, i, j);
                // A pixel whose orbit a stop interrupted is not classified: it stays blank.
                if (control.stopRequested()) {
                    stoppedInColumn.store(true, std::memory_order_relaxed);
                    return true;
                }
                raster.set(i, j, colour);
            }
            return true;
        },
        columnsDone);
    outcome.stopped = pieces.stopped || stoppedInColumn.load(std::memory_order_relaxed);
    for (const auto& instance : models.instances) {
        if (!instance->recordedMessage.empty()) {
            outcome.message = instance->recordedMessage;
            break;
        }
    }
    control.progress().finish();
    return outcome;
}

}  // namespace kalvora
