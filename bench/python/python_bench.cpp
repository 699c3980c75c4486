// What the Python module costs: one short call (the overhead a script's loop pays), and an orbit
// of a million steps returned as an array against kalvora-cli writing it to /dev/null.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <pybind11/embed.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace py = pybind11;

namespace {

py::object LoadModel(const char* file) {
    py::module_::import("sys").attr("path").attr("insert")(0, KALVORA_PYTHON_PATH);
    return py::module_::import("kalvora").attr("load")(std::string(KALVORA_MODELS) + "/" + file);
}

// m.orbit(10) from Python: argument checks, the run and the array, as a loop in a script pays it.
void OrbitCallOverhead(benchmark::State& state) {
    const py::object orbit = LoadModel("logistic.mod").attr("orbit");
    const py::int_ ten(10);
    for (auto _ : state) {
        benchmark::DoNotOptimize(orbit(ten).ptr());
    }
}
BENCHMARK(OrbitCallOverhead)->Unit(benchmark::kMicrosecond);

// The same call without the package's Python layer: the compiled part alone.
void OrbitCallOverheadCompiledPart(benchmark::State& state) {
    const py::object engine = LoadModel("logistic.mod").attr("_engine");
    const py::object options = py::module_::import("kalvora._kalvora").attr("OrbitOptions")();
    options.attr("count") = 10;
    const py::object orbit = engine.attr("orbit");
    for (auto _ : state) {
        benchmark::DoNotOptimize(orbit(options).ptr());
    }
}
BENCHMARK(OrbitCallOverheadCompiledPart)->Unit(benchmark::kMicrosecond);

constexpr int kMillion = 1'000'000;

void MillionStepOrbitAsArray(benchmark::State& state, const char* file) {
    const py::object orbit = LoadModel(file).attr("orbit");
    const py::int_ steps(kMillion);
    for (auto _ : state) {
        benchmark::DoNotOptimize(orbit(steps).ptr());
    }
}
BENCHMARK_CAPTURE(MillionStepOrbitAsArray, logistic, "logistic.mod")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MillionStepOrbitAsArray, lorenz, "lorenz.mod")->Unit(benchmark::kMillisecond);

// kalvora-cli orbit MODEL --length 1000000 > /dev/null, the process's start included (a few
// milliseconds of the total).
void MillionStepOrbitByTheBatchTool(benchmark::State& state, const char* file) {
    const std::string model = std::string(KALVORA_MODELS) + "/" + file;
    const std::string length = std::to_string(kMillion);
    char* const arguments[] = {const_cast<char*>(KALVORA_CLI),    const_cast<char*>("orbit"),
                               const_cast<char*>(model.c_str()),  const_cast<char*>("--length"),
                               const_cast<char*>(length.c_str()), nullptr};
    double childSeconds = 0;
    for (auto _ : state) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t child = 0;
        if (posix_spawn(&child, KALVORA_CLI, &actions, nullptr, arguments, environ) != 0) {
            state.SkipWithError("cannot start kalvora-cli");
            break;
        }
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        // The child's processor time, to set against the CPU column of the array's run on a
        // machine that others share.
        childSeconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                        static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("kalvora-cli failed");
            break;
        }
    }
    state.counters["child_cpu_ms"] =
        benchmark::Counter(childSeconds * 1e3, benchmark::Counter::kAvgIterations);
}
BENCHMARK_CAPTURE(MillionStepOrbitByTheBatchTool, logistic, "logistic.mod")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(MillionStepOrbitByTheBatchTool, lorenz, "lorenz.mod")
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    const py::scoped_interpreter python;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
