#include "cli/cli_common.h"

#include <pthread.h>
#include <unistd.h>
#include <lua.hpp>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/noise.h"
#include "core/numbers.h"
#include "core/parameter_file.h"

namespace kalvora::cli {
namespace {

// The controls of the runs under way, which a termination signal stops. The signal thread calls
// them under the lock a control's destructor takes to leave, so it never reaches one being
// destroyed.
std::mutex& ControlsMutex() {
    static std::mutex mutex;
    return mutex;
}

std::vector<RunControl*>& SignalledControls() {
    static std::vector<RunControl*> controls;
    return controls;
}

std::atomic<int> stopSignal{0};

std::mutex& CleanupMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::size_t, std::function<void()>>& Cleanups() {
    static std::map<std::size_t, std::function<void()>> cleanups;
    return cleanups;
}

void RunSignalCleanups() {
    std::lock_guard lock(CleanupMutex());
    for (auto& [id, cleanup] : Cleanups()) {
        cleanup();
    }
}

std::map<std::string, Command>& Registry() {
    static std::map<std::string, Command> commands;
    return commands;
}

const OptionSpec* FindOption(const std::vector<OptionSpec>& allowed, const std::string& name) {
    for (const OptionSpec& definition : allowed) {
        if (definition.name == name) {
            return &definition;
        }
    }
    return nullptr;
}

std::string OptionLines(const std::vector<OptionSpec>& allowed) {
    std::string text;
    for (const OptionSpec& definition : allowed) {
        std::string left = "  " + definition.name;
        if (!definition.valueName.empty()) {
            left += " " + definition.valueName;
        }
        if (left.size() < 32) {
            left.append(32 - left.size(), ' ');
        } else {
            left += "\n" + std::string(32, ' ');
        }
        text += left + definition.help + "\n";
    }
    return text;
}

std::string GeneralHelp() {
    std::string text =
        "Usage: kalvora-cli COMMAND MODEL.mod [OPTIONS]\n"
        "Runs a Kalvora model without windows and writes the program's own data formats.\n\n"
        "Commands:\n";
    for (const auto& [name, command] : Commands()) {
        std::string left = "  " + name;
        left.append(left.size() < 16 ? 16 - left.size() : 1, ' ');
        text += left + command.summary + "\n";
    }
    text +=
        "\nOptions of every command that runs a model:\n" + OptionLines(CommonOptions()) +
        "\nExit codes: 0 success; 1 the model failed during the run (the output holds what was\n"
        "computed before); 2 bad usage, bad numbers or unreadable files.\n"
        "'kalvora-cli COMMAND --help' describes one command; 'kalvora-cli --version' prints the\n"
        "version.\n";
    return text;
}

// Flushes standard output; false, with the message on standard error, when it could not be
// written (a full disk, a closed pipe): help that never arrived is no success.
bool FlushStandardOutput() {
    std::cout.flush();
    if (std::cout) {
        return true;
    }
    std::cerr << "kalvora-cli: Cannot write standard output\n";
    return false;
}

std::string CommandHelp(const Command& command) {
    std::string text =
        "Usage: kalvora-cli " + command.name + " " + command.usage + "\n" + command.summary + "\n";
    if (!command.options.empty()) {
        text += "\nOptions:\n" + OptionLines(command.options);
    }
    if (command.commonOptions) {
        text += "\nModel options:\n" + OptionLines(CommonOptions());
    }
    return text;
}

int VariableIndex(const ModelWorkspace& ws, const std::string& name) {
    for (int i = 0; i < ws.model().variableCount; ++i) {
        if (ws.model().variableNames[i] == name) {
            return i;
        }
    }
    return -1;
}

std::string NameList(const std::vector<std::string>& names) {
    if (names.empty()) {
        return "none";
    }
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

void ApplySet(ModelWorkspace& ws, const std::string& assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) {
        throw UsageError("--set needs NAME=VALUE, not '" + assignment + "'");
    }
    const std::string name = assignment.substr(0, equals);
    Extended value = 0;
    try {
        value = ParseFloat(assignment.substr(equals + 1));
    } catch (const ConversionError& error) {
        throw UsageError("--set " + name + ": " + error.what());
    }
    bool found = false;
    std::vector<std::string> parameters;
    ReplaceModel(ws, [&](ModelDefinition& model) {
        for (int i = 0; i < model.variableCount; ++i) {
            if (model.variableNames[i] == name) {
                model.initialValues[i] = value;
                found = true;
            }
        }
        for (int j = 0; j < model.parameterCount; ++j) {
            parameters.push_back(model.parameterNames[j]);
            if (model.parameterNames[j] == name) {
                model.parameterValues[j] = value;
                found = true;
            }
        }
    });
    if (!found) {
        throw UsageError("--set: the model has no variable or parameter '" + name +
                         "' (variables: " + NameList(VariableNames(ws, false)) +
                         "; parameters: " + NameList(parameters) + ")");
    }
}

void ApplyNoiseOptions(ModelWorkspace& ws, const Arguments& arguments) {
    NoiseSettings noise = ws.model().noise;
    if (const auto name = arguments.value("--noise-variable")) {
        const int index = VariableIndex(ws, *name);
        if (index < 0) {
            throw UsageError("--noise-variable: the model has no variable '" + *name +
                             "' (variables: " + NameList(VariableNames(ws, false)) + ")");
        }
        noise.noiseVariable = index + 1;
    } else {
        noise.noiseVariable = 1;
    }
    const std::string type = arguments.value("--noise-type").value_or("normal");
    if (type == "normal") {
        noise.noiseType = 1;
    } else if (type == "uniform") {
        noise.noiseType = 2;
    } else {
        throw UsageError("--noise-type must be normal or uniform, not '" + type + "'");
    }
    noise.noiseLevel = arguments.number("--noise-level", 0);
    noise.noiseProbability = arguments.number("--noise-probability", 1);
    if (!(noise.noiseProbability >= 0 && noise.noiseProbability <= 1)) {
        throw UsageError("--noise-probability must lie between 0 and 1, not " +
                         arguments.value("--noise-probability").value_or(""));
    }
    noise.noisePeriod = static_cast<std::int32_t>(arguments.integer("--noise-period", 1, 1, 1000));
    noise.wiener = arguments.has("--noise-wiener");
    if (noise.wiener && ws.model().discrete) {
        throw UsageError("--noise-wiener: " + ws.model().modelName +
                         " is a discrete model; the scaling by the square root of the step "
                         "applies only to continuous models");
    }
    noise.noiseCounter = 0;
    noise.noiseOn = noise.noiseLevel > 0;
    // Without a level the other noise options would be dropped without a word, and the output
    // would look like a noisy run that is none.
    if (!arguments.has("--noise-level")) {
        for (const char* option : {"--noise-variable", "--noise-type", "--noise-probability",
                                   "--noise-period", "--noise-wiener"}) {
            if (arguments.has(option)) {
                throw UsageError(std::string(option) +
                                 " needs --noise-level L; a positive level switches noise on");
            }
        }
    }
    std::optional<std::int32_t> seed;
    if (arguments.has("--seed")) {
        seed = static_cast<std::int32_t>(arguments.integer("--seed", 0, INT32_MIN, INT32_MAX));
    }
    noise.fixSeedForEachRun = seed.has_value();
    ReplaceModel(ws, [&](ModelDefinition& model) { model.noise = noise; });
    ws.randomState.noiseCounter = 0;
    if (noise.noiseOn || seed) {
        SeedNoise(ws, seed);
    }
}

// "FILE, line N: " for a conversion error in a model or parameter file: the first of the
// assignment lines (0-based) that does not parse, else the line holding the step size.
std::string WhereInFile(const std::string& path, const std::vector<std::size_t>& assignmentLines,
                        int stepSizeLine) {
    int line = stepSizeLine;
    try {
        const std::vector<std::string> lines = SplitLines(WithoutByteOrderMark(ReadTextFile(path)));
        for (const std::size_t index : assignmentLines) {
            kalvora::NameList names{};
            ValueList values{};
            std::int32_t count = 0;
            try {
                ParseAssignmentList(index < lines.size() ? lines[index] : "", names, values, count);
            } catch (const std::exception&) {
                line = static_cast<int>(index) + 1;
                break;
            }
        }
    } catch (const FileError&) {
    }
    return path + ", line " + std::to_string(line) + ": ";
}

// SIGINT and SIGTERM are taken by a thread of their own (a signal handler could do nothing of
// this safely). The first stops the running models, which end the command as a failed run that
// keeps what it computed; without a model running, or at a second signal, the temporary files are
// removed and the program ends at once.
void HandleTerminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&signals, signal);
    }
    if (pthread_sigmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return;
    }
    std::thread([signals] {
        bool stopRequested = false;
        for (;;) {
            int signal = 0;
            if (sigwait(&signals, &signal) != 0) {
                continue;
            }
            bool stopped = false;
            if (!stopRequested) {
                const std::lock_guard<std::mutex> lock(ControlsMutex());
                if (!SignalledControls().empty() || SignalledModels().hasModels()) {
                    stopped = true;
                    stopSignal.store(signal);
                    for (RunControl* control : SignalledControls()) {
                        control->requestStop();
                    }
                    SignalledModels().requestStop();
                }
            }
            if (stopped) {
                stopRequested = true;
                continue;
            }
            RunSignalCleanups();
            RemoveUnfinishedTemporaryFiles();
            std::_Exit(128 + signal);
        }
    }).detach();
}

}  // namespace

