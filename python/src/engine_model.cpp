// The module's calls into the model core: loading a model, its values and noise. When the core's
// interface changes, this file and the Lease in engine_internal.h change with it; the analyses in
// engine_runs.cpp only take the lent model.

#include <lua.hpp>

#include <algorithm>
#include <cmath>
#include <optional>

#include "core/integration.h"
#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/model_file.h"
#include "core/model_shell.h"
#include "core/noise.h"
#include "core/numbers.h"
#include "core/parameter_file.h"
#include "core/script_lines.h"
#include "core/text_file.h"
#include "engine_internal.h"

namespace kalvora::python {
namespace {

std::vector<std::string> Names(const NameList& names, int first, int count) {
    return {names.begin() + first,
            names.begin() + first + std::clamp(count, 0, kModelListCapacity)};
}

void ThrowRefusal(const ModelRefusedError& refusal, const std::string& where) {
    // A text that does not parse is a bad input; a script that does not compile, or whose top
    // level fails as it runs, is the model's own failure and names its line.
    if (refusal.scriptStatus == 0) {
        throw BadArgument(where + refusal.what());
    }
    std::string message = where + refusal.what();
    if (!refusal.details.empty()) {
        message += ": " + refusal.details;
    }
    throw ModelFailure(message, EquationLineOf(refusal.details));
}

// "FILE, line N: " for a number in a model file's two value lines that does not parse, as the
// batch tool names it.
std::string WhereInFile(const std::string& path) {
    try {
        const std::vector<std::string> lines = SplitLines(WithoutByteOrderMark(ReadTextFile(path)));
        for (std::size_t index = 0; index < 2; ++index) {
            NameList names{};
            ValueList values{};
            std::int32_t count = 0;
            try {
                ParseAssignmentList(index < lines.size() ? lines[index] : "", names, values, count);
            } catch (const std::exception&) {
                return path + ", line " + std::to_string(index + 1) + ": ";
            }
        }
    } catch (const FileError&) {
    }
    return path + ", line 4: ";
}

}  // namespace

Extended Number(const std::string& text) {
    try {
        return ParseFloat(text);
    } catch (const ConversionError& error) {
        throw BadArgument(error.what());
    }
}

Engine::Engine()
    : model_(std::make_unique<ModelWorkspace>()), source_(std::make_unique<ModelSource>()) {
    // Noise without a fixed seed differs from one engine to the next, as from one batch run to
    // the next.
    SeedNoise(*model_, std::nullopt);
}

Engine::~Engine() = default;

double ReadNumber(const std::string& text) {
    return static_cast<double>(Number(text));
}

std::string DataText(double value) {
    return FormatDataValue(value);
}

std::shared_ptr<Engine> Engine::FromFile(const std::string& path, std::size_t memoryLimitMiB) {
    std::shared_ptr<Engine> engine(new Engine());
    ModelWorkspace& ws = *engine->model_;
    ReplaceModel(ws, [&](ModelDefinition& model) { model.memoryLimit = memoryLimitMiB << 20; });
    NullModelShell shell;
    try {
        LoadModelFromFile(ws, *engine->source_, shell, path);
    } catch (const ConversionError& error) {
        throw BadArgument(WhereInFile(path) + error.what());
    } catch (const DefinitionError& error) {
        throw BadArgument(path + ": " + error.what());
    } catch (const ModelRefusedError& refusal) {
        if (refusal.scriptStatus == 0) {
            throw BadArgument(WhereInFile(path) + refusal.what());
        }
        ThrowRefusal(refusal, refusal.scriptStatus == LUA_ERRSYNTAX ? path + ": " : "");
    } catch (const FileError& error) {
        throw FileProblem(error.what());
    }
    if (!ws.model().discrete && !(ws.model().stepSize > 0 && std::isfinite(ws.model().stepSize))) {
        throw BadArgument("the step size must be a positive number, not " +
                          FormatGeneral(ws.model().stepSize, 15));
    }
    return engine;
}

std::shared_ptr<Engine> Engine::FromTexts(const std::string& initial, const std::string& parameters,
                                          const std::string& auxiliaries,
                                          const std::string& equations, bool discrete,
                                          const std::string& stepSize, std::size_t memoryLimitMiB) {
    std::shared_ptr<Engine> engine(new Engine());
    ModelSource& source = *engine->source_;
    source.initialText = initial;
    source.parameterText = parameters;
    source.auxiliaryText = auxiliaries;
    // The editor's text has CR LF line ends, as a model file does, and none after the last line,
    // which would count as an equation line of its own in Lua's messages.
    const std::vector<std::string> lines = SplitLines(equations);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        source.equations += (i > 0 ? "\r\n" : "") + lines[i];
    }
    source.discrete = discrete;
    source.stepSizeText = stepSize;
    ModelWorkspace& ws = *engine->model_;
    ReplaceModel(ws, [&](ModelDefinition& model) {
        model.memoryLimit = memoryLimitMiB << 20;
        model.modelName = "model";
    });
    try {
        if (const std::optional<ModelRefusal> refusal = AcceptModel(ws, source)) {
            ThrowRefusal(ModelRefusedError(*refusal), "");
        }
    } catch (const ConversionError& error) {
        throw BadArgument(error.what());
    } catch (const DefinitionError& error) {
        throw BadArgument(error.what());
    }
    if (!ws.model().discrete && !(ws.model().stepSize > 0 && std::isfinite(ws.model().stepSize))) {
        throw BadArgument("the step size must be a positive number, not " + stepSize);
    }
    return engine;
}

