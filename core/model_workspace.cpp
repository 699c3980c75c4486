#include "core/model_workspace.h"

#include <filesystem>
#include <iterator>
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
    // Cycle 1 is red; cycles 2, 3, ... take a qualitative palette whose colours stay apart for
    // readers with the common colour-vision deficiencies (Okabe and Ito's, then the muted colours
    // of Paul Tol's scheme), so that a period plane tells period 2 from period 5. Vermilion and
    // black are left out (too near cycle 1 and divergence); after eleven cycles the palette
    // repeats, and the scan windows' legend tells the classes apart.
    static constexpr RgbColour kPalette[] = {
        0x0072B2u,  // blue
        0xE69F00u,  // orange
        0x009E73u,  // bluish green
        0xCC79A7u,  // reddish purple
        0x56B4E9u,  // sky blue
        0xF0E442u,  // yellow
        0x332288u,  // indigo
        0x44AA99u,  // teal
        0x999933u,  // olive
        0x882255u,  // wine
        0xDDCC77u,  // sand
    };
    cycleColours[0] = 0xFF0000u;  // cycle 1: red
    for (std::size_t cycle = 1; cycle < 100; ++cycle) {
        cycleColours[cycle] = kPalette[(cycle - 1) % std::size(kPalette)];
    }
    cycleColours[100] = 0xFFFFFFu;  // no convergence: white
    cycleColours[101] = 0x000000u;  // divergence: black
}

void AdoptRandomState(ModelWorkspace& ws, const ModelEvaluator& ranOn) {
    ws.randomState = RandomStateOf(ranOn);
}

}  // namespace kalvora
