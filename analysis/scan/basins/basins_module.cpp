#include "analysis/scan/basins/basins_module.h"

namespace kalvora {

void ConnectCycleCapture(TBasins& basins, Tplot2Dmain& phasePlot) {
    TBasins* settings = &basins;
    QObject::connect(settings, &TBasins::cycleCaptureRequested, settings, [settings, &phasePlot] {
        phasePlot.startCycleCapture(
            settings->StartIterations->value(),
            {[settings] {
                 return std::make_pair(settings->captureHorizontal(), settings->captureVertical());
             },
             [settings](const StateVector& state) { settings->writeCapturedState(state); }});
    });
}

}  // namespace kalvora
