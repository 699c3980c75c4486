// Runs whose time goes to writing their files, against C++ programs without Kalvora's code that
// compute the same numbers bit for bit (long double where Kalvora keeps Extended, the model's
// arithmetic in double) and write the same bytes with a lean writer: the fields formatted by the
// standard library (std::to_chars for the data file's doubles, printf for the orbit file's long
// doubles, there being nothing faster for them) into a large buffer handed to fwrite. Before timing
// each pair's files are compared in full: the C program is also the independent reference of the
// run and of its formatting. The ratio of the two times is the figure of interest: Kalvora / C.
// The files go to /dev/shm where there is one, so that the disk's speed is not in the figure.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "analysis/window/data_file_writer.h"
#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/orbit_file.h"
#include "core/run_control.h"
#include "core/text_file.h"

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

std::string ScratchFile(const std::string& name) {
    const std::string folder = std::filesystem::is_directory("/dev/shm")
                                   ? std::string("/dev/shm/")
                                   : std::filesystem::temp_directory_path().string() + "/";
    return folder + "kalvora-output-bench-" + std::to_string(::getpid()) + "-" + name;
}

// The C side's writer: a large buffer, fwrite when it fills.
class LeanWriter {
  public:
    explicit LeanWriter(const std::string& path) : file_(std::fopen(path.c_str(), "wb")) {}
    ~LeanWriter() {
        std::fwrite(buffer_, 1, static_cast<std::size_t>(next_ - buffer_), file_);
        std::fclose(file_);
    }
    LeanWriter(const LeanWriter&) = delete;
    LeanWriter& operator=(const LeanWriter&) = delete;
    // Room for `bytes` more characters.
    char* room(std::size_t bytes) {
        if (static_cast<std::size_t>(buffer_ + sizeof buffer_ - next_) < bytes) {
            std::fwrite(buffer_, 1, static_cast<std::size_t>(next_ - buffer_), file_);
            next_ = buffer_;
        }
        return next_;
    }
    void advance(char* end) { next_ = end; }

  private:
    std::FILE* file_;
    char buffer_[1 << 20];
    char* next_ = buffer_;
};

std::string Contents(const std::string& path) {
    return ReadTextFile(path);
}

// --- The logistic map's bifurcation diagram: 2000 values of r, 1000 steps not plotted and 1000
// plotted, to a data file
// --------------------------------------------------------------------------

BifurcationSettings LogisticBifurcationSettings() {
    BifurcationSettings settings;
    settings.parameter = 1;
    settings.minimum = 2.8L;
    settings.maximum = 4;
    settings.resolution = 1999;
    settings.transientSteps = 1000;
    settings.plottedPoints = 1000;
    return settings;
}

void KalvoraLogisticBifurcation(const LoadedModel& model, const std::string& path) {
    ModelEvaluator evaluator(model.ws.definition);
    QuietRunControl control;
    AtomicFileWriter file(path);
    DataLineSink sink(file.stream());
    BifurcationSweep(evaluator, ModelKind::Discrete, LogisticBifurcationSettings(), 1, control,
                     sink);
    sink.flush();
    file.commit();
}

// One value of the data file: ten decimals, no sign on zero (the values here are far below 1e36).
inline char* DataValue(double value, char* out) {
    if (value == 0) {
        value = 0;
    }
    return std::to_chars(out, out + 64, value, std::chars_format::fixed, 10).ptr;
}

void CLogisticBifurcation(const std::string& path) {
    const long double from = 2.8L;
    const long double to = 4;
    const long long steps = 1999;
    const long double step = (to - from) / static_cast<long double>(steps);
    LeanWriter out(path);
    for (long long index = 0; index <= steps; ++index) {
        const long double parameter =
            index == steps ? to : from + static_cast<long double>(index) * step;
        const double r = static_cast<double>(parameter);
        long double state = 0.2L;
        for (int t = 0; t < 1000; ++t) {
            const double x = static_cast<double>(state);
            state = r * x * (1 - x);
        }
        for (int k = 0; k < 1000; ++k) {
            const double x = static_cast<double>(state);
            state = r * x * (1 - x);
            char* line = DataValue(r, out.room(160));
            *line++ = ' ';
            line = DataValue(static_cast<double>(state), line);
            *line++ = '\r';
            *line++ = '\n';
            out.advance(line);
        }
    }
}

