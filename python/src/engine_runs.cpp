// Each analysis as the batch tool's command runs it, on the model the engine lends the run.

#include <algorithm>
#include <cmath>
#include <optional>
#include <tuple>

#include "analysis/data/statistics/statistics_run.h"
#include "analysis/orbit/cobweb/cobweb_run.h"
#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/orbit/cycles/cycle_search.h"
#include "analysis/orbit/delayplot/delay_plot_run.h"
#include "analysis/orbit/objects/object_run.h"
#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/orbit/poincare/poincare_run.h"
#include "analysis/orbit/timeseries/time_series_run.h"
#include "analysis/scan/basins/basin_scan.h"
#include "analysis/scan/lyapunovmap/lyapunov_map.h"
#include "analysis/scan/periods/period_scan.h"
#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "analysis/sweep/continuation/continuation_run.h"
#include "analysis/sweep/lyapunov/lyapunov_sweep.h"
#include "analysis/sweep/spectrum/lyapunov_spectrum.h"
#include "core/flow_events.h"
#include "core/noise.h"
#include "core/numbers.h"
#include "core/orbit_file.h"
#include "core/point_sink.h"
#include "core/script_lines.h"
#include "engine_internal.h"

namespace kalvora::python {
namespace {

template <typename Action>
auto Refusing(Action action) {
    try {
        return action();
    } catch (const OrbitSettingsError& error) {
        throw BadArgument(error.what());
    } catch (const ObjectSettingsError& error) {
        throw BadArgument(error.what());
    } catch (const SweepSettingsError& error) {
        throw BadArgument(error.what());
    } catch (const ScanSettingsError& error) {
        throw BadArgument(error.what());
    } catch (const CycleSettingsError& error) {
        throw BadArgument(error.what());
    } catch (const ConversionError& error) {
        throw BadArgument(error.what());
    } catch (const ContinuationSettingsError& error) {
        throw BadArgument(error.what());
    }
}

class ColumnSink final : public PointSink {
  public:
    void addPoint(double x, double y) override {
        x_.push_back(x);
        y_.push_back(y);
    }
    void moveInto(Columns& result) {
        result.columns.push_back(std::move(x_));
        result.columns.push_back(std::move(y_));
    }