Arguments::Arguments(const std::vector<std::string>& words,
                     const std::vector<OptionSpec>& allowed) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        std::string word = words[i];
        // "--name" and "-x" are options; anything else ("-", "-1.5", "model.mod") is positional.
        const bool option =
            word.rfind("--", 0) == 0 || (word.size() == 2 && word[0] == '-' &&
                                         std::isalpha(static_cast<unsigned char>(word[1])));
        if (optionsEnded || !option) {
            positional_.push_back(word);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        std::optional<std::string> inlineValue;
        if (const std::size_t equals = word.find('=');
            word[1] == '-' && equals != std::string::npos) {
            inlineValue = word.substr(equals + 1);
            word.resize(equals);
        }
        const OptionSpec* definition = FindOption(allowed, word);
        if (definition == nullptr) {
            throw UsageError("unknown option '" + word + "'");
        }
        std::string value;
        if (!definition->valueName.empty()) {
            if (inlineValue) {
                value = *inlineValue;
            } else if (i + 1 < words.size()) {
                value = words[++i];
            } else {
                throw UsageError("option " + word + " needs a value " + definition->valueName);
            }
        } else if (inlineValue) {
            throw UsageError("option " + word + " takes no value");
        }
        auto& slot = values_[word];
        if (!slot.empty() && !definition->repeatable) {
            throw UsageError("option " + word + " given twice");
        }
        slot.push_back(value);
        given_.emplace_back(word, value);
        if (!definition->valueName.empty()) {
            optionHasValue_.insert(word);
        }
    }
}

