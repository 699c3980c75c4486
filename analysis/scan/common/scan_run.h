#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "analysis/scan/common/scan_raster.h"
#include "core/model_instance.h"
#include "core/run_control.h"

namespace kalvora {

// The models a scan runs on, made on the user-interface thread before the scan starts: one
// instance per worker. With noise on there is one, because how many random numbers a pixel draws
// depends on its orbit, so only the one-thread order gives the noisy picture.
struct ScanModels {
    ModelKind kind = ModelKind::Discrete;
    std::vector<std::unique_ptr<ModelInstance>> instances;
};

// requestedThreads: 0 for one worker per core, 1 to force the one-thread scan.
ScanModels MakeScanModels(const ModelWorkspace& workspace, int requestedThreads,
                          const ScanDomain& domain);

struct ScanOutcome {
    ColourRaster raster;
    bool stopped = false;
    // The first script message a worker recorded; shown by the caller once the scan has ended.
    std::string message;
};

// Colours pixel (column, row) on the given instance.
using PixelClassifier = std::function<RgbColour(ModelInstance& model, int column, int row)>;

// Colours every pixel, columns left to right and each column top to bottom, spread over the
// models' instances column by column. The stop request is polled before every pixel: a stopped
// scan keeps the pixels it coloured and leaves the rest blank. Progress runs over 0 .. H, the
// columns done. columnsDone(n) reports that columns 0 .. n - 1 are complete.
ScanOutcome RunScan(ScanModels& models, const ScanDomain& domain, RunControl& control,
                    const PixelClassifier& classify,
                    const std::function<void(long long columnsDone)>& columnsDone = {});

}  // namespace kalvora
