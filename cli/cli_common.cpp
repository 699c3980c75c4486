#include "cli/cli_common.h"

#include <unistd.h>

#include <atomic>
#include <csignal>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>

#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/noise.h"
#include "core/numbers.h"
#include "core/parameter_file.h"

namespace kalvora::cli {
namespace {

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
        "'kalvora-cli COMMAND --help' describes one command.\n";
    return text;
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
    for (int i = 0; i < ws.variableCount; ++i) {
        if (ws.variableNames[i] == name) {
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
    const Extended value = ParseFloat(assignment.substr(equals + 1));
    bool found = false;
    for (int i = 0; i < ws.variableCount; ++i) {
        if (ws.variableNames[i] == name) {
            ws.initialValues[i] = value;
            found = true;
        }
    }
    std::vector<std::string> parameters;
    for (int j = 0; j < ws.parameterCount; ++j) {
        parameters.push_back(ws.parameterNames[j]);
        if (ws.parameterNames[j] == name) {
            ws.parameterValues[j] = value;
            found = true;
        }
    }
    if (!found) {
        throw UsageError("--set: the model has no variable or parameter '" + name +
                         "' (variables: " + NameList(VariableNames(ws, false)) +
                         "; parameters: " + NameList(parameters) + ")");
    }
}

void ApplyNoiseOptions(ModelWorkspace& ws, const Arguments& arguments) {
    NoiseSettings& noise = ws.noise;
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
    noise.noisePeriod = static_cast<std::int32_t>(arguments.integer("--noise-period", 1, 1, 1000));
    noise.noiseCounter = 0;
    noise.noiseOn = noise.noiseLevel > 0;
    // Without a level the other noise options would be dropped without a word, and the output
    // would look like a noisy run that is none.
    if (!arguments.has("--noise-level")) {
        for (const char* option :
             {"--noise-variable", "--noise-type", "--noise-probability", "--noise-period"}) {
            if (arguments.has(option)) {
                throw UsageError(std::string(option) +
                                 " needs --noise-level L; a positive level switches noise on");
            }
        }
    }
    std::optional<std::int32_t> seed;
    if (const auto text = arguments.value("--seed")) {
        seed = ParseInteger(*text);
    }
    noise.fixSeedForEachRun = seed.has_value();
    if (noise.noiseOn || seed) {
        SeedNoise(ws, seed);
    }
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
    }
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
    const std::int64_t number = ParseInteger(*text);
    if (number < minimum || number > maximum) {
        throw UsageError("option " + name + " must lie between " + std::to_string(minimum) +
                         " and " + std::to_string(maximum) + ", not " + *text);
    }
    return number;
}

Extended Arguments::number(const std::string& name, Extended fallback) const {
    const auto text = value(name);
    return text ? ParseFloat(*text) : fallback;
}

void Arguments::requirePositional(std::size_t count, const std::string& names) const {
    if (positional_.size() != count) {
        throw UsageError("expected " + names + (positional_.size() < count ? "" : " only") +
                         (positional_.empty() ? "" : ", got '" + NameList(positional_) + "'"));
    }
}

const std::vector<OptionSpec>& CommonOptions() {
    static const std::vector<OptionSpec> options = {
        {"--set", "NAME=VALUE", "set a parameter or an initial value (repeatable)", true},
        {"--par", "FILE.par", "load initial and parameter values from a parameter file"},
        {"--step-size", "H", "Runge-Kutta step size of a continuous model"},
        {"--noise-variable", "NAME", "variable that receives the noise (default: the first)"},
        {"--noise-type", "TYPE", "normal (default) or uniform"},
        {"--noise-level", "L", "standard deviation; a positive level switches noise on"},
        {"--noise-probability", "P", "probability of noise at an eligible step (default 1)"},
        {"--noise-period", "K", "noise is eligible every K-th step, 1 to 1000 (default 1)"},
        {"--seed", "S", "seed the random generator with S: identical output on every run"},
        {"-o", "FILE", "write the output to FILE instead of standard output"},
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

namespace {

// The control that a termination signal stops. Setting its request is one lock-free atomic store,
// which a signal handler may do.
std::atomic<RunControl*> signalledControl{nullptr};

void RequestStopOnSignal(int) {
    if (RunControl* control = signalledControl.load()) {
        control->requestStop();
    }
}

constexpr int kStopSignals[] = {SIGINT, SIGTERM};

}  // namespace

CliRunControl::CliRunControl() : RunControl(progress_) {
    signalledControl.store(this);
    struct sigaction action {};
    action.sa_handler = RequestStopOnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (const int signalNumber : kStopSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
}

CliRunControl::~CliRunControl() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signalNumber : kStopSignals) {
        ::sigaction(signalNumber, &action, nullptr);
    }
    signalledControl.store(nullptr);
}

int StoppedResult() {
    std::cerr << "kalvora-cli: stopped" << std::endl;
    return kExitStopped;
}

ModelSession::ModelSession() {
    ws.prompts = &prompts;
}

void PrepareModel(ModelSession& session, const Arguments& arguments) {
    if (arguments.positional().empty()) {
        throw UsageError("expected a model file MODEL.mod");
    }
    ModelWorkspace& ws = session.ws;
    // A script that does not compile is refused with its message, like a bad number, and with the
    // file and the equation line it failed on: the user may have named several models.
    const std::string& modelPath = arguments.positional()[0];
    try {
        LoadModelFromFile(ws, session.source, session.shell, modelPath);
    } catch (const ModelRefusedError& refusal) {
        std::string message = modelPath + ": " + refusal.what();
        if (!refusal.details.empty()) {
            message += ": " + refusal.details;
        }
        throw std::runtime_error(message);
    }
    if (const auto par = arguments.value("--par")) {
        ReadParameterFile(ws, *par);
    }
    for (const std::string& assignment : arguments.values("--set")) {
        ApplySet(ws, assignment);
    }
    if (arguments.has("--step-size")) {
        const Extended stepSize = arguments.number("--step-size", ws.stepSize);
        // A discrete model steps by whole iterations; taking the option silently would let the
        // user believe the run used it.
        if (ws.discrete) {
            throw UsageError("--step-size: " + ws.modelName +
                             " is a discrete model; a step size applies only to continuous models");
        }
        ws.stepSize = stepSize;
    }
    ApplyNoiseOptions(ws, arguments);
    session.prompts.takeErrorCount();
    ws.errorFlag = false;
}

Output::Output(const Arguments& arguments) {
    if (const auto path = arguments.value("-o"); path && *path != "-") {
        file_ = std::make_unique<AtomicFileWriter>(*path);
        name_ = *path;
    } else {
        name_ = "standard output";
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
    if (!session.ws.errorFlag) {
        return kExitSuccess;
    }
    if (messages == 0) {
        std::cerr << "kalvora-cli: Overflow" << std::endl;
    }
    return kExitModelFailed;
}

std::vector<std::string> VariableNames(const ModelWorkspace& ws, bool withAuxiliaries) {
    const int count =
        std::min(ws.variableCount + (withAuxiliaries ? ws.auxiliaryCount : 0), kModelListCapacity);
    return std::vector<std::string>(ws.variableNames.begin(), ws.variableNames.begin() + count);
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
    const std::vector<std::string> words(argv + 1, argv + argc);
    if (words.empty() || words[0] == "--help" || words[0] == "-h" || words[0] == "help") {
        std::cout << GeneralHelp();
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
        return kExitSuccess;
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
    } catch (const std::exception& error) {
        std::cerr << "kalvora-cli: " << error.what() << "\n";
    }
    return kExitUsage;
}

}  // namespace kalvora::cli
