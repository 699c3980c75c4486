#include "app/analyses.h"

namespace kalvora {

void AnalysisRegistry::add(const std::string& command, std::unique_ptr<AnalysisModule> module) {
    entries_.push_back({command, std::move(module)});
}

AnalysisModule* AnalysisRegistry::find(const std::string& command) const {
    if (command.empty())
        return nullptr;
    for (const Entry& entry : entries_) {
        if (entry.command == command)
            return entry.module.get();
    }
    return nullptr;
}

}  // namespace kalvora
