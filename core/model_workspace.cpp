#include "core/model_workspace.h"

#include <filesystem>
#include <system_error>

namespace kalvora {

namespace {

std::string WorkingFolder() {
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    std::string folder = error ? std::string("./") : current.string();
    if (folder.empty() || folder.back() != '/') {
        folder += '/';
    }
    return folder;
}

}  // namespace

namespace {

// What the program starts with before any model: one variable and one parameter, closed.
ModelDefinitionPtr StartUpDefinition() {
    ModelDefinition model;
    model.variableCount = 1;
    model.parameterCount = 1;
    return std::make_shared<const ModelDefinition>(std::move(model));
}

}  // namespace

ModelWorkspace::ModelWorkspace() : definition(StartUpDefinition()) {
    dataFolder = WorkingFolder();
    programFolder = dataFolder;
    cycleColours.fill(0x0000FFu);   // cycles 2 to 100: blue
    cycleColours[0] = 0xFF0000u;    // cycle 1: red
    cycleColours[100] = 0xFFFFFFu;  // no convergence: white
    cycleColours[101] = 0x000000u;  // divergence: black
}

void AdoptRandomState(ModelWorkspace& ws, const ModelEvaluator& ranOn) {
    ws.randomState = RandomStateOf(ranOn);
}

}  // namespace kalvora