std::vector<std::string> Arguments::wordsWithout(const std::vector<std::string>& left) const {
    std::vector<std::string> options;
    for (const auto& [name, value] : given_) {
        if (std::find(left.begin(), left.end(), name) != left.end()) {
            continue;
        }
        options.push_back(name);
        // A switch has no value word; an option with a value always has one, even an empty one.
        if (optionHasValue_.count(name) != 0) {
            options.push_back(value);
        }
    }
    const bool optionLike =
        std::any_of(positional_.begin(), positional_.end(),
                    [](const std::string& word) { return !word.empty() && word[0] == '-'; });
    std::vector<std::string> words;
    if (optionLike) {
        words = options;
        words.push_back("--");
        words.insert(words.end(), positional_.begin(), positional_.end());
    } else {
        words = positional_;
        words.insert(words.end(), options.begin(), options.end());
    }
    return words;
}

std::optional<std::string> Arguments::value(const std::string& name) const {
    const auto found = values_.find(name);
    if (found == values_.end()) {
        return std::nullopt;
    }
    return found->second.back();
}

std::vector<std::string> Arguments::values(const std::string& name) const {
    const auto found = values_.find(name);
    return found == values_.end() ? std::vector<std::string>() : found->second;
}

std::int64_t Arguments::integer(const std::string& name, std::int64_t fallback,
                                std::int64_t minimum, std::int64_t maximum) const {
    const auto text = value(name);
    if (!text) {
        return fallback;
    }
    std::int64_t number = 0;
    try {
        number = ParseCount(*text);
    } catch (const ConversionError& error) {
        throw UsageError(name + ": " + error.what());
    }
    if (number < minimum || number > maximum) {
        throw UsageError("option " + name + " must lie between " + std::to_string(minimum) +
                         " and " + std::to_string(maximum) + ", not " + *text);
    }
    return number;
}