std::string Engine::name() const {
    std::lock_guard lock(mutex_);
    return model_->model().modelName;
}

std::string Engine::file() const {
    std::lock_guard lock(mutex_);
    return model_->model().modelFile;
}

bool Engine::discrete() const {
    std::lock_guard lock(mutex_);
    return model_->model().discrete;
}

std::string Engine::equations() const {
    std::string text;
    for (const std::string& line : SplitLines(source_->equations)) {
        text += line + "\n";
    }
    return text;
}

std::vector<std::string> Engine::variableNames() const {
    std::lock_guard lock(mutex_);
    return Names(model_->model().variableNames, 0, model_->model().variableCount);
}

std::vector<std::string> Engine::auxiliaryNames() const {
    std::lock_guard lock(mutex_);
    return Names(model_->model().variableNames, model_->model().variableCount,
                 model_->model().auxiliaryCount);
}

std::vector<std::string> Engine::parameterNames() const {
    std::lock_guard lock(mutex_);
    return Names(model_->model().parameterNames, 0, model_->model().parameterCount);
}

std::vector<double> Engine::parameterValues() const {
    std::lock_guard lock(mutex_);
    return {model_->model().parameterValues.begin(),
            model_->model().parameterValues.begin() + model_->model().parameterCount};
}

std::vector<double> Engine::initialValues() const {
    std::lock_guard lock(mutex_);
    return {model_->model().initialValues.begin(), model_->model().initialValues.begin() +
                                                       model_->model().variableCount +
                                                       model_->model().auxiliaryCount};
}

double Engine::stepSize() const {
    std::lock_guard lock(mutex_);
    return static_cast<double>(model_->model().stepSize);
}

std::vector<std::string> Engine::parameterTexts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (int j = 0; j < model_->model().parameterCount; ++j) {
        texts.push_back(FormatGeneral(model_->model().parameterValues[j], 15));
    }
    return texts;
}

std::vector<std::string> Engine::initialTexts() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> texts;
    for (int i = 0; i < model_->model().variableCount + model_->model().auxiliaryCount; ++i) {
        texts.push_back(FormatGeneral(model_->model().initialValues[i], 15));
    }
    return texts;
}

std::string Engine::stepSizeText() const {
    std::lock_guard lock(mutex_);
    return FormatGeneral(model_->model().stepSize, 15);
}

void Engine::setParameters(const std::vector<std::pair<int, std::string>>& values) {
    std::vector<Extended> read;
    for (const auto& [index, text] : values) {
        read.push_back(Number(text));
    }
    std::lock_guard lock(mutex_);
    ReplaceModel(*model_, [&](ModelDefinition& model) {
        for (std::size_t k = 0; k < values.size(); ++k) {
            model.parameterValues[static_cast<std::size_t>(values[k].first)] = read[k];
        }
    });
}

void Engine::setInitialValues(const std::vector<std::pair<int, std::string>>& values) {
    std::vector<Extended> read;
    for (const auto& [index, text] : values) {
        read.push_back(Number(text));
    }
    std::lock_guard lock(mutex_);
    ReplaceModel(*model_, [&](ModelDefinition& model) {
        for (std::size_t k = 0; k < values.size(); ++k) {
            model.initialValues[static_cast<std::size_t>(values[k].first)] = read[k];
        }
    });
}

