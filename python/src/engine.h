#pragma once

// The Python module's one door into the model core and the analyses: loading a model, keeping its
// values, and running each analysis exactly as the batch tool's command does. Nothing here knows
// Python, and only engine_model.cpp (the model) and engine_runs.cpp (the analyses) know the core's
// types, so a change of the core's interface is mended there alone.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace kalvora {
struct ModelWorkspace;
struct ModelSource;
class RunControl;
}  // namespace kalvora

namespace kalvora::python {

// The model failed during a run (a script error, an arithmetic fault, the memory cap), or its
// script was refused when it was loaded. `line` is the equation line Lua named (0: none).
class ModelFailure : public std::runtime_error {
  public:
    ModelFailure(const std::string& message, int line) : std::runtime_error(message), line(line) {}
    int line;
};

// Bad settings, with the batch tool's words: ValueError in Python.
class BadArgument : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// A file that cannot be read or written: OSError in Python.
class FileProblem : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// What a run produced and how it ended. Numbers are doubles, as a plot series holds them.
struct Columns {
    std::vector<std::vector<double>> columns;  // each column as long as the others
    bool failed = false;
    bool stopped = false;
    std::string message;  // the script's first message, or "" for an arithmetic fault
    int line = 0;
    std::string note;  // what the caller should be warned of (values a sweep left out), or ""
};

// A row-major table (an orbit: one row per sampled iterate).
struct Table {
    std::vector<double> values;
    std::size_t columnCount = 0;
    bool failed = false;
    bool stopped = false;
    std::string message;
    int line = 0;
};

struct ScanResult {
    std::vector<std::int32_t> classes;  // rows x columns, row 0 the top of the picture
    int rows = 0;
    int columns = 0;
    std::vector<double> horizontal;      // the columns' values
    std::vector<double> vertical;        // the rows' values, the top row first
    std::vector<std::uint32_t> colours;  // 0x00RRGGBB per class
    bool stopped = false;
    std::string message;  // the first script message a pixel's orbit gave ("" when none)
};

struct StatisticsResult {
    std::string series;
    long long count = 0;
    // mean, median, maximum, minimum, standard deviation, variance, skewness, kurtosis; nothing
    // where the sample does not define the figure
    std::vector<std::optional<double>> figures;
    std::vector<std::string> figureTexts;  // as the window and the batch tool print them
    std::vector<double> sample;            // ascending
    std::vector<long long> histogram;      // the window's 20 bins
    bool failed = false;
    bool stopped = false;
    std::string message;
    int line = 0;
};

// Numbers arrive as text ("1.4", "-2e-3") and are read as the desktop reads a typed value, in
// extended precision: a Python float passes as its shortest decimal, the value the user wrote.
struct NoiseOptions {
    std::string level = "0";
    int variable = 1;  // 1-based
    bool uniform = false;
    std::string probability = "1";
    int period = 1;
    std::optional<std::int32_t> seed;
    bool wiener = false;  // scaled by the square root of the step (continuous models)
};

struct OrbitOptions {
    long long count = 0;
    long long start = 1;
    long long every = 1;
};

struct SeriesOptions {  // timeseries, phase and delay
    int first = 1;      // 1-based state entries (variables, then auxiliaries)
    int second = 2;
    std::optional<long long> points;
    std::optional<long long> skip;
    std::optional<long long> every;
    std::optional<long long> delay;
    std::optional<std::string> delayTime;
    std::optional<std::string> from;
    std::optional<std::string> to;
};

struct CobwebOptions {
    std::string minimum = "0";
    std::string maximum = "1";
    int iterate = 1;
    std::string initial = "0.34";
    long long steps = 10;
};

struct ObjectOptions {
    int horizontal = 1;  // 1-based model variables
    int vertical = 2;
    bool circle = false;
    std::vector<std::vector<std::string>> vertices;  // one value per model variable
    std::string radius = "0.5";
    long long resolution = 100;
    long long steps = 1;
    int unplotted = 0;
    bool attractor = false;
    long long attractorPoints = 1000;
    long long attractorSkip = 1000;
};

struct SweepOptions {   // bifurcation and lyapunov
    int parameter = 1;  // 1-based
    int variable = 1;   // 1-based state entry (bifurcation)
    std::string minimum = "0";
    std::string maximum = "1.4";
    long long points = 100;  // bifurcation: plotted per value; lyapunov: iterations
    long long skip = 300;
    std::string epsilon = "0.001";            // lyapunov
    std::string method = "two-trajectories";  // lyapunov: or "tangent"
    // bifurcation of a continuous model: the section "NAME=VALUE[:up|down|both]" whose crossings
    // are plotted, or the local maxima of the variable; neither: every step
    std::optional<std::string> section;
    bool maxima = false;
    long long resolution = 600;
    bool carry = false;
    bool rightToLeft = false;
    // Leave out a value whose model fails and go on; the values left out are in Columns::note.
    bool skipFailures = false;
    int threads = 0;
};

struct ScanOptions {     // basins and periods
    int horizontal = 0;  // 0-based variable or parameter slots
    int vertical = 1;
    std::string horizontalMinimum, horizontalMaximum, verticalMinimum, verticalMaximum;
    int horizontalResolution = 0;
    int verticalResolution = 0;
    std::vector<std::pair<int, std::vector<std::string>>> cycles;  // basins: period and point
    std::vector<int> periods{1};                                   // periods
    int confirmations = 1;
    std::string epsilon = "0.001";
    long long transient = 200;
    int maxDistance = 1000;
    bool allDimensions = false;
    int threads = 0;
};

struct FixedPointOptions {
    // The box: a model variable (0-based) and its range, as texts.
    std::vector<std::tuple<int, std::string, std::string>> box;
    int firstPeriod = 1;
    int lastPeriod = 1;
    int grid = 20;
    std::string tolerance = "1e-10";
    int threads = 0;
};

// A cycle as the batch tool's fixedpoints lists it: its points (rows of all variables, in orbit
// order), the multipliers (a flow: the eigenvalues), stability and type.
struct FoundCycle {
    int period = 1;
    std::vector<double> points;  // rows x variables
    int rows = 0;
    int variables = 0;
    std::vector<std::complex<double>> eigenvalues;
    bool stable = false;
    std::string type;
    double trace = 0;
    double determinant = 0;
};

struct FixedPointResult {
    std::vector<FoundCycle> cycles;
    bool exact = true;    // exact derivatives, or central differences
    std::string message;  // the first script message a start gave ("" when none)
};

struct SpectrumOptions {
    long long iterations = 100000;
    long long skip = 1000;
    int parameter = 0;  // 1-based; 0: one run, no sweep
    std::string minimum = "0";
    std::string maximum = "1";
    long long resolution = 100;
    int threads = 0;
};

struct LyapunovMapOptions {
    int horizontal = 0;  // 0-based parameter slots, or variable slots where initial
    int vertical = 1;
    bool horizontalInitial = false;
    bool verticalInitial = false;
    std::string horizontalMinimum, horizontalMaximum, verticalMinimum, verticalMaximum;
    int horizontalResolution = 0;
    int verticalResolution = 0;
    long long iterations = 1000;
    long long skip = 300;
    int threads = 0;
};

struct PoincareOptions {
    std::string section;  // NAME=VALUE or a linear form of the variables
    std::string direction = "up";
    long long crossings = 1000;
    std::string skipTime = "0";
};

struct StatisticsOptions {
    int variable = 1;
    long long skip = 100;
    long long points = 100;
};

struct ContinuationOptions {
    int parameter = 1;  // 1-based
    std::string from = "0";
    std::string to = "1";
    std::vector<std::pair<int, std::string>> start;  // 0-based variable and its start value
    std::optional<std::string> startParameter;
    int period = 1;
    std::string step = "0.01";
    int maxPoints = 1000;
    int transient = 0;
    std::string tolerance = "1e-10";
    std::vector<std::string> switches;  // "PD", "BP"
};

// The points of the branches one per row (parameter, variables, 1 stable or 0 unstable) and the
// special points one per row (parameter, variables) with their labels, as the batch tool writes
// them; notes say why a branch ended early or there is none.
struct ContinuationResult {
    Table branch;
    Table special;
    std::vector<std::string> labels;
    std::vector<std::string> notes;
};

// Reads a number as the desktop does; BadArgument with its message when it is none.
double ReadNumber(const std::string& text);

// A value as the data files of the plot windows write it (10 decimals): what the batch tool writes
// for a value of a series.
std::string DataText(double value);

// One loaded model: its definition, its current values and the noise. Every run makes an evaluator
// of its own from the definition as it is when the run starts, so runs from several threads at
// once give what they give one after the other.
class Engine {
  public:
    static std::shared_ptr<Engine> FromFile(const std::string& path, std::size_t memoryLimitMiB);
    static std::shared_ptr<Engine> FromTexts(const std::string& initial,
                                             const std::string& parameters,
                                             const std::string& auxiliaries,
                                             const std::string& equations, bool discrete,
                                             const std::string& stepSize,
                                             std::size_t memoryLimitMiB);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    std::string name() const;
    std::string file() const;
    bool discrete() const;
    std::string equations() const;  // LF line ends
    std::vector<std::string> variableNames() const;
    std::vector<std::string> auxiliaryNames() const;
    std::vector<std::string> parameterNames() const;
    std::vector<double> parameterValues() const;
    std::vector<double> initialValues() const;  // variables, then auxiliaries
    double stepSize() const;
    // Their texts as the batch tool's info prints them (15 significant digits).
    std::vector<std::string> parameterTexts() const;
    std::vector<std::string> initialTexts() const;
    std::string stepSizeText() const;