Extended Arguments::number(const std::string& name, Extended fallback) const {
    const auto text = value(name);
    try {
        return text ? ParseFloat(*text) : fallback;
    } catch (const ConversionError& error) {
        throw UsageError(name + ": " + error.what());
    }
}

void Arguments::requirePositional(std::size_t count, const std::string& names) const {
    if (positional_.size() != count) {
        throw UsageError("expected " + names + (positional_.size() < count ? "" : " only") +
                         (positional_.empty() ? "" : ", got '" + NameList(positional_) + "'"));
    }
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    while (true) {
        const std::size_t at = text.find(separator, from);
        parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
        if (at == std::string::npos) {
            return parts;
        }
        from = at + 1;
    }
}

const std::vector<OptionSpec>& CommonOptions() {
    static const std::vector<OptionSpec> options = {
        {"--set", "NAME=VALUE", "set a parameter or an initial value (repeatable)", true},
        {"--par", "FILE.par", "load initial and parameter values from a parameter file"},
        {"--step-size", "H", "Runge-Kutta step size of a continuous model"},
        {"--method", "METHOD",
         "integrator of a continuous model: rk3 (default), rk4 or dopri5 (adaptive, sampled at "
         "the step size)"},
        {"--tolerance", "T", "absolute and relative tolerance of dopri5 (default 1e-8)"},
        {"--noise-variable", "NAME", "variable that receives the noise (default: the first)"},
        {"--noise-type", "TYPE", "normal (default) or uniform"},
        {"--noise-level", "L", "standard deviation; a positive level switches noise on"},
        {"--noise-probability", "P", "probability of noise at an eligible step (default 1)"},
        {"--noise-period", "K", "noise is eligible every K-th step, 1 to 1000 (default 1)"},
        {"--noise-wiener", "",
         "continuous models: scale each addition by the square root of the step, so the variance "
         "per unit of time is L squared whatever the step size (a Wiener process)"},
        {"--seed", "S", "seed the random generator with S: identical output on every run"},
        {"-o", "FILE", "write the output to FILE instead of standard output"},
        {"--memory-limit", "MIB",
         "most memory the model may use, in MiB (default 1024); beyond it the model fails"},
    };
    return options;
}

void CliPrompts::error(const std::string& message) {
    ++errors_;
    if (message != last_) {
        std::cerr << "kalvora-cli: " << message << std::endl;
        last_ = message;
    }
}

void CliPrompts::information(const std::string& message) {
    std::cerr << "kalvora-cli: " << message << std::endl;
}

