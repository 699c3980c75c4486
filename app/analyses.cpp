#include "app/analyses.h"

namespace kalvora {

void RegisterAnalyses(AnalysisRegistry& registry, AnalysisHost& host) {
    (void)registry;
    (void)host;
}

}  // namespace kalvora