  private:
    std::vector<double> x_;
    std::vector<double> y_;
};

// How a run on `ranOn` ended, in the words the batch tool prints: the script's message, or nothing
// for an arithmetic fault (the caller says "Overflow").
template <typename Result>
void NoteEnd(Result& result, const ModelEvaluator& ranOn, bool failed, const RunControl& control) {
    result.stopped = control.stopRequested();
    result.failed = failed && !result.stopped;
    if (result.failed) {
        result.message = ranOn.recordedMessage;
        result.line = EquationLineOf(ranOn.recordedDetails);
        if (!ranOn.recordedDetails.empty()) {
            result.message += ": " + ranOn.recordedDetails;
        }
    }
}

// The one-value-per-variable point of an object's vertex or a basin's cycle.
std::vector<Extended> Point(const std::vector<std::string>& texts) {
    std::vector<Extended> values;
    for (const std::string& text : texts) {
        values.push_back(Number(text));
    }
    return values;
}

// One per thread: the thread's last evaluator that may serve again.
thread_local std::unique_ptr<ModelEvaluator> keptEvaluator;

}  // namespace

std::unique_ptr<ModelEvaluator> TakeEvaluator(const ModelDefinitionPtr& definition,
                                              const RandomState& randomState, RunControl& control) {
    std::unique_ptr<ModelEvaluator> kept = std::move(keptEvaluator);
    if (kept && kept->definition == definition && kept->reusable()) {
        kept->restart(randomState, nullptr, &control);
        return kept;
    }
    return std::make_unique<ModelEvaluator>(definition, randomState, nullptr, &control);
}

void KeepEvaluator(std::unique_ptr<ModelEvaluator> evaluator) {
    if (!evaluator->reusable()) {
        return;
    }
    evaluator->restart(RandomStateOf(*evaluator), nullptr, nullptr);
    keptEvaluator = std::move(evaluator);
}

Table Engine::orbit(const OrbitOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    OrbitSampling sampling;
    sampling.count = options.count;
    sampling.start = options.start;
    sampling.step = options.every;
    Table table;
    const int values =
        std::clamp(model.variableCount + model.auxiliaryCount, 0, kModelListCapacity);
    table.columnCount = static_cast<std::size_t>(values);
    table.values.reserve(static_cast<std::size_t>(options.count) * table.columnCount);
    const OrbitWriteOutcome outcome =
        RunOrbit(lease.evaluator(), model.kind, sampling, control, [&](const StateVector& state) {
            for (int i = 0; i < values; ++i) {
                table.values.push_back(static_cast<double>(state[static_cast<std::size_t>(i)]));
            }
        });
    NoteEnd(table, lease.evaluator(), outcome.failed, control);
    return table;
}

namespace {

std::pair<Extended, Extended> Interval(const ModelDefinition& model, const SeriesOptions& options,
                                       Extended from, Extended to) {
    const Extended start = options.from ? Number(*options.from) : from;
    const Extended end = options.to ? Number(*options.to) : to;
    if (!ContinuousIntervalValid(start, end, model.stepSize)) {
        throw BadArgument(
            "start and end: the interval must start at 0 or later and hold more than three "
            "steps");
    }
    return {start, end};
}

}  // namespace

Columns Engine::timeSeries(const SeriesOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    TimeSeriesSettings settings;
    settings.variable = options.first;
    if (model.discrete) {
        settings.pointsPlotted = options.points.value_or(settings.pointsPlotted);
        settings.pointsNotPlotted = options.skip.value_or(settings.pointsNotPlotted);
        settings.timeStep = static_cast<int>(options.every.value_or(settings.timeStep));
    } else {
        std::tie(settings.startTime, settings.endTime) =
            Interval(model, options, settings.startTime, settings.endTime);
    }
    ColumnSink sink;
    const TimeSeriesOutcome outcome =
        Refusing([&] { return TimeSeriesRun(lease.evaluator(), settings, sink); });
    Columns result;
    sink.moveInto(result);
    NoteEnd(result, lease.evaluator(), outcome.failed, control);
    return result;
}

Columns Engine::phase(const SeriesOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    PhasePlotSettings settings;
    settings.xVariable = options.first;
    settings.yVariable = options.second;
    if (model.discrete) {
        settings.pointsPlotted = options.points.value_or(settings.pointsPlotted);
        settings.pointsNotPlotted = options.skip.value_or(settings.pointsNotPlotted);
    } else {
        std::tie(settings.startTime, settings.endTime) =
            Interval(model, options, settings.startTime, settings.endTime);
    }
    ColumnSink sink;
    PhasePlotOrbit orbit;
    const PhasePlotOutcome outcome =
        Refusing([&] { return PhasePlotRun(lease.evaluator(), settings, orbit, false, sink); });
    Columns result;
    sink.moveInto(result);
    NoteEnd(result, lease.evaluator(), outcome.failed, control);
    return result;
}

Columns Engine::delay(const SeriesOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    DelayPlotSettings settings;
    settings.variable = options.first;
    if (model.discrete) {
        settings.delaySteps = static_cast<int>(options.delay.value_or(settings.delaySteps));
        settings.pointsPlotted = options.points.value_or(settings.pointsPlotted);
        settings.pointsNotPlotted = options.skip.value_or(settings.pointsNotPlotted);
    } else {
        if (options.delayTime) {
            settings.delayTime = Number(*options.delayTime);
        }
        std::tie(settings.startTime, settings.endTime) =
            Interval(model, options, settings.startTime, settings.endTime);
    }
    ColumnSink sink;
    const DelayPlotOutcome outcome =
        Refusing([&] { return DelayPlotRun(lease.evaluator(), settings, sink); });
    Columns result;
    sink.moveInto(result);
    NoteEnd(result, lease.evaluator(), outcome.failed, control);
    return result;
}

Columns Engine::cobweb(const CobwebOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    if (model.variableCount != 1) {
        throw BadArgument("the graphical analysis follows a map of one variable; this model has " +
                          std::to_string(model.variableCount));
    }
    CobwebSettings settings;
    settings.minimum = Number(options.minimum);
    settings.maximum = Number(options.maximum);
    settings.iteratedMap = options.iterate;
    settings.initialValue = Number(options.initial);
    ColumnSink curve;
    ColumnSink diagonal;
    ColumnSink staircase;
    CobwebConstruction construction;
    bool failed = Refusing([&] {
        return CobwebStart(lease.evaluator(), model.kind, settings, construction, curve, diagonal,
                           staircase);
    });
    // One "Next Iteration(s)" of one step after another, as the batch tool makes them.
    for (long long i = 0; i < options.steps && !failed && !control.stopRequested(); ++i) {
        failed = CobwebStep(lease.evaluator(), model.kind, construction, 1, staircase);
    }
    Columns result;
    staircase.moveInto(result);
    curve.moveInto(result);
    diagonal.moveInto(result);
    NoteEnd(result, lease.evaluator(), failed, control);
    return result;
}

Columns Engine::objects(const ObjectOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    ObjectSettings settings;
    settings.horizontalVariable = options.horizontal;
    settings.verticalVariable = options.vertical;
    settings.shape = options.circle ? ObjectShape::Circle : ObjectShape::Polygon;
    for (const std::vector<std::string>& vertex : options.vertices) {
        settings.vertices.push_back(Point(vertex));
    }
    settings.radius = Number(options.radius);
    settings.resolution = options.resolution;
    settings.showAttractor = options.attractor;
    settings.attractorPlotted = options.attractorPoints;
    settings.attractorNotPlotted = options.attractorSkip;
    Refusing([&] { CheckObjectSettings(model, settings); });
    const long long corners = options.circle ? 1 : static_cast<long long>(settings.vertices.size());
    const long long points = settings.resolution * corners;
    if (points * (options.steps + 1) > kMaximumPlottedPoints) {
        throw BadArgument("the object's " + std::to_string(points) +
                          " points and their images after " + std::to_string(options.steps) +
                          " steps exceed " + std::to_string(kMaximumPlottedPoints) +
                          " points; lower steps or resolution");
    }
    ColumnSink attractor;
    ColumnSink object;
    IteratedObject iterated;
    bool failed = Refusing([&] {
        return ObjectStart(lease.evaluator(), model.kind, settings, iterated, attractor, object,
                           control);
    });
    if (!failed && !control.stopRequested() && options.steps > 0) {
        failed = ObjectStep(lease.evaluator(), model.kind, iterated, options.unplotted,
                            options.steps, object, control);
    }
    Columns result;
    object.moveInto(result);
    attractor.moveInto(result);
    NoteEnd(result, lease.evaluator(), failed, control);
    return result;
}

namespace {

BifurcationSettings BifurcationFrom(const SweepOptions& options) {
    BifurcationSettings settings;
    settings.parameter = options.parameter;
    settings.plotVariable = options.variable;
    settings.minimum = Number(options.minimum);
    settings.maximum = Number(options.maximum);
    settings.plottedPoints = options.points;
    settings.transientSteps = options.skip;
    settings.resolution = options.resolution;
    settings.carryState = options.carry;
    settings.rightToLeft = options.rightToLeft;
    settings.onFailure = options.skipFailures ? FailingValue::Skip : FailingValue::EndSweep;
    return settings;
}

// The flow plot of a bifurcation, read against the model as the batch tool reads --section and
// --maxima.
void ReadFlowPlot(const ModelDefinition& model, const SweepOptions& options,
                  BifurcationSettings& settings) {
    if (!options.section && !options.maxima) {
        return;
    }
    if (options.section && options.maxima) {
        throw BadArgument("section and maxima: choose one");
    }
    if (model.discrete) {
        throw BadArgument(std::string(options.maxima ? "maxima: " : "section: ") + model.modelName +
                          " is a discrete model; crossings and maxima are plotted only for a "
                          "continuous model");
    }
    if (options.maxima) {
        settings.flowPlot = FlowPlot::LocalMaxima;
        return;
    }
    try {
        settings.section = ParseDirectedSection(model, *options.section);
    } catch (const SectionError& error) {
        throw BadArgument(std::string("section: ") + error.what());
    }
    settings.flowPlot = FlowPlot::SectionCrossings;
}

LyapunovSettings LyapunovFrom(const SweepOptions& options) {
    LyapunovSettings settings;
    settings.parameter = options.parameter;
    settings.minimum = Number(options.minimum);
    settings.maximum = Number(options.maximum);
    settings.iterations = options.points;
    settings.transientSteps = options.skip;
    settings.epsilon = Number(options.epsilon);
    settings.resolution = options.resolution;
    settings.onFailure = options.skipFailures ? FailingValue::Skip : FailingValue::EndSweep;
    if (options.method == "tangent") {
        settings.method = LyapunovMethod::TangentSpace;
    } else if (options.method != "two-trajectories") {
        throw BadArgument("method: expected two-trajectories or tangent, got '" + options.method +
                          "'");
    }
    return settings;
}

}  // namespace

void Engine::checkSweep(const SweepOptions& options, bool lyapunov) const {
    std::lock_guard lock(mutex_);
    Refusing([&] {
        if (lyapunov) {
            PlanLyapunov(model_->model(), LyapunovFrom(options));
        } else {
            BifurcationSettings settings = BifurcationFrom(options);
            ReadFlowPlot(model_->model(), options, settings);
            PlanBifurcation(model_->model(), settings);
        }
    });
}

Columns Engine::bifurcation(const SweepOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    BifurcationSettings settings = BifurcationFrom(options);
    ReadFlowPlot(model, options, settings);
    const SweptValues values = Refusing([&] { return PlanBifurcation(model, settings); });
    ColumnSink sink;
    const SweepOutcome outcome =
        BifurcationSweep(lease.evaluator(), model.kind, settings, options.threads, control, sink);
    (void)values;
    Columns result;
    sink.moveInto(result);
    NoteEnd(result, lease.evaluator(), outcome.failed || lease.evaluator().errorFlag, control);
    result.note = SkippedValuesNote(outcome.skipped);
    return result;
}

Columns Engine::lyapunov(const SweepOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    const LyapunovSettings settings = LyapunovFrom(options);
    Refusing([&] { PlanLyapunov(model, settings); });
    ColumnSink sink;
    const SweepOutcome outcome =
        LyapunovSweep(lease.evaluator(), model.kind, settings, options.threads, control, sink);
    Columns result;
    sink.moveInto(result);
    NoteEnd(result, lease.evaluator(), outcome.failed || lease.evaluator().errorFlag, control);
    result.note = SkippedValuesNote(outcome.skipped);
    return result;
}

Table Engine::poincare(const PoincareOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    if (model.discrete) {
        throw BadArgument(model.modelName +
                          " is a discrete model; a Poincaré section needs a continuous one");
    }
    PoincareSettings settings;
    try {
        settings.section = ParseSection(model, options.section);
        settings.section.direction = ParseCrossingDirection(options.direction);
    } catch (const SectionError& error) {
        throw BadArgument(error.what());
    }
    settings.crossings = options.crossings;
    settings.skipTime = Number(options.skipTime);
    if (!(settings.skipTime >= 0) || !std::isfinite(settings.skipTime)) {
        throw BadArgument("skip_time: expected a time of 0 or more");
    }
    const int variables = model.variableCount;
    Table table;
    table.columnCount = static_cast<std::size_t>(variables) + 1;
    const PoincareOutcome outcome =
        PoincareRun(lease.evaluator(), settings, control, [&](const PoincareCrossing& crossing) {
            table.values.push_back(static_cast<double>(crossing.time));
            for (int i = 0; i < variables; ++i) {
                table.values.push_back(
                    static_cast<double>(crossing.state[static_cast<std::size_t>(i)]));
            }
        });
    NoteEnd(table, lease.evaluator(), outcome.failed, control);
    if (outcome.exhausted && !table.stopped) {
        table.failed = true;
        table.message = "the orbit did not cross the section in " +
                        std::to_string(kMostStepsPerEvent) + " steps; " +
                        std::to_string(outcome.crossings) + " crossings were found";
    }
    return table;
}

namespace {

ScanDomain DomainFrom(const ScanOptions& options) {
    ScanDomain domain;
    domain.horizontalMinimum = Number(options.horizontalMinimum);
    domain.horizontalMaximum = Number(options.horizontalMaximum);
    domain.verticalMinimum = Number(options.verticalMinimum);
    domain.verticalMaximum = Number(options.verticalMaximum);
    domain.horizontalResolution = options.horizontalResolution;
    domain.verticalResolution = options.verticalResolution;
    Refusing([&] { CheckScanDomain(domain); });
    return domain;
}

// The scans colour pixels from a table; given a table whose entry k is the number k, the raster
// holds table entries, from which the classes follow without the ambiguity of the program's own
// table (cycles 2 to 100 are all blue there).
ScanColours EntryNumbers() {
    ScanColours colours{};
    for (std::size_t k = 0; k < colours.size(); ++k) {
        colours[k] = static_cast<RgbColour>(k);
    }
    return colours;
}

// Class 0 divergence, 1 .. count the cycles (or periods) in table order, count + 1 no convergence;
// the colours are the program's start-up table's for each class.
ScanResult ClassesOf(const ScanOutcome& outcome, const ScanDomain& domain, int count) {
    const ModelWorkspace fresh;
    const ScanColours& table = fresh.cycleColours;
    ScanResult result;
    result.columns = domain.columns();
    result.rows = domain.rows();
    result.classes.resize(static_cast<std::size_t>(result.columns) *
                          static_cast<std::size_t>(result.rows));
    for (int column = 0; column < result.columns; ++column) {
        for (int row = 0; row < result.rows; ++row) {
            const RgbColour entry = outcome.raster.at(column, row);
            std::int32_t value = -1;  // a pixel a stop left blank
            if (entry == 101) {
                value = 0;
            } else if (entry == 100) {
                value = count + 1;
            } else if (entry < 100) {
                value = static_cast<std::int32_t>(entry) + 1;
            }
            result
                .classes[static_cast<std::size_t>(row) * static_cast<std::size_t>(result.columns) +
                         static_cast<std::size_t>(column)] = value;
        }
    }
    for (int column = 0; column < result.columns; ++column) {
        result.horizontal.push_back(static_cast<double>(domain.horizontalAt(column)));
    }
    for (int row = 0; row < result.rows; ++row) {
        result.vertical.push_back(static_cast<double>(domain.verticalAt(row)));
    }
    result.colours.push_back(DivergenceColour(table));
    for (int k = 1; k <= count; ++k) {
        result.colours.push_back(CycleColour(table, k));
    }
    result.colours.push_back(NonConvergenceColour(table));
    result.stopped = outcome.stopped;
    result.message = outcome.message;
    return result;
}

}  // namespace

ScanResult Engine::basins(const ScanOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    if (model.variableCount < 2) {
        throw BadArgument("basins need a model with at least two variables, one for each axis");
    }
    BasinSettings settings;
    settings.horizontalVariable = options.horizontal;
    settings.verticalVariable = options.vertical;
    for (const auto& [period, point] : options.cycles) {
        BasinCycle cycle;
        cycle.period = period;
        cycle.point = Point(point);
        settings.cycles.push_back(cycle);
    }
    settings.domain = DomainFrom(options);
    settings.epsilon = Number(options.epsilon);
    settings.transient = options.transient;
    settings.maxDistance = options.maxDistance;
    settings.allDimensions = options.allDimensions;
    settings.colours = EntryNumbers();
    Refusing([&] { CheckBasinSettings(model.variableCount, settings); });
    ScanModels models = MakeScanModels(lease.definition(), options.threads, settings.domain,
                                       lease.randomState(), &control);
    const ScanOutcome outcome = BasinScan(models, settings, control);
    return ClassesOf(outcome, settings.domain, static_cast<int>(settings.cycles.size()));
}

ScanResult Engine::periods(const ScanOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    if (model.parameterCount < 2) {
        throw BadArgument("periods need a model with at least two parameters, one for each axis");
    }
    PeriodSettings settings;
    settings.horizontalParameter = options.horizontal;
    settings.verticalParameter = options.vertical;
    settings.periods = options.periods;
    settings.confirmations = options.confirmations;
    settings.domain = DomainFrom(options);
    settings.epsilon = Number(options.epsilon);
    settings.transient = options.transient;
    settings.colours = EntryNumbers();
    Refusing([&] { CheckPeriodSettings(model.parameterCount, settings); });
    ScanModels models = MakeScanModels(lease.definition(), options.threads, settings.domain,
                                       lease.randomState(), &control);
    const ScanOutcome outcome = PeriodScan(models, settings, control);
    return ClassesOf(outcome, settings.domain, static_cast<int>(settings.periods.size()));
}

StatisticsResult Engine::statistics(const StatisticsOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    StatisticsSettings settings;
    settings.variable = options.variable;
    settings.transient = options.skip;
    settings.points = options.points;
    StatisticsRecord record;
    StatisticsRun(lease.evaluator(), settings, control, record);
    StatisticsResult result;
    result.series = model.variableNames[static_cast<std::size_t>(record.variable - 1)];
    result.count = record.count;
    for (const std::optional<Extended>& figure :
         {record.mean, record.median, record.maximum, record.minimum, record.deviation,
          record.variance, record.skewness, record.kurtosis}) {
        result.figures.push_back(figure ? std::optional<double>(static_cast<double>(*figure))
                                        : std::nullopt);
    }
    for (const StatisticsFigure& figure : StatisticsFigures(record, result.series)) {
        result.figureTexts.push_back(figure.value);
    }
    result.sample.assign(record.sample.begin(), record.sample.end());
    const auto counts = HistogramCounts(record.sample);
    result.histogram.assign(counts.begin(), counts.end());
    NoteEnd(result, lease.evaluator(), record.failed, control);
    return result;
}

ContinuationResult Engine::continuation(const ContinuationOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    ContinuationSettings settings;
    Refusing([&] {
        settings.parameter = options.parameter - 1;
        settings.from = static_cast<double>(Number(options.from));
        settings.to = static_cast<double>(Number(options.to));
        for (int i = 0; i < model.variableCount; ++i) {
            settings.start.push_back(static_cast<double>(model.initialValues[i]));
        }
        for (const auto& [variable, text] : options.start) {
            settings.start.at(static_cast<std::size_t>(variable)) =
                static_cast<double>(Number(text));
        }
        if (options.startParameter) {
            settings.startParameter = static_cast<double>(Number(*options.startParameter));
        }
        settings.period = options.period;
        settings.step = static_cast<double>(Number(options.step));
        settings.maxPoints = options.maxPoints;
        settings.transient = options.transient;
        settings.tolerance = static_cast<double>(Number(options.tolerance));
        for (const std::string& label : options.switches) {
            SpecialKind kind{};
            if (!ParseSpecialLabel(label, kind)) {
                throw ContinuationSettingsError("switch expects PD or BP, not '" + label + "'");
            }
            settings.switches.push_back(kind);
        }
        CheckContinuationSettings(model, settings);
    });
    const ContinuationOutcome outcome = RunContinuation(lease.definition(), settings, control);
    ContinuationResult result;
    const auto n = static_cast<std::size_t>(model.variableCount);
    result.branch.columnCount = n + 2;
    for (const ContinuationBranch& branch : outcome.branches) {
        for (const ContinuationPoint& point : branch.points) {
            result.branch.values.push_back(point.parameter);
            result.branch.values.insert(result.branch.values.end(), point.values.begin(),
                                        point.values.end());
            result.branch.values.push_back(point.stable ? 1 : 0);
        }
    }
    result.special.columnCount = n + 1;
    for (const SpecialPoint& point : outcome.specials) {
        result.labels.emplace_back(SpecialLabel(point.kind));
        result.special.values.push_back(point.parameter);
        result.special.values.insert(result.special.values.end(), point.values.begin(),
                                     point.values.end());
    }
    result.notes = outcome.notes;
    result.branch.stopped = outcome.stopped;
    return result;
}

FixedPointResult Engine::fixedPoints(const FixedPointOptions& options, RunControl& control) {
    // The search makes its own evaluators, one per worker, from the definition the lease holds.
    Lease lease(*this, control);
    CycleSettings settings;
    for (const auto& [variable, minimum, maximum] : options.box) {
        settings.box.push_back(
            {variable, static_cast<double>(Number(minimum)), static_cast<double>(Number(maximum))});
    }
    settings.firstPeriod = options.firstPeriod;
    settings.lastPeriod = options.lastPeriod;
    settings.grid = options.grid;
    settings.tolerance = static_cast<double>(Number(options.tolerance));
    Refusing([&] { CheckCycleSettings(lease.model().variableCount, settings); });
    const CycleSearchOutcome outcome =
        FindCycles(lease.definition(), settings, control, options.threads);
    FixedPointResult result;
    result.exact = outcome.method == DerivativeMethod::Exact;
    result.message = outcome.message;
    for (const Cycle& cycle : outcome.cycles) {
        FoundCycle found;
        found.period = cycle.period;
        found.rows = static_cast<int>(cycle.points.size());
        found.variables = lease.model().variableCount;
        for (const CyclePoint& point : cycle.points) {
            found.points.insert(found.points.end(), point.values.begin(), point.values.end());
        }
        found.eigenvalues = cycle.eigenvalues;
        found.stable = cycle.stable;
        found.type = CycleTypeName(cycle.type);
        found.trace = cycle.trace;
        found.determinant = cycle.determinant;
        result.cycles.push_back(std::move(found));
    }
    return result;
}

Columns Engine::spectrum(const SpectrumOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    SpectrumSweepSettings settings;
    settings.run.iterations = options.iterations;
    settings.run.transientSteps = options.skip;
    Columns result;
    if (options.parameter == 0) {
        Refusing([&] { CheckSpectrumSettings(settings.run); });
        const SpectrumResult run =
            LyapunovSpectrum(lease.evaluator(), model.kind, settings.run, control);
        result.columns.emplace_back(run.exponents.begin(), run.exponents.end());
        result.columns.push_back({static_cast<double>(run.dimension)});
        NoteEnd(result, lease.evaluator(), run.failed, control);
        return result;
    }
    settings.parameter = options.parameter;
    settings.minimum = Number(options.minimum);
    settings.maximum = Number(options.maximum);
    settings.resolution = options.resolution;
    Refusing([&] { PlanSpectrumSweep(model, settings); });
    ColumnSink sink;
    const SweepOutcome outcome =
        SpectrumSweep(lease.evaluator(), model.kind, settings, options.threads, control, sink);
    sink.moveInto(result);
    NoteEnd(result, lease.evaluator(), outcome.failed || lease.evaluator().errorFlag, control);
    return result;
}

Columns Engine::lyapunovMap(const LyapunovMapOptions& options, RunControl& control) {
    Lease lease(*this, control);
    const ModelDefinition& model = lease.model();
    LyapunovMapSettings settings;
    settings.horizontal = {options.horizontalInitial, options.horizontal};
    settings.vertical = {options.verticalInitial, options.vertical};
    settings.domain.horizontalMinimum = Number(options.horizontalMinimum);
    settings.domain.horizontalMaximum = Number(options.horizontalMaximum);
    settings.domain.verticalMinimum = Number(options.verticalMinimum);
    settings.domain.verticalMaximum = Number(options.verticalMaximum);
    settings.domain.horizontalResolution = options.horizontalResolution;
    settings.domain.verticalResolution = options.verticalResolution;
    settings.iterations = options.iterations;
    settings.transientSteps = options.skip;
    Refusing([&] { CheckLyapunovMapSettings(model, settings); });
    ScanModels models = MakeScanModels(lease.definition(), options.threads, settings.domain,
                                       lease.randomState(), &control);
    const LyapunovMapResult map = LyapunovMap(models, settings, control);
    Columns result;
    const ScanDomain& domain = settings.domain;
    std::vector<double> horizontal, vertical, exponents;
    for (int column = 0; column < domain.columns(); ++column) {
        horizontal.push_back(static_cast<double>(domain.horizontalAt(column)));
    }
    for (int row = 0; row < domain.rows(); ++row) {
        vertical.push_back(static_cast<double>(domain.verticalAt(row)));
        for (int column = 0; column < domain.columns(); ++column) {
            exponents.push_back(map.at(column, row));
        }
    }
    result.columns = {std::move(horizontal), std::move(vertical), std::move(exponents)};
    result.stopped = map.stopped;
    result.message = map.message;
    return result;
}

}  // namespace kalvora::python