bool CliPrompts::confirm(const std::string&) {
    return false;
}

std::optional<std::string> CliPrompts::chooseOpenFile(const FileRequest&) {
    return std::nullopt;
}

std::optional<std::string> CliPrompts::chooseSaveFile(const FileRequest&, int*) {
    return std::nullopt;
}

int CliPrompts::takeErrorCount() {
    const int count = errors_;
    errors_ = 0;
    last_.clear();
    return count;
}

void StderrProgress::start(long long maximum) {
    maximum_ = maximum;
    shownPercent_ = -1;
    active_ = ::isatty(STDERR_FILENO) != 0 && maximum > 0;
}

void StderrProgress::setPosition(long long position) {
    if (!active_) {
        return;
    }
    const int percent = static_cast<int>(position * 100 / maximum_);
    if (percent != shownPercent_) {
        shownPercent_ = percent;
        std::fprintf(stderr, "\r%3d%%", percent);
        std::fflush(stderr);
    }
}

void StderrProgress::finish() {
    if (active_ && shownPercent_ >= 0) {
        std::fprintf(stderr, "\r    \r");
        std::fflush(stderr);
    }
    active_ = false;
}

CliRunControl::CliRunControl() : RunControl(progress_) {
    const std::lock_guard<std::mutex> lock(ControlsMutex());
    SignalledControls().push_back(this);
}

CliRunControl::~CliRunControl() {
    const std::lock_guard<std::mutex> lock(ControlsMutex());
    std::erase(SignalledControls(), this);
}

int StoppedResult(ModelSession& session, Output& output) {
    output.commit();
    session.prompts.error(kModelStoppedMessage);
    session.prompts.takeErrorCount();
    return kExitModelFailed;
}

int StopSignal() {
    return stopSignal.load();
}

SignalCleanup::SignalCleanup(std::function<void()> cleanup) {
    static std::size_t next = 0;
    std::lock_guard lock(CleanupMutex());
    id_ = next++;
    Cleanups()[id_] = std::move(cleanup);
}

SignalCleanup::~SignalCleanup() {
    std::lock_guard lock(CleanupMutex());
    Cleanups().erase(id_);
}

ModelSession::ModelSession() {
    ws.prompts = &prompts;
}

ModelSession::~ModelSession() = default;

ModelEvaluator& ModelSession::model() {
    if (!model_) {
        model_ = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState, &prompts,
                                                  &SignalledModels());
    }
    return *model_;
}

bool ModelSession::failed() const {
    return model_ && model_->errorFlag;
}

bool CliModelShell::runModelCheck(const std::function<void(RunControl* control)>& check) {
    check(&SignalledModels());
    return true;
}

bool IsLyapunovMethodName(const std::string& name) {
    return name == "two-trajectories" || name == "tangent";
}

