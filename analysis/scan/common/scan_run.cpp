#include "analysis/scan/common/scan_run.h"

#include <algorithm>
#include <atomic>

#include "core/model_purity.h"
#include "core/parallel_pieces.h"

namespace kalvora {

int ScanWorkers(const ModelDefinition& model, int requestedThreads, const ScanDomain& domain) {
    // Noise draws from one random sequence and a model that keeps state between calls depends on
    // the order of its calls: both give the one-thread numbers only on one thread.
    return model.noise.noiseOn || !ModelCallsAreIndependent(model.scriptText)
               ? 1
               : WorkerCount(requestedThreads, domain.columns());
}

ScanModels MakeScanModels(const ModelDefinitionPtr& definition, int requestedThreads,
                          const ScanDomain& domain, const RandomState& randomState,
                          RunControl* control) {
    ScanModels models;
    models.kind = definition->kind;
    const int workers = ScanWorkers(*definition, requestedThreads, domain);
    for (int worker = 0; worker < workers; ++worker) {
        models.evaluators.push_back(
            std::make_unique<ModelEvaluator>(definition, randomState, nullptr, control));
    }
    return models;
}

ScanOutcome RunScan(ScanModels& models, const ScanDomain& domain, RunControl& control,
                    const PixelClassifier& classify,
                    const std::function<void(long long columnsDone)>& columnsDone,
                    const ColumnRange& columns) {
    CheckScanDomain(domain);
    const int firstColumn = columns.first;
    const int endColumn = columns.endIn(domain);
    if (firstColumn < 0 || endColumn > domain.columns() || firstColumn > endColumn) {
        throw ScanSettingsError("The columns to scan lie outside the plane");
    }
    ScanOutcome outcome;
    outcome.raster = ColourRaster(domain.columns(), domain.rows());
    ColourRaster& raster = outcome.raster;
    const int rows = domain.rows();
    std::atomic<bool> stoppedInColumn{false};
    // A stop reaches the models too, so that one stuck inside a step ends with the rest.
    std::vector<std::unique_ptr<RunningModel>> running;
    for (const auto& instance : models.evaluators) {
        running.push_back(std::make_unique<RunningModel>(control, instance->interrupt));
    }
    control.progress().start(std::max(0, endColumn - firstColumn - 1));
    const PiecesOutcome pieces = RunPieces(
        endColumn - firstColumn, static_cast<int>(models.evaluators.size()), control,
        [&](int worker, long long piece) {
            ModelEvaluator& model = *models.evaluators[static_cast<std::size_t>(worker)];
            const int i = firstColumn + static_cast<int>(piece);
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
    if (!models.evaluators.empty()) {
        outcome.randomState = RandomStateOf(*models.evaluators.front());
    }
    for (const auto& instance : models.evaluators) {
        if (!instance->recordedMessage.empty()) {
            outcome.message = instance->recordedMessage;
            break;
        }
    }
    control.progress().finish();
    return outcome;
}

}  // namespace kalvora
