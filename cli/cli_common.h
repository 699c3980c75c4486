#pragma once

// The shared machinery of kalvora-cli's sub-commands: registration, option parsing, loading the
// model with the common options, output to a file or standard output, and exit codes. A sub-command
// is one file in cli/commands/ that defines a static CommandRegistrar.

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/model_file.h"
#include "core/model_shell.h"
#include "core/model_workspace.h"
#include "core/progress.h"
#include "core/prompts.h"
#include "core/run_control.h"
#include "core/text_file.h"

namespace kalvora::cli {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitModelFailed = 1,  // the model failed during the run; what was computed is written
    kExitUsage = 2,        // bad usage, bad numbers, unreadable files
    kExitStopped = 130,    // a second SIGINT ended the program at once
};

// Bad command-line usage; reported with a hint to --help, exit code 2.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A failure whose message has already been printed (a compile message); exit code 2.
class ReportedError : public std::runtime_error {
  public:
    ReportedError() : std::runtime_error("") {}
};

// The model failed while its file was loaded (its top level ran away, ran out of memory or failed)
// and the message has been printed; exit code 1, as for a failure during the run.
class ReportedModelFailure : public std::runtime_error {
  public:
    ReportedModelFailure() : std::runtime_error("") {}
};

// The batch tool's counts (iterations, transient steps, points, lines) may be anything a 64-bit
// count holds; the dialogs keep the ranges of their controls.
inline constexpr std::int64_t kLargestCount = std::numeric_limits<std::int64_t>::max();

struct OptionSpec {
    std::string name;       // "--length", "-o"
    std::string valueName;  // "N"; empty for a switch without value
    std::string help;
    bool repeatable = false;
};

// The command line of one sub-command: positional arguments and the given options, checked against
// the sub-command's options and the common ones.
class Arguments {
  public:
    Arguments(const std::vector<std::string>& words, const std::vector<OptionSpec>& allowed);

    const std::vector<std::string>& positional() const { return positional_; }
    bool has(const std::string& name) const { return values_.count(name) != 0; }
    std::optional<std::string> value(const std::string& name) const;
    std::vector<std::string> values(const std::string& name) const;

    // The option's integer value (or the fallback when absent), checked against [minimum, maximum].
    std::int64_t integer(const std::string& name, std::int64_t fallback, std::int64_t minimum,
                         std::int64_t maximum) const;
    // The option's number (or the fallback when absent).
    Extended number(const std::string& name, Extended fallback) const;

    // Exactly `count` positional arguments, named in the message (e.g. "MODEL").
    void requirePositional(std::size_t count, const std::string& names) const;

    // The command line again, without the options named in `left`, in a form that reads back to
    // the same arguments: every option as its name and its value, in the order given, with the
    // positional arguments first (or after "--" when one of them looks like an option).
    std::vector<std::string> wordsWithout(const std::vector<std::string>& left) const;

  private:
    std::vector<std::string> positional_;
    // Every option given, in order, with its value (empty for a switch).
    std::vector<std::pair<std::string, std::string>> given_;
    std::set<std::string> optionHasValue_;
    std::map<std::string, std::vector<std::string>> values_;
};

// The pieces of an option's value between separators ("x=-2:2,y=-2:2" at ','), empty pieces
// kept so that a missing value is refused by the caller, not skipped.
std::vector<std::string> Split(const std::string& text, char separator);

// --set, --par, --step-size, the noise options, --seed and -o.
const std::vector<OptionSpec>& CommonOptions();

// Script messages go to standard error, once per run of identical messages in a row (a continuous
// step may report the same error three times). File dialogs are cancelled and questions refused.
class CliPrompts : public Prompts {
  public:
    void error(const std::string& message) override;
    void information(const std::string& message) override;
    bool confirm(const std::string& message) override;
    std::optional<std::string> chooseOpenFile(const FileRequest& request) override;
    std::optional<std::string> chooseSaveFile(const FileRequest& request,
                                              int* chosenFilter = nullptr) override;
    // Errors reported since the last call (and resets the count).
    int takeErrorCount();

  private:
    std::string last_;
    int errors_ = 0;
};

// A progress bar on standard error, shown only when standard error is a terminal.
class StderrProgress : public Progress {
  public:
    void start(long long maximum) override;
    void setPosition(long long position) override;
    void finish() override;

  private:
    long long maximum_ = 0;
    int shownPercent_ = -1;
    bool active_ = false;
};

// The batch tool's run control: the bar above on standard error, and a stop that SIGINT and SIGTERM
// request while the control exists. A signal also interrupts every model registered with
// SignalledModels() wherever it is, so a model stuck inside one step stops too.
class CliRunControl final : public RunControl {
  public:
    CliRunControl();
    ~CliRunControl();
    CliRunControl(const CliRunControl&) = delete;
    CliRunControl& operator=(const CliRunControl&) = delete;