void PrepareModel(ModelSession& session, const Arguments& arguments,
                  const std::vector<std::string>& moreOutputs) {
    if (arguments.positional().empty()) {
        throw UsageError("expected a model file MODEL.mod");
    }
    const std::string& modelPath = arguments.positional()[0];
    std::vector<std::string> inputs = {modelPath};
    if (const auto par = arguments.value("--par")) {
        inputs.push_back(*par);
    }
    // Every file the command may write, checked against the inputs and each other before anything
    // runs.
    std::vector<std::string> outputs;
    if (const auto target = arguments.value("-o"); target && *target != "-") {
        outputs.push_back(*target);
    }
    for (const char* option : {"--png", "--curve", "--attractor-file"}) {
        if (const auto file = arguments.value(option)) {
            outputs.push_back(*file);
        }
    }
    outputs.insert(outputs.end(), moreOutputs.begin(), moreOutputs.end());
    RefuseOutputsOverInputs(inputs, outputs);
    ModelWorkspace& ws = session.ws;
    const std::size_t memoryLimit =
        static_cast<std::size_t>(arguments.integer("--memory-limit", 1024, 1, 1 << 20)) << 20;
    ReplaceModel(ws, [&](ModelDefinition& model) { model.memoryLimit = memoryLimit; });
    try {
        LoadModelFromFile(ws, session.source, session.shell, modelPath);
    } catch (const ConversionError& error) {
        throw ConversionError(WhereInFile(modelPath, {0, 1}, 4) + error.what());
    } catch (const ModelRefusedError& refusal) {
        // A script that does not compile is a bad input, refused like a bad number; one whose top
        // level failed while it ran (stopped, out of memory, a run-time error) failed as a run
        // does.
        if (refusal.scriptStatus == 0) {
            throw ModelRefusedError(
                ModelRefusal{WhereInFile(modelPath, {0, 1}, 4) + refusal.what(), 0, {}, 0});
        }
        if (refusal.scriptStatus == LUA_ERRSYNTAX) {
            // The file, and Lua's words on the equation line it failed on.
            std::string message = modelPath + ": " + refusal.what();
            if (!refusal.details.empty()) {
                message += ": " + refusal.details;
            }
            throw ModelRefusedError(ModelRefusal{message, refusal.scriptStatus, {}, 0});
        }
        session.prompts.error(refusal.what());
        throw ReportedModelFailure();
    }
    if (const auto par = arguments.value("--par")) {
        // Its errors name the file and the line themselves.
        ReadParameterFile(ws, *par);
    }
    for (const std::string& assignment : arguments.values("--set")) {
        ApplySet(ws, assignment);
    }
    if (arguments.has("--step-size")) {
        const Extended stepSize = arguments.number("--step-size", ws.model().stepSize);
        // A discrete model steps by whole iterations; taking the option silently would let the
        // user believe the run used it.
        if (ws.model().discrete) {
            throw UsageError("--step-size: " + ws.model().modelName +
                             " is a discrete model; a step size applies only to continuous models");
        }
        ReplaceModel(ws, [&](ModelDefinition& model) { model.stepSize = stepSize; });
    }
    // `lyapunov` also names its way of measuring the exponent with --method; those values are
    // its own, and the others name the integrator.
    std::optional<std::string> integratorName;
    for (const std::string& name : arguments.values("--method")) {
        if (!session.lyapunovMethods || !IsLyapunovMethodName(name)) {
            integratorName = name;
        }
    }
    if (integratorName || arguments.has("--tolerance")) {
        // As with the step size: a map has no integrator, and silence would mislead.
        if (ws.model().discrete) {
            throw UsageError((integratorName ? "--method: " : "--tolerance: ") +
                             ws.model().modelName +
                             " is a discrete model; an integrator applies only to continuous "
                             "models");
        }
        Integration integration = ws.model().integration;
        if (integratorName) {
            const auto method = IntegrationMethodFromName(*integratorName);
            if (!method) {
                throw UsageError("--method: expected rk3, rk4 or dopri5" +
                                 std::string(session.lyapunovMethods
                                                 ? " (or two-trajectories or tangent)"
                                                 : "") +
                                 ", got '" + *integratorName + "'");
            }
            integration.method = *method;
        }
        if (arguments.has("--tolerance")) {
            if (integration.method != IntegrationMethod::DormandPrince) {
                throw UsageError("--tolerance: only the adaptive method dopri5 takes a tolerance");
            }
            integration.tolerance = arguments.number("--tolerance", integration.tolerance);
            if (!(integration.tolerance > 0 && integration.tolerance < 1)) {
                throw UsageError("--tolerance: expected a number between 0 and 1, got " +
                                 *arguments.value("--tolerance"));
            }
        }
        ReplaceModel(ws, [&](ModelDefinition& model) { model.integration = integration; });
    }
    // From the model file, the parameter file or the option alike: a step that does not advance
    // time would never end a run.
    if (!ws.model().discrete && !(ws.model().stepSize > 0 && std::isfinite(ws.model().stepSize))) {
        throw UsageError("the step size must be a positive number, not " +
                         FormatGeneral(ws.model().stepSize, 15));
    }
    ApplyNoiseOptions(ws, arguments);
    session.prompts.takeErrorCount();
}

