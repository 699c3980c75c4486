// Analyses against C programs that compute the same numbers bit for bit (long double where the
// analysis keeps Extended, the C library's sin and logl where the model and the analysis call
// them), one thread each. Before timing, each pair's results are compared in full: the C program is
// also the independent reference of the analysis. The ratio of the two times is the figure of
// interest: Kalvora / C.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/scan/periods/period_scan.h"
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

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();
