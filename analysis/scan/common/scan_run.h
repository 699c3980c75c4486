#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/scan/common/scan_raster.h"
#include "core/model_evaluator.h"
#include "core/run_control.h"

namespace kalvora {

// The models a scan runs on: one evaluator per worker, all of one definition, made on the thread
// that runs the scan (on the desktop the job's worker). With noise on there is one, because how
// many random numbers a pixel draws depends on its orbit, so only the one-thread order gives the
// noisy picture.
struct ScanModels {
    ModelKind kind = ModelKind::Discrete;
    std::vector<std::unique_ptr<ModelEvaluator>> evaluators;
};

// The evaluators a scan of this model uses. requestedThreads: 0 for one per core, 1 to force the
// one-thread scan.
int ScanWorkers(const ModelDefinition& model, int requestedThreads, const ScanDomain& domain);

// The evaluators, each continuing randomState; with a control its stop reaches them wherever they
// are, their script's top level included.
ScanModels MakeScanModels(const ModelDefinitionPtr& definition, int requestedThreads,
                          const ScanDomain& domain, const RandomState& randomState = {},
                          RunControl* control = nullptr);

struct ScanOutcome {
    ColourRaster raster;
    bool stopped = false;
    // The first script message a worker recorded; shown by the caller once the scan has ended.
    std::string message;
    // Where a noisy scan (one evaluator) left the random sequence, for the next run to continue.
    RandomState randomState;
};

// The columns a run colours, first .. end - 1: all of them, or one tile's share when the run is
// split over the machines of a cluster. An end of -1 means the last column.
struct ColumnRange {
    int first = 0;
    int end = -1;
    int endIn(const ScanDomain& domain) const { return end < 0 ? domain.columns() : end; }
};

// Colours pixel (column, row) on the given evaluator.
using PixelClassifier = std::function<RgbColour(ModelEvaluator& model, int column, int row)>;

// Colours every pixel of the columns in range (all by default), columns left to right and each
// column top to bottom, spread over the models' evaluators column by column; a pixel's colour does
// not depend on which columns run. The stop request is polled before every pixel: a stopped scan
// keeps the pixels it coloured and leaves the rest blank, as are the columns outside the range.
// Progress runs over the columns done. columnsDone(n) reports that the first n columns of the
// range are complete.
ScanOutcome RunScan(ScanModels& models, const ScanDomain& domain, RunControl& control,
                    const PixelClassifier& classify,
                    const std::function<void(long long columnsDone)>& columnsDone = {},
                    const ColumnRange& columns = {});

}  // namespace kalvora