void RefuseOutputsOverInputs(const std::vector<std::string>& inputs,
                             const std::vector<std::string>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (const std::string& input : inputs) {
            if (SameFile(outputs[i], input)) {
                throw UsageError("the output '" + outputs[i] + "' would replace the input '" +
                                 input + "'");
            }
        }
        for (std::size_t j = 0; j < i; ++j) {
            if (SameFile(outputs[i], outputs[j])) {
                throw UsageError("the outputs '" + outputs[j] + "' and '" + outputs[i] +
                                 "' are the same file");
            }
        }
    }
}

RunControl& SignalledModels() {
    static NullProgress progress;
    static RunControl control(progress);
    return control;
}

Output::Output(const Arguments& arguments) {
    if (const auto path = arguments.value("-o"); path && *path != "-") {
        file_ = std::make_unique<AtomicFileWriter>(*path);
        name_ = *path;
    } else {
        name_ = "standard output";
    }
}

void Output::finish() {
    if (file_) {
        file_->finish();
    }
}

std::ostream& Output::stream() {
    return file_ ? file_->stream() : std::cout;
}

void Output::commit() {
    if (file_) {
        file_->commit();
        return;
    }
    std::cout.flush();
    if (!std::cout) {
        throw FileError("Cannot write standard output");
    }
}

int RunResult(ModelSession& session) {
    const int messages = session.prompts.takeErrorCount();
    if (!session.failed()) {
        return kExitSuccess;
    }
    if (messages == 0) {
        std::cerr << "kalvora-cli: Overflow" << std::endl;
    }
    return kExitModelFailed;
}

std::vector<std::string> VariableNames(const ModelWorkspace& ws, bool withAuxiliaries) {
    const int count =
        std::min(ws.model().variableCount + (withAuxiliaries ? ws.model().auxiliaryCount : 0),
                 kModelListCapacity);
    return std::vector<std::string>(ws.model().variableNames.begin(),
                                    ws.model().variableNames.begin() + count);
}

void RegisterCommand(Command command) {
    std::string name = command.name;
    Registry()[name] = std::move(command);
}

const std::map<std::string, Command>& Commands() {
    return Registry();
}

int Main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    HandleTerminationSignals();
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        std::cout << GeneralHelp();
        if (!FlushStandardOutput()) {
            return kExitUsage;
        }
        return words.empty() ? kExitUsage : kExitSuccess;
    }
    const auto found = Commands().find(words[0]);
    if (found == Commands().end()) {
        std::cerr << "kalvora-cli: unknown command '" << words[0]
                  << "'\nTry 'kalvora-cli --help' for the list of commands.\n";
        return kExitUsage;
    }
    const Command& command = found->second;
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
        std::cout << CommandHelp(command);
        return FlushStandardOutput() ? kExitSuccess : kExitUsage;
    }
    try {
        std::vector<OptionSpec> allowed = command.options;
        if (command.commonOptions) {
            allowed.insert(allowed.end(), CommonOptions().begin(), CommonOptions().end());
        }
        const Arguments arguments(rest, allowed);
        return command.run(arguments);
    } catch (const UsageError& error) {
        std::cerr << "kalvora-cli " << command.name << ": " << error.what() << "\nTry 'kalvora-cli "
                  << command.name << " --help'.\n";
    } catch (const ReportedError&) {
    } catch (const ReportedModelFailure&) {
        return kExitModelFailed;
    } catch (const std::exception& error) {
        std::cerr << "kalvora-cli: " << error.what() << "\n";
    }
    return kExitUsage;
}

}  // namespace kalvora::cli