  private:
    StderrProgress progress_;
};

// The models that SIGINT and SIGTERM stop: ModelSession makes its evaluator with it, and a model's
// top level runs under it while the file loads; evaluators made for workers need a RunningModel
// of their own (or the run's control). The run then keeps what it computed and the command
// ends with "the model was stopped" and exit code 1. Without a model or control to stop, or at a
// second signal, the program removes its unfinished temporary files and ends at once.
RunControl& SignalledModels();

// The signal (SIGINT, SIGTERM or SIGHUP) that requested the stop, or 0 when none came.
int StopSignal();

// Work to undo when a second signal (or a first without a run to stop) ends the program at once,
// such as a child process to end or a scratch folder to remove; registered while this lives. It
// runs on the signal thread, just before the program exits.
class SignalCleanup {
  public:
    explicit SignalCleanup(std::function<void()> cleanup);
    ~SignalCleanup();
    SignalCleanup(const SignalCleanup&) = delete;
    SignalCleanup& operator=(const SignalCleanup&) = delete;

  private:
    std::size_t id_;
};

// The batch tool has no windows; a model's top level runs here while the file loads, stopped by
// the termination signals.
class CliModelShell final : public NullModelShell {
  public:
    bool runModelCheck(const std::function<void(RunControl* control)>& check) override;
};

// One loaded model with everything a sub-command needs around it.
// The values of lyapunov's --method that name the way of measuring, not the integrator.
bool IsLyapunovMethodName(const std::string& name);

struct ModelSession {
    ModelSession();
    ~ModelSession();
    ModelSession(const ModelSession&) = delete;
    ModelSession& operator=(const ModelSession&) = delete;

    ModelWorkspace ws;
    ModelSource source;
    CliModelShell shell;
    CliPrompts prompts;

    // The evaluator the command runs on, on this thread: made at the first call from the model as
    // prepared (PrepareModel, then ReseedIfFixed), with the session's prompts; the termination
    // signals stop it wherever it is.
    ModelEvaluator& model();
    // The command reads --method two-trajectories|tangent itself (lyapunov); any other --method
    // value names the integrator.
    bool lyapunovMethods = false;
    // A model step of the run failed (errorFlag of the evaluator).
    bool failed() const;

  private:
    std::unique_ptr<ModelEvaluator> model_;
};

// Loads the model file (the first positional argument) and applies, in this order, --par, --set,
// --step-size and the noise options with --seed. Throws UsageError, FileError, ParameterFileError,
// ConversionError, DefinitionError, or ModelRefusedError when the model is refused. First refuses
// (UsageError) outputs that would replace an input or each other: -o, --png, --curve,
// --attractor-file and moreOutputs (files whose names the command makes, such as class files).
void PrepareModel(ModelSession& session, const Arguments& arguments,
                  const std::vector<std::string>& moreOutputs = {});

// Where the result goes: the file named by -o (replaced only once the output is complete) or
// standard output.
class Output {
  public:
    explicit Output(const Arguments& arguments);
    std::ostream& stream();
    // Makes the file complete without replacing the target yet (see AtomicFileWriter::finish).
    void finish();
    // Finishes the file or flushes standard output; throws FileError on a write failure.
    void commit();
    const std::string& name() const { return name_; }

  private:
    std::unique_ptr<AtomicFileWriter> file_;
    std::string name_;
};

// After a run that a signal stopped: writes what was computed, reports "the model was stopped"
// (once) and returns kExitModelFailed.
int StoppedResult(ModelSession& session, Output& output);

// Refuses (UsageError, exit code 2) outputs that would replace an input or each other: -o or the
// picture naming the model, the parameter file or a data file read, or the picture naming -o.
void RefuseOutputsOverInputs(const std::vector<std::string>& inputs,
                             const std::vector<std::string>& outputs);

// The exit code after a run: 1 when the evaluator's errorFlag is set, printing "Overflow" unless a
// script message was printed during the run; otherwise 0.
int RunResult(ModelSession& session);

// Names of the model's variables (then auxiliaries when asked) in order: "x y z".
std::vector<std::string> VariableNames(const ModelWorkspace& ws, bool withAuxiliaries);

struct Command {
    std::string name;
    std::string summary;  // one line for --help
    std::string usage;    // "MODEL.mod --length N [--start S] [--every K]"
    std::vector<OptionSpec> options;
    bool commonOptions = true;  // accepts the model options of CommonOptions()
    std::function<int(const Arguments&)> run;
};

void RegisterCommand(Command command);
const std::map<std::string, Command>& Commands();

struct CommandRegistrar {
    explicit CommandRegistrar(Command command) { RegisterCommand(std::move(command)); }
};

// The whole program: dispatch, help, error reporting and exit codes.
int Main(int argc, char** argv);

}  // namespace kalvora::cli