void Engine::setStepSize(const std::string& text) {
    const Extended value = Number(text);
    std::lock_guard lock(mutex_);
    if (model_->model().discrete) {
        throw BadArgument("step_size: " + model_->model().modelName +
                          " is a discrete model; a step size applies only to continuous models");
    }
    // A step that does not advance time would never end a run.
    if (!(value > 0 && std::isfinite(value))) {
        throw BadArgument("the step size must be a positive number, not " + text);
    }
    ReplaceModel(*model_, [&](ModelDefinition& model) { model.stepSize = value; });
}

void Engine::readParameterFile(const std::string& path) {
    std::lock_guard lock(mutex_);
    // A refused step size leaves the model as it was; the file is read into a copy first.
    ModelWorkspace read;
    read.definition = model_->definition;
    try {
        ReadParameterFile(read, path);
    } catch (const ConversionError& error) {
        throw BadArgument(path + ": " + error.what());
    } catch (const DefinitionError& error) {
        throw BadArgument(path + ": " + error.what());
    } catch (const ParameterFileError& error) {
        throw BadArgument(error.what());
    } catch (const FileError& error) {
        throw FileProblem(error.what());
    }
    if (!read.model().discrete &&
        !(read.model().stepSize > 0 && std::isfinite(read.model().stepSize))) {
        throw BadArgument("the step size must be a positive number, not " +
                          FormatGeneral(read.model().stepSize, 15));
    }
    model_->definition = read.definition;
}

void Engine::writeParameterFile(const std::string& path) const {
    std::lock_guard lock(mutex_);
    try {
        WriteParameterFile(*model_, path);
    } catch (const FileError& error) {
        throw FileProblem(error.what());
    }
}

void Engine::setNoise(const NoiseOptions& options) {
    const Extended level = Number(options.level);
    const Extended probability = Number(options.probability);
    if (!(probability >= 0 && probability <= 1)) {
        throw BadArgument("probability must lie between 0 and 1, not " + options.probability);
    }
    std::lock_guard lock(mutex_);
    NoiseSettings noise = model_->model().noise;
    noise.noiseVariable = options.variable;
    noise.noiseType = options.uniform ? 2 : 1;
    noise.noiseLevel = level;
    noise.noiseProbability = probability;
    noise.noisePeriod = options.period;
    noise.noiseCounter = 0;
    noise.noiseOn = level > 0;
    noise.fixSeedForEachRun = options.seed.has_value();
    noise.noiseSeed = options.seed.value_or(0);
    ReplaceModel(*model_, [&](ModelDefinition& model) { model.noise = noise; });
}

NoiseOptions Engine::noise() const {
    std::lock_guard lock(mutex_);
    const NoiseSettings& noise = model_->model().noise;
    NoiseOptions options;
    options.level = FormatGeneral(noise.noiseLevel, 15);
    options.variable = noise.noiseVariable;
    options.uniform = noise.noiseType == 2;
    options.probability = FormatGeneral(noise.noiseProbability, 15);
    options.period = noise.noisePeriod;
    if (noise.fixSeedForEachRun) {
        options.seed = noise.noiseSeed;
    }
    return options;
}

void Engine::setIntegrator(const std::string& method, const std::string& tolerance) {
    const std::optional<IntegrationMethod> chosen = IntegrationMethodFromName(method);
    if (!chosen) {
        throw BadArgument("method: expected rk3, rk4 or dopri5, got '" + method + "'");
    }
    std::optional<Extended> toleranceValue;
    if (!tolerance.empty()) {
        if (*chosen != IntegrationMethod::DormandPrince) {
            throw BadArgument("tolerance: only the adaptive method dopri5 takes a tolerance");
        }
        toleranceValue = Number(tolerance);
        if (!(*toleranceValue > 0 && *toleranceValue < 1)) {
            throw BadArgument("tolerance: expected a number between 0 and 1, got " + tolerance);
        }
    }
    std::lock_guard lock(mutex_);
    // As the batch tool: a map has no integrator, and silence would mislead.
    if (model_->model().discrete) {
        throw BadArgument("method: " + model_->model().modelName +
                          " is a discrete model; an integrator applies only to continuous models");
    }
    ReplaceModel(*model_, [&](ModelDefinition& model) {
        model.integration.method = *chosen;
        if (toleranceValue) {
            model.integration.tolerance = *toleranceValue;
        }
    });
}

std::pair<std::string, double> Engine::integrator() const {
    std::lock_guard lock(mutex_);
    const Integration& integration = model_->model().integration;
    return {IntegrationMethodName(integration.method), static_cast<double>(integration.tolerance)};
}

}  // namespace kalvora::python
