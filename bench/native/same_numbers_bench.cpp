// Analyses against C programs that compute the same numbers bit for bit (long double where the
// analysis keeps Extended, the C library's sin and logl where the model and the analysis call
// them), one thread each. Before timing, each pair's results are compared in full: the C program is
// also the independent reference of the analysis. The ratio of the two times is the figure of
// interest: Kalvora / C.

#include <benchmark/benchmark.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/scan/basins/basin_scan.h"
#include "analysis/scan/periods/period_scan.h"
#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "analysis/sweep/lyapunov/lyapunov_sweep.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/point_sink.h"
#include "core/run_control.h"

namespace kalvora {
namespace {

struct LoadedModel {
    ModelWorkspace ws;
    ModelSource source;
    explicit LoadedModel(const std::string& name) {
        NullModelShell shell;
        LoadModelFromFile(ws, source, shell, std::string(KALVORA_MODELS) + "/" + name);
    }
};

// --- The logistic map's Lyapunov exponent over 2000 values of r, M = 10^4 ---------------------

LyapunovSettings LogisticLyapunovSettings() {
    LyapunovSettings settings;
    settings.parameter = 1;
    settings.minimum = 3.5L;
    settings.maximum = 4;
    settings.resolution = 1999;
    settings.iterations = 10000;
    settings.transientSteps = 300;
    return settings;
}

std::vector<VectorPointSink::Point> KalvoraLogisticLyapunov(const LoadedModel& model) {
    ModelEvaluator evaluator(model.ws.definition);
    QuietRunControl control;
    VectorPointSink sink;
    LyapunovSweep(evaluator, ModelKind::Discrete, LogisticLyapunovSettings(), 1, control, sink);
    return sink.points;
}

// The model x = r*x*(1-x) on doubles, the state kept in Extended between steps.
inline long double LogisticStep(double r, long double state) {
    const double x = static_cast<double>(state);
    return r * x * (1 - x);
}

std::vector<VectorPointSink::Point> CLogisticLyapunov(const LoadedModel& model) {
    const LyapunovSettings settings = LogisticLyapunovSettings();
    const SweptValues values = PlanLyapunov(model.ws.model(), settings);
    std::vector<VectorPointSink::Point> points;
    const long double epsilon = settings.epsilon;
    for (long long index = 0; index < values.count(); ++index) {
        long double parameter = values.value(index);
        parameter = std::min(std::max(parameter, values.lower()), values.upper());
        const double r = static_cast<double>(parameter);
        long double a = model.ws.model().initialValues[0];
        for (long long t = 0; t < settings.transientSteps; ++t) {
            a = LogisticStep(r, a);
        }
        long double b = a + epsilon;
        long double sum = 0;
        for (long long m = 0; m < settings.iterations; ++m) {
            a = LogisticStep(r, a);
            b = LogisticStep(r, b);
            long double squares = 0;
            const long double difference = a - b;
            squares += difference * difference;
            const long double d = sqrtl(squares);
            sum += d > 0 ? logl(d / epsilon) : kCoincidentOrbitsPenalty;
            const long double factor = d != 0 ? epsilon / d : 1e-8L;
            b = a + (b - a) * factor;
        }
        const long double exponent = sum / static_cast<long double>(settings.iterations);
        points.push_back({static_cast<double>(parameter), static_cast<double>(exponent)});
    }
    return points;
}

bool SamePoints(const std::vector<VectorPointSink::Point>& a,
                const std::vector<VectorPointSink::Point>& b) {
    return a.size() == b.size() &&
           std::memcmp(a.data(), b.data(), a.size() * sizeof(VectorPointSink::Point)) == 0;
}

void BM_LogisticLyapunov(benchmark::State& state) {
    const LoadedModel model("logistic.mod");
    if (!SamePoints(KalvoraLogisticLyapunov(model), CLogisticLyapunov(model))) {
        state.SkipWithError("the C program's exponents differ");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(state.range(0) == 0 ? KalvoraLogisticLyapunov(model)
                                                     : CLogisticLyapunov(model));
    }
}
BENCHMARK(BM_LogisticLyapunov)->ArgName("c")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// --- The circle map's period scan over 301 x 301 pairs (omega, k) ------------------------------

PeriodSettings CirclePeriodSettings() {
    PeriodSettings settings;
    settings.periods = {1, 2, 3, 4, 5, 6, 7, 8};
    settings.confirmations = 1;
    settings.transient = 200;
    settings.domain = {0, 1, 300, 0, 1, 300};
    // Every class its own colour, so that the rasters compare the classes.
    for (std::size_t i = 0; i < settings.colours.size(); ++i) {
        settings.colours[i] = static_cast<RgbColour>(i + 1);
    }
    return settings;
}

ColourRaster KalvoraCirclePeriods(const LoadedModel& model) {
    ScanModels models = MakeScanModels(model.ws.definition, 1, CirclePeriodSettings().domain);
    QuietRunControl control;
    return PeriodScan(models, CirclePeriodSettings(), control).raster;
}

// x = (x + omega - k/(2 pi) sin(2 pi x)) % 1, the operations in the interpreter's order, % being
// a - floor(a / b) * b.
inline long double CircleStep(double omega, double k, long double state) {
    const double x = static_cast<double>(state);
    const double twoPi = 2 * 3.14159265358979323846;
    const double a = (x + omega) - k / twoPi * std::sin(twoPi * x);
    return a - std::floor(a / 1) * 1;
}

ColourRaster CCirclePeriods(const LoadedModel& model) {
    const PeriodSettings settings = CirclePeriodSettings();
    ColourRaster raster(settings.domain.columns(), settings.domain.rows());
    const long double start = model.ws.model().initialValues[0];
    const long double epsilon = settings.epsilon;
    const auto near = [&](long double a, long double b) {
        long double squares = 0;
        const long double difference = a - b;
        squares += difference * difference;
        return sqrtl(squares) < epsilon;
    };
    for (int column = 0; column < settings.domain.columns(); ++column) {
        const double omega = static_cast<double>(settings.domain.horizontalAt(column));
        for (int row = 0; row < settings.domain.rows(); ++row) {
            const double k = static_cast<double>(settings.domain.verticalAt(row));
            long double state = start;
            for (int t = 0; t < settings.transient; ++t) {
                state = CircleStep(omega, k, state);
            }
            const long double settled = state;
            RgbColour colour = NonConvergenceColour(settings.colours);
            for (std::size_t n = 0; n < settings.periods.size(); ++n) {
                state = settled;
                for (int p = 0; p < settings.periods[n]; ++p) {
                    state = CircleStep(omega, k, state);
                }
                if (!near(state, settled)) {
                    continue;
                }
                int confirmed = 0;
                for (int check = 0; check < settings.confirmations; ++check) {
                    for (int p = 0; p < settings.periods[n]; ++p) {
                        state = CircleStep(omega, k, state);
                    }
                    confirmed += near(state, settled) ? 1 : 0;
                }
                if (confirmed == settings.confirmations) {
                    colour = CycleColour(settings.colours, static_cast<int>(n) + 1);
                    break;
                }
            }
            raster.set(column, row, colour);
        }
    }
    return raster;
}

void BM_CirclePeriodScan(benchmark::State& state) {
    const LoadedModel model("circle.mod");
    if (!(KalvoraCirclePeriods(model) == CCirclePeriods(model))) {
        state.SkipWithError("the C program's raster differs");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(state.range(0) == 0 ? KalvoraCirclePeriods(model)
                                                     : CCirclePeriods(model));
    }
}
BENCHMARK(BM_CirclePeriodScan)->ArgName("c")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// --- The Henon map's basin of its 7-cycle over 451 x 451 starts, T = 200 ---------------------

// Every class its own colour, so that the rasters compare the classes.
ScanColours DistinctColours() {
    ScanColours colours{};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        colours[i] = static_cast<RgbColour>(i + 1);
    }
    return colours;
}

// The default basin scan: starts over [0, 1.4]^2, the 7-cycle through (0.42471785245334,
// 0.198177126186022), epsilon 0.001, divergence beyond 1000 from the initial values.
BasinSettings HenonBasinSettings() {
    BasinSettings settings;
    settings.cycles = {{7, {0.42471785245334L, 0.198177126186022L}}};
    settings.domain = {0, 1.4L, 450, 0, 1.4L, 450};
    settings.transient = 200;
    settings.colours = DistinctColours();
    return settings;
}

ColourRaster KalvoraHenonBasins(const LoadedModel& model) {
    ScanModels models = MakeScanModels(model.ws.definition, 1, HenonBasinSettings().domain);
    QuietRunControl control;
    return BasinScan(models, HenonBasinSettings(), control).raster;
}

// The exponent 2 as the compiler cannot see it: it would make pow(x, 2.0) the product x * x, which
// is not always the same double.
volatile double gTwo = 2.0;

// xnew = 1 - a*x^2 + y, y = b*x, x = xnew: the square is the C library's pow, as the model's ^.
// False when a value is not finite (the model's step would fail).
inline bool HenonStep(double a, double b, double two, long double state[2]) {
    const double x = static_cast<double>(state[0]);
    const double y = static_cast<double>(state[1]);
    const double xnew = 1 - a * std::pow(x, two) + y;
    const double ynew = b * x;
    state[0] = xnew;
    state[1] = ynew;
    return std::isfinite(xnew) && std::isfinite(ynew);
}

inline long double Distance(const long double a[2], const long double b[2]) {
    long double squares = 0;
    for (int i = 0; i < 2; ++i) {
        const long double difference = a[i] - b[i];
        squares += difference * difference;
    }
    return sqrtl(squares);
}

// The basin test of one start, written for one cycle: the transient with the divergence test
// after every step, then up to 7 passes, each trying the cycle (near its point, and near it again
// after 7 steps) and stepping once.
ColourRaster CHenonBasins(const LoadedModel& model) {
    const BasinSettings settings = HenonBasinSettings();
    const ModelDefinition& definition = model.ws.model();
    const double a = static_cast<double>(definition.parameterValues[0]);
    const double b = static_cast<double>(definition.parameterValues[1]);
    const long double centre[2] = {definition.initialValues[0], definition.initialValues[1]};
    const long double point[2] = {settings.cycles[0].point[0], settings.cycles[0].point[1]};
    const long double epsilon = settings.epsilon;
    const long double radius = settings.maxDistance;
    const int period = settings.cycles[0].period;
    const double two = gTwo;
    const ScanColours& colours = settings.colours;
    ColourRaster raster(settings.domain.columns(), settings.domain.rows());
    for (int column = 0; column < settings.domain.columns(); ++column) {
        for (int row = 0; row < settings.domain.rows(); ++row) {
            long double state[2] = {settings.domain.horizontalAt(column),
                                    settings.domain.verticalAt(row)};
            const auto classify = [&]() -> RgbColour {
                for (long long t = 0; t < settings.transient; ++t) {
                    if (!HenonStep(a, b, two, state) || !(Distance(state, centre) <= radius)) {
                        return DivergenceColour(colours);
                    }
                }
                for (int pass = 1; pass <= period; ++pass) {
                    if (Distance(state, point) < epsilon) {
                        for (int step = 0; step < period; ++step) {
                            if (!HenonStep(a, b, two, state)) {
                                return DivergenceColour(colours);
                            }
                        }
                        if (Distance(state, point) < epsilon) {
                            return CycleColour(colours, 1);
                        }
                    }
                    if (!HenonStep(a, b, two, state)) {
                        return DivergenceColour(colours);
                    }
                }
                return NonConvergenceColour(colours);
            };
            raster.set(column, row, classify());
        }
    }
    return raster;
}

void BM_HenonBasins(benchmark::State& state) {
    const LoadedModel model("henon_cycle.mod");
    if (!(KalvoraHenonBasins(model) == CHenonBasins(model))) {
        state.SkipWithError("the C program's raster differs");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(state.range(0) == 0 ? KalvoraHenonBasins(model)
                                                     : CHenonBasins(model));
    }
}
BENCHMARK(BM_HenonBasins)->ArgName("c")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// --- The Lorenz system's orbit diagram: maxima of z over 500 values of r ---------------------

// r from 28 to 228 (chaos and the periodic windows, all oscillating), 1000 steps of transient,
// then the first 100 local maxima of z, each located on the step's cubic interpolation.
BifurcationSettings LorenzMaximaSettings() {
    BifurcationSettings settings;
    settings.parameter = 2;
    settings.minimum = 28;
    settings.maximum = 228;
    settings.resolution = 499;
    settings.plotVariable = 3;
    settings.plottedPoints = 100;
    settings.transientSteps = 1000;
    settings.flowPlot = FlowPlot::LocalMaxima;
    return settings;
}

std::vector<VectorPointSink::Point> KalvoraLorenzMaxima(const LoadedModel& model) {
    ModelEvaluator evaluator(model.ws.definition);
    QuietRunControl control;
    VectorPointSink sink;
    BifurcationSweep(evaluator, ModelKind::Continuous, LorenzMaximaSettings(), 1, control, sink);
    return sink.points;
}

struct LorenzRates {
    double sigma;
    double r;
    double b;
    // The model's lines in their order.
    void operator()(const double at[3], double rate[3]) const {
        const double x = at[0];
        const double y = at[1];
        const double z = at[2];
        rate[0] = sigma * (y - x);
        rate[1] = x * (r - z) - y;
        rate[2] = x * y - b * z;
    }
};

// Kutta's third-order step, the stage values rounded to doubles and the sums in long double.
void KuttaStep(const LorenzRates& f, long double h, long double state[3]) {
    double y[3];
    double k1[3];
    double k2[3];
    double k3[3];
    for (int i = 0; i < 3; ++i) {
        y[i] = static_cast<double>(state[i]);
    }
    f(y, k1);
    for (int i = 0; i < 3; ++i) {
        y[i] = static_cast<double>((h * k1[i]) / 2 + state[i]);
    }
    f(y, k2);
    for (int i = 0; i < 3; ++i) {
        y[i] = static_cast<double>((state[i] - h * k1[i]) + (h * 2) * k2[i]);
    }
    f(y, k3);
    for (int i = 0; i < 3; ++i) {
        state[i] = ((k2[i] * 4.0L + k1[i]) + k3[i]) * h / 6 + state[i];
    }
}

std::vector<VectorPointSink::Point> CLorenzMaxima(const LoadedModel& model) {
    const BifurcationSettings settings = LorenzMaximaSettings();
    const ModelDefinition& definition = model.ws.model();
    const SweptValues values = PlanBifurcation(definition, settings);
    const long double h = definition.stepSize;
    const long double ratio = (sqrtl(5.0L) - 1) / 2;
    std::vector<VectorPointSink::Point> points;
    for (long long index = 0; index < values.count(); ++index) {
        const long double parameter = values.value(index);
        const LorenzRates f{static_cast<double>(definition.parameterValues[0]),
                            static_cast<double>(parameter),
                            static_cast<double>(definition.parameterValues[2])};
        long double state[3] = {definition.initialValues[0], definition.initialValues[1],
                                definition.initialValues[2]};
        for (long long t = 0; t < settings.transientSteps; ++t) {
            KuttaStep(f, h, state);
        }
        // The z rate at both ends of each step, the end's kept for the next step's start.
        const auto rateAt = [&](const long double at[3], double rate[3]) {
            const double doubles[3] = {static_cast<double>(at[0]), static_cast<double>(at[1]),
                                       static_cast<double>(at[2])};
            f(doubles, rate);
        };
        double startRate[3];
        double endRate[3];
        rateAt(state, endRate);
        long long steps = 0;
        long long found = 0;
        long double previous[3];
        while (found < settings.plottedPoints) {
            std::copy_n(state, 3, previous);
            std::copy_n(endRate, 3, startRate);
            KuttaStep(f, h, state);
            const long double lowTime = static_cast<long double>(steps) * h;
            ++steps;
            const long double highTime = static_cast<long double>(steps) * h;
            rateAt(state, endRate);
            if (!(startRate[2] > 0 && endRate[2] <= 0)) {
                continue;
            }
            // z on the cubic Hermite interpolation of the step.
            const long double span = highTime - lowTime;
            const auto zAt = [&](long double t) {
                const long double s = span > 0 ? (t - lowTime) / span : 1;
                const long double s2 = s * s;
                const long double s3 = s2 * s;
                const long double h00 = 2 * s3 - 3 * s2 + 1;
                const long double h10 = s3 - 2 * s2 + s;
                const long double h01 = -2 * s3 + 3 * s2;
                const long double h11 = s3 - s2;
                return h00 * previous[2] + h10 * span * startRate[2] + h01 * state[2] +
                       h11 * span * endRate[2];
            };
            // Golden-section search for the largest z.
            long double low = lowTime;
            long double high = highTime;
            long double a = high - ratio * (high - low);
            long double b = low + ratio * (high - low);
            long double za = zAt(a);
            long double zb = zAt(b);
            for (int iteration = 0; iteration < 90 && high - low > 4 * LDBL_EPSILON * fabsl(high);
                 ++iteration) {
                if (za >= zb) {
                    high = b;
                    b = a;
                    zb = za;
                    a = high - ratio * (high - low);
                    za = zAt(a);
                } else {
                    low = a;
                    a = b;
                    za = zb;
                    b = low + ratio * (high - low);
                    zb = zAt(b);
                }
            }
            long double top = za;
            top = previous[2] > top ? previous[2] : top;
            top = state[2] > top ? state[2] : top;
            points.push_back({static_cast<double>(parameter), static_cast<double>(top)});
            ++found;
        }
    }
    return points;
}

void BM_LorenzMaxima(benchmark::State& state) {
    const LoadedModel model("lorenz.mod");
    if (!SamePoints(KalvoraLorenzMaxima(model), CLorenzMaxima(model))) {
        state.SkipWithError("the C program's maxima differ");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(state.range(0) == 0 ? KalvoraLorenzMaxima(model)
                                                     : CLorenzMaxima(model));
    }
}
BENCHMARK(BM_LorenzMaxima)->ArgName("c")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();