void BM_LogisticBifurcationToFile(benchmark::State& state) {
    const LoadedModel model("logistic.mod");
    const std::string kalvoraFile = ScratchFile("bifurcation-kalvora.dat");
    const std::string cFile = ScratchFile("bifurcation-c.dat");
    KalvoraLogisticBifurcation(model, kalvoraFile);
    CLogisticBifurcation(cFile);
    const bool same = Contents(kalvoraFile) == Contents(cFile);
    std::filesystem::remove(cFile);
    if (!same) {
        std::filesystem::remove(kalvoraFile);
        state.SkipWithError("the C program's file differs");
        return;
    }
    for (auto _ : state) {
        if (state.range(0) == 0) {
            KalvoraLogisticBifurcation(model, kalvoraFile);
        } else {
            CLogisticBifurcation(cFile);
        }
    }
    std::filesystem::remove(kalvoraFile);
    std::filesystem::remove(cFile);
}
BENCHMARK(BM_LogisticBifurcationToFile)
    ->ArgName("c")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// --- The Lorenz system's orbit file: 10^7 lines of x, y, z, Kutta's third-order step of 0.01 ---

constexpr long long kLorenzLines = 10'000'000;

void KalvoraLorenzOrbit(const LoadedModel& model, const std::string& path) {
    ModelEvaluator evaluator(model.ws.definition);
    QuietRunControl control;
    AtomicFileWriter file(path);
    WriteOrbit(evaluator, ModelKind::Continuous, file.stream(), {1, kLorenzLines, 1}, control,
               path);
    file.commit();
}

struct Lorenz {
    double sigma;
    double r;
    double b;
    // The model's lines in Lua's order, on doubles.
    void derivative(const double* in, double* out) const {
        const double x = in[0];
        const double y = in[1];
        const double z = in[2];
        out[0] = sigma * (y - x);
        out[1] = x * (r - z) - y;
        out[2] = x * y - b * z;
    }
};

// One field of the orbit file: printf's "% .14LE" with the exponent widened to four digits.
inline char* OrbitValue(long double value, char* out) {
    char text[40];
    const int length = std::snprintf(text, sizeof text, "% .14LE", value == 0 ? 0.0L : value);
    const int exponentDigits = length - 19;  // " d.ddddddddddddddE+" is 19 characters
    std::memcpy(out, text, 19);
    out += 19;
    for (int pad = exponentDigits; pad < 4; ++pad) {
        *out++ = '0';
    }
    std::memcpy(out, text + 19, static_cast<std::size_t>(exponentDigits));
    return out + exponentDigits;
}

void CLorenzOrbit(const LoadedModel& model, const std::string& path) {
    const ModelDefinition& definition = model.ws.model();
    const long double h = definition.stepSize;
    const Lorenz lorenz{static_cast<double>(definition.parameterValues[0]),
                        static_cast<double>(definition.parameterValues[1]),
                        static_cast<double>(definition.parameterValues[2])};
    long double state[3] = {definition.initialValues[0], definition.initialValues[1],
                            definition.initialValues[2]};
    LeanWriter out(path);
    double k1[3];
    double k2[3];
    double k3[3];
    double y[3];
    for (long long line = 0; line < kLorenzLines; ++line) {
        for (int i = 0; i < 3; ++i) {
            y[i] = static_cast<double>(state[i]);
        }
        lorenz.derivative(y, k1);
        for (int i = 0; i < 3; ++i) {
            y[i] = static_cast<double>((h * k1[i]) / 2 + state[i]);
        }
        lorenz.derivative(y, k2);
        for (int i = 0; i < 3; ++i) {
            y[i] = static_cast<double>((state[i] - h * k1[i]) + (h * 2) * k2[i]);
        }
        lorenz.derivative(y, k3);
        for (int i = 0; i < 3; ++i) {
            state[i] = ((k2[i] * 4.0L + k1[i]) + k3[i]) * h / 6 + state[i];
        }
        char* text = out.room(80);
        for (int i = 0; i < 3; ++i) {
            if (i > 0) {
                *text++ = ' ';
            }
            text = OrbitValue(state[i], text);
        }
        *text++ = '\r';
        *text++ = '\n';
        out.advance(text);
    }
}

void BM_LorenzOrbitFile(benchmark::State& state) {
    const LoadedModel model("lorenz.mod");
    const std::string kalvoraFile = ScratchFile("lorenz-kalvora.txt");
    const std::string cFile = ScratchFile("lorenz-c.txt");
    KalvoraLorenzOrbit(model, kalvoraFile);
    CLorenzOrbit(model, cFile);
    const bool same = Contents(kalvoraFile) == Contents(cFile);
    std::filesystem::remove(cFile);
    if (!same) {
        std::filesystem::remove(kalvoraFile);
        state.SkipWithError("the C program's file differs");
        return;
    }
    for (auto _ : state) {
        if (state.range(0) == 0) {
            KalvoraLorenzOrbit(model, kalvoraFile);
        } else {
            CLorenzOrbit(model, cFile);
        }
    }
    std::filesystem::remove(kalvoraFile);
    std::filesystem::remove(cFile);
}
BENCHMARK(BM_LorenzOrbitFile)->ArgName("c")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kalvora

BENCHMARK_MAIN();