    // All of them or none: each (index, text) is read before any is stored.
    void setParameters(const std::vector<std::pair<int, std::string>>& values);
    void setInitialValues(const std::vector<std::pair<int, std::string>>& values);
    void setStepSize(const std::string& text);
    void readParameterFile(const std::string& path);
    void writeParameterFile(const std::string& path) const;
    void setNoise(const NoiseOptions& noise);
    NoiseOptions noise() const;
    // A continuous model's integrator by the batch tool's name (rk3, rk4, dopri5) and, for dopri5,
    // its tolerance (empty: keep it); never stored in a model file.
    void setIntegrator(const std::string& method, const std::string& tolerance);
    std::pair<std::string, double> integrator() const;

    // The runs. Each may be stopped through control from another thread.
    Table orbit(const OrbitOptions& options, RunControl& control);
    Columns timeSeries(const SeriesOptions& options, RunControl& control);
    Columns phase(const SeriesOptions& options, RunControl& control);
    Columns delay(const SeriesOptions& options, RunControl& control);
    // staircase x, y; curve x, y; diagonal x, y
    Columns cobweb(const CobwebOptions& options, RunControl& control);
    // object x, y; attractor x, y
    Columns objects(const ObjectOptions& options, RunControl& control);
    Columns bifurcation(const SweepOptions& options, RunControl& control);
    Columns lyapunov(const SweepOptions& options, RunControl& control);
    // One row per crossing: the time, then the variables.
    Table poincare(const PoincareOptions& options, RunControl& control);
    ScanResult basins(const ScanOptions& options, RunControl& control);
    ScanResult periods(const ScanOptions& options, RunControl& control);
    StatisticsResult statistics(const StatisticsOptions& options, RunControl& control);
    ContinuationResult continuation(const ContinuationOptions& options, RunControl& control);
    FixedPointResult fixedPoints(const FixedPointOptions& options, RunControl& control);
    // One run: the exponents, largest first, and a column holding the Kaplan-Yorke dimension. A
    // sweep: the values and the exponents, N per value, largest first.
    Columns spectrum(const SpectrumOptions& options, RunControl& control);
    // The columns' values, the rows' values (the top row first) and the exponents row by row.
    Columns lyapunovMap(const LyapunovMapOptions& options, RunControl& control);

    // What the checks before a run need without a run: settings that cannot run are refused here
    // with BadArgument, in the caller's thread, before any worker is bothered.
    void checkSweep(const SweepOptions& options, bool lyapunov) const;

  private:
    class Lease;
    Engine();
    mutable std::mutex mutex_;
    // The model as loaded plus the values set since, and the noise sequence between runs; never
    // run. Each run makes its own evaluator from the definition, so runs from several threads
    // at once share nothing they change.
    std::unique_ptr<ModelWorkspace> model_;
    std::unique_ptr<ModelSource> source_;
};

}  // namespace kalvora::python
