// The compiled part of the Python package kalvora: the engine's runs as numpy arrays, computed
// with the GIL released and stopped by Ctrl+C.

#include <pybind11/complex.h>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/progress.h"
#include "core/run_control.h"
#include "engine.h"

namespace py = pybind11;

namespace kalvora::python {
namespace {

// Ctrl+C during a run. Python takes a signal only on its main thread and only between two of its
// own instructions, so a run on the main thread, with the GIL released, is watched by a handler of
// ours put in front of Python's for the length of the run: it passes the signal on to Python's
// handler (which records it, to raise KeyboardInterrupt when the run returns) and wakes a thread
// that requests the stop of every run under way there. The run itself stays on the calling
// thread: handing it to a worker and back would cost a short run more than the run itself.
// The signals taken so far; counted in the handler (lock-free, so safe there).
std::atomic<unsigned long> interruptSignals{0};
static_assert(std::atomic<unsigned long>::is_always_lock_free);

class InterruptWatch {
  public:
    static InterruptWatch& Get() {
        // Never destroyed: its thread reads the pipe until the process ends.
        static InterruptWatch* watch = new InterruptWatch();
        return *watch;
    }

    void add(RunControl& control) {
        std::lock_guard lock(mutex_);
        controls_.push_back({&control, interruptSignals.load()});
    }
    void remove(RunControl& control) {
        std::lock_guard lock(mutex_);
        controls_.erase(
            std::find_if(controls_.begin(), controls_.end(),
                         [&](const Watched& watched) { return watched.control == &control; }));
    }
    int signalEnd() const { return pipe_[1]; }

  private:
    InterruptWatch() {
        if (pipe2(pipe_, O_CLOEXEC) != 0) {
            pipe_[0] = pipe_[1] = -1;
            return;
        }
        std::thread([this] { watch(); }).detach();
    }

    void watch() {
        char byte = 0;
        for (;;) {
            const ssize_t got = read(pipe_[0], &byte, 1);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                return;
            }
            // Only runs that began before the signal: one that the signal's own KeyboardInterrupt
            // let start before this thread woke is not the one Ctrl+C was meant for.
            const unsigned long seen = interruptSignals.load();
            std::lock_guard lock(mutex_);
            for (const Watched& watched : controls_) {
                if (watched.signalsBefore < seen) {
                    watched.control->requestStop();
                }
            }
        }
    }

    struct Watched {
        RunControl* control;
        unsigned long signalsBefore;  // the signals counted when the run began
    };
    std::mutex mutex_;
    std::vector<Watched> controls_;
    int pipe_[2] = {-1, -1};
};

// Python's handler, called by ours; only the main thread changes it, and only around a run.
struct sigaction pythonInterrupt;
std::atomic<int> interruptSignalEnd{-1};

void OnInterrupt(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    interruptSignals.fetch_add(1);
    const char byte = 1;
    const int end = interruptSignalEnd.load(std::memory_order_relaxed);
    if (end >= 0) {
        [[maybe_unused]] const ssize_t written = write(end, &byte, 1);
    }
    errno = savedErrno;
    if ((pythonInterrupt.sa_flags & SA_SIGINFO) != 0) {
        pythonInterrupt.sa_sigaction(signal, info, context);
    } else {
        pythonInterrupt.sa_handler(signal);
    }
}

unsigned long mainThread = 0;

// For the length of a run on the main thread, SIGINT also stops the run. A handler that is no
// function (Ctrl+C ignored, or ending the process) is left alone, and so are runs on other threads,
// where Python never raises KeyboardInterrupt.
class WatchedRun {
  public:
    explicit WatchedRun(RunControl& control) : control_(control) {
        if (PyThread_get_thread_ident() != mainThread ||
            sigaction(SIGINT, nullptr, &pythonInterrupt) != 0) {
            return;
        }
        const bool function =
            (pythonInterrupt.sa_flags & SA_SIGINFO) != 0 ||
            (pythonInterrupt.sa_handler != SIG_DFL && pythonInterrupt.sa_handler != SIG_IGN);
        InterruptWatch& watch = InterruptWatch::Get();
        if (!function || watch.signalEnd() < 0) {
            return;
        }
        interruptSignalEnd.store(watch.signalEnd(), std::memory_order_relaxed);
        watch.add(control_);
        struct sigaction ours = pythonInterrupt;
        ours.sa_flags |= SA_SIGINFO;
        ours.sa_sigaction = OnInterrupt;
        active_ = sigaction(SIGINT, &ours, nullptr) == 0;
        if (!active_) {
            watch.remove(control_);
        }
    }
    ~WatchedRun() {
        if (active_) {
            sigaction(SIGINT, &pythonInterrupt, nullptr);
            InterruptWatch::Get().remove(control_);
        }
    }
    WatchedRun(const WatchedRun&) = delete;
    WatchedRun& operator=(const WatchedRun&) = delete;

  private:
    RunControl& control_;
    bool active_ = false;
};

// Runs job(control) with the GIL released. After Ctrl+C it raises what Python's handler raises
// (KeyboardInterrupt), or KeyboardInterrupt when a handler of the user's let the run be stopped
// without raising; whatever the run computed is dropped.
template <typename Result>
Result RunWatched(const std::function<Result(RunControl&)>& job) {
    QuietRunControl control;
    std::optional<Result> result;
    {
        const WatchedRun watched(control);
        const py::gil_scoped_release release;
        result.emplace(job(control));
    }
    if (PyErr_CheckSignals() != 0) {
        throw py::error_already_set();
    }
    if (control.stopRequested()) {
        PyErr_SetNone(PyExc_KeyboardInterrupt);
        throw py::error_already_set();
    }
    return std::move(*result);
}

// A vector handed to numpy without a copy: the array owns it from now on.
template <typename T>
py::array_t<T> ArrayOf(std::vector<T>&& values, std::vector<py::ssize_t> shape) {
    auto* owned = new std::vector<T>(std::move(values));
    py::capsule owner(owned, [](void* pointer) { delete static_cast<std::vector<T>*>(pointer); });
    return py::array_t<T>(shape, owned->data(), owner);
}

template <typename T>
py::array_t<T> ArrayOf(std::vector<T>&& values) {
    const auto size = static_cast<py::ssize_t>(values.size());
    return ArrayOf(std::move(values), {size});
}

// (payload, failure): failure is None or (message, line); the Python side raises ModelError with
// the payload as the partial result.
py::object Failure(bool failed, const std::string& message, int line) {
    if (!failed) {
        return py::none();
    }
    return py::make_tuple(message.empty() ? std::string("Overflow") : message, line);
}

py::tuple ColumnsResult(Columns&& columns) {
    if (!columns.note.empty() && PyErr_WarnEx(PyExc_RuntimeWarning, columns.note.c_str(), 2) < 0) {
        throw py::error_already_set();  // warnings turned into errors
    }
    py::list arrays;
    for (std::vector<double>& column : columns.columns) {
        arrays.append(ArrayOf(std::move(column)));
    }
    return py::make_tuple(py::tuple(arrays),
                          Failure(columns.failed, columns.message, columns.line));
}

py::tuple TableResult(Table&& table) {
    const auto columns = static_cast<py::ssize_t>(table.columnCount);
    const auto rows = columns == 0 ? 0 : static_cast<py::ssize_t>(table.values.size()) / columns;
    return py::make_tuple(ArrayOf(std::move(table.values), {rows, columns}),
                          Failure(table.failed, table.message, table.line));
}

py::tuple ScanTuple(ScanResult&& scan) {
    std::vector<std::uint8_t> rgb;
    for (const std::uint32_t colour : scan.colours) {
        rgb.push_back(static_cast<std::uint8_t>(colour >> 16));
        rgb.push_back(static_cast<std::uint8_t>(colour >> 8));
        rgb.push_back(static_cast<std::uint8_t>(colour));
    }
    const auto classes = static_cast<py::ssize_t>(scan.colours.size());
    return py::make_tuple(ArrayOf(std::move(scan.classes), {scan.rows, scan.columns}),
                          ArrayOf(std::move(rgb), {classes, 3}),
                          ArrayOf(std::move(scan.horizontal)), ArrayOf(std::move(scan.vertical)),
                          py::str(scan.message));
}

py::tuple StatisticsTuple(StatisticsResult&& result) {
    static const char* const kNames[] = {
        "mean",     "median",   "maximum", "minimum", "standard_deviation",
        "variance", "skewness", "kurtosis"};
    py::dict figures;
    figures["series"] = result.series;
    figures["count"] = result.count;
    for (std::size_t k = 0; k < result.figures.size(); ++k) {
        figures[kNames[k]] =
            result.figures[k] ? py::object(py::float_(*result.figures[k])) : py::object(py::none());
    }
    figures["texts"] = result.figureTexts;
    figures["sample"] = ArrayOf(std::move(result.sample));
    figures["histogram"] = ArrayOf(std::move(result.histogram));
    return py::make_tuple(figures, Failure(result.failed, result.message, result.line));
}

py::tuple ContinuationTuple(ContinuationResult&& result) {
    const auto rows = [](const Table& table) {
        return static_cast<py::ssize_t>(
            table.columnCount == 0 ? 0 : table.values.size() / table.columnCount);
    };
    const auto branchRows = rows(result.branch);
    const auto specialRows = rows(result.special);
    const auto branchColumns = static_cast<py::ssize_t>(result.branch.columnCount);
    const auto specialColumns = static_cast<py::ssize_t>(result.special.columnCount);
    return py::make_tuple(
        ArrayOf(std::move(result.branch.values), {branchRows, branchColumns}), result.labels,
        ArrayOf(std::move(result.special.values), {specialRows, specialColumns}), result.notes);
}

py::tuple CyclesTuple(FixedPointResult&& result) {
    py::list cycles;
    for (FoundCycle& cycle : result.cycles) {
        py::dict entry;
        entry["period"] = cycle.period;
        entry["points"] = ArrayOf(std::move(cycle.points), {cycle.rows, cycle.variables});
        entry["multipliers"] = ArrayOf(std::move(cycle.eigenvalues));
        entry["stable"] = cycle.stable;
        entry["type"] = cycle.type;
        entry["trace"] = cycle.trace;
        entry["determinant"] = cycle.determinant;
        cycles.append(entry);
    }
    return py::make_tuple(cycles, result.exact, py::str(result.message));
}

template <typename Options, typename Result, typename Convert>
auto Runner(Result (Engine::*run)(const Options&, RunControl&), Convert convert) {
    return [run, convert](const std::shared_ptr<Engine>& engine, const Options& options) {
        const std::function<Result(RunControl&)> job = [&](RunControl& control) {
            return ((*engine).*run)(options, control);
        };
        return convert(RunWatched(job));
    };
}

}  // namespace
}  // namespace kalvora::python

PYBIND11_MODULE(_kalvora, module) {
    using namespace kalvora::python;
    module.doc() = "The compiled engine of the kalvora package; use the package, not this module.";
    mainThread =
        py::module_::import("threading").attr("main_thread")().attr("ident").cast<unsigned long>();

    static py::exception<ModelFailure> modelFailure(module, "ModelFailure", PyExc_RuntimeError);
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) {
                std::rethrow_exception(error);
            }
        } catch (const ModelFailure& failure) {
            // Raised as ModelFailure(message, line); the package turns it into ModelError.
            const py::tuple arguments = py::make_tuple(failure.what(), failure.line);
            PyErr_SetObject(modelFailure.ptr(), arguments.ptr());
        } catch (const BadArgument& bad) {
            PyErr_SetString(PyExc_ValueError, bad.what());
        } catch (const FileProblem& problem) {
            PyErr_SetString(PyExc_OSError, problem.what());
        }
    });

    module.def("read_number", &ReadNumber,
               "The number a text gives, read as the desktop reads it.");
    module.def("data_text", &DataText, "A value as the program's data files write it.");

    py::class_<NoiseOptions>(module, "NoiseOptions")
        .def(py::init<>())
        .def_readwrite("level", &NoiseOptions::level)
        .def_readwrite("variable", &NoiseOptions::variable)
        .def_readwrite("uniform", &NoiseOptions::uniform)
        .def_readwrite("probability", &NoiseOptions::probability)
        .def_readwrite("period", &NoiseOptions::period)
        .def_readwrite("seed", &NoiseOptions::seed)
        .def_readwrite("wiener", &NoiseOptions::wiener);
    py::class_<OrbitOptions>(module, "OrbitOptions")
        .def(py::init<>())
        .def_readwrite("count", &OrbitOptions::count)
        .def_readwrite("start", &OrbitOptions::start)
        .def_readwrite("every", &OrbitOptions::every);
    py::class_<SeriesOptions>(module, "SeriesOptions")
        .def(py::init<>())
        .def_readwrite("first", &SeriesOptions::first)
        .def_readwrite("second", &SeriesOptions::second)
        .def_readwrite("points", &SeriesOptions::points)
        .def_readwrite("skip", &SeriesOptions::skip)
        .def_readwrite("every", &SeriesOptions::every)
        .def_readwrite("delay", &SeriesOptions::delay)
        .def_readwrite("delay_time", &SeriesOptions::delayTime)
        .def_readwrite("start", &SeriesOptions::from)
        .def_readwrite("end", &SeriesOptions::to);
    py::class_<CobwebOptions>(module, "CobwebOptions")
        .def(py::init<>())
        .def_readwrite("minimum", &CobwebOptions::minimum)
        .def_readwrite("maximum", &CobwebOptions::maximum)
        .def_readwrite("iterate", &CobwebOptions::iterate)
        .def_readwrite("initial", &CobwebOptions::initial)
        .def_readwrite("steps", &CobwebOptions::steps);
    py::class_<ObjectOptions>(module, "ObjectOptions")
        .def(py::init<>())
        .def_readwrite("horizontal", &ObjectOptions::horizontal)
        .def_readwrite("vertical", &ObjectOptions::vertical)
        .def_readwrite("circle", &ObjectOptions::circle)
        .def_readwrite("vertices", &ObjectOptions::vertices)
        .def_readwrite("radius", &ObjectOptions::radius)
        .def_readwrite("resolution", &ObjectOptions::resolution)
        .def_readwrite("steps", &ObjectOptions::steps)
        .def_readwrite("unplotted", &ObjectOptions::unplotted)
        .def_readwrite("attractor", &ObjectOptions::attractor)
        .def_readwrite("attractor_points", &ObjectOptions::attractorPoints)
        .def_readwrite("attractor_skip", &ObjectOptions::attractorSkip);
    py::class_<SweepOptions>(module, "SweepOptions")
        .def(py::init<>())
        .def_readwrite("parameter", &SweepOptions::parameter)
        .def_readwrite("variable", &SweepOptions::variable)
        .def_readwrite("minimum", &SweepOptions::minimum)
        .def_readwrite("maximum", &SweepOptions::maximum)
        .def_readwrite("points", &SweepOptions::points)
        .def_readwrite("skip", &SweepOptions::skip)
        .def_readwrite("epsilon", &SweepOptions::epsilon)
        .def_readwrite("method", &SweepOptions::method)
        .def_readwrite("section", &SweepOptions::section)
        .def_readwrite("maxima", &SweepOptions::maxima)
        .def_readwrite("resolution", &SweepOptions::resolution)
        .def_readwrite("carry", &SweepOptions::carry)
        .def_readwrite("right_to_left", &SweepOptions::rightToLeft)
        .def_readwrite("skip_failures", &SweepOptions::skipFailures)
        .def_readwrite("threads", &SweepOptions::threads);
    py::class_<ContinuationOptions>(module, "ContinuationOptions")
        .def(py::init<>())
        .def_readwrite("parameter", &ContinuationOptions::parameter)
        .def_readwrite("start_from", &ContinuationOptions::from)
        .def_readwrite("end_at", &ContinuationOptions::to)
        .def_readwrite("start", &ContinuationOptions::start)
        .def_readwrite("start_parameter", &ContinuationOptions::startParameter)
        .def_readwrite("period", &ContinuationOptions::period)
        .def_readwrite("step", &ContinuationOptions::step)
        .def_readwrite("max_points", &ContinuationOptions::maxPoints)
        .def_readwrite("transient", &ContinuationOptions::transient)
        .def_readwrite("tolerance", &ContinuationOptions::tolerance)
        .def_readwrite("switches", &ContinuationOptions::switches);
    py::class_<ScanOptions>(module, "ScanOptions")
        .def(py::init<>())
        .def_readwrite("horizontal", &ScanOptions::horizontal)
        .def_readwrite("vertical", &ScanOptions::vertical)
        .def_readwrite("horizontal_minimum", &ScanOptions::horizontalMinimum)
        .def_readwrite("horizontal_maximum", &ScanOptions::horizontalMaximum)
        .def_readwrite("vertical_minimum", &ScanOptions::verticalMinimum)
        .def_readwrite("vertical_maximum", &ScanOptions::verticalMaximum)
        .def_readwrite("horizontal_resolution", &ScanOptions::horizontalResolution)
        .def_readwrite("vertical_resolution", &ScanOptions::verticalResolution)
        .def_readwrite("cycles", &ScanOptions::cycles)
        .def_readwrite("periods", &ScanOptions::periods)
        .def_readwrite("confirmations", &ScanOptions::confirmations)
        .def_readwrite("epsilon", &ScanOptions::epsilon)
        .def_readwrite("transient", &ScanOptions::transient)
        .def_readwrite("max_distance", &ScanOptions::maxDistance)
        .def_readwrite("all_dimensions", &ScanOptions::allDimensions)
        .def_readwrite("threads", &ScanOptions::threads);
    py::class_<FixedPointOptions>(module, "FixedPointOptions")
        .def(py::init<>())
        .def_readwrite("box", &FixedPointOptions::box)
        .def_readwrite("first_period", &FixedPointOptions::firstPeriod)
        .def_readwrite("last_period", &FixedPointOptions::lastPeriod)
        .def_readwrite("grid", &FixedPointOptions::grid)
        .def_readwrite("tolerance", &FixedPointOptions::tolerance)
        .def_readwrite("threads", &FixedPointOptions::threads);
    py::class_<SpectrumOptions>(module, "SpectrumOptions")
        .def(py::init<>())
        .def_readwrite("iterations", &SpectrumOptions::iterations)
        .def_readwrite("skip", &SpectrumOptions::skip)
        .def_readwrite("parameter", &SpectrumOptions::parameter)
        .def_readwrite("minimum", &SpectrumOptions::minimum)
        .def_readwrite("maximum", &SpectrumOptions::maximum)
        .def_readwrite("resolution", &SpectrumOptions::resolution)
        .def_readwrite("threads", &SpectrumOptions::threads);
    py::class_<LyapunovMapOptions>(module, "LyapunovMapOptions")
        .def(py::init<>())
        .def_readwrite("horizontal", &LyapunovMapOptions::horizontal)
        .def_readwrite("vertical", &LyapunovMapOptions::vertical)
        .def_readwrite("horizontal_initial", &LyapunovMapOptions::horizontalInitial)
        .def_readwrite("vertical_initial", &LyapunovMapOptions::verticalInitial)
        .def_readwrite("horizontal_minimum", &LyapunovMapOptions::horizontalMinimum)
        .def_readwrite("horizontal_maximum", &LyapunovMapOptions::horizontalMaximum)
        .def_readwrite("vertical_minimum", &LyapunovMapOptions::verticalMinimum)
        .def_readwrite("vertical_maximum", &LyapunovMapOptions::verticalMaximum)
        .def_readwrite("horizontal_resolution", &LyapunovMapOptions::horizontalResolution)
        .def_readwrite("vertical_resolution", &LyapunovMapOptions::verticalResolution)
        .def_readwrite("iterations", &LyapunovMapOptions::iterations)
        .def_readwrite("skip", &LyapunovMapOptions::skip)
        .def_readwrite("threads", &LyapunovMapOptions::threads);
    py::class_<PoincareOptions>(module, "PoincareOptions")
        .def(py::init<>())
        .def_readwrite("section", &PoincareOptions::section)
        .def_readwrite("direction", &PoincareOptions::direction)
        .def_readwrite("crossings", &PoincareOptions::crossings)
        .def_readwrite("skip_time", &PoincareOptions::skipTime);
    py::class_<StatisticsOptions>(module, "StatisticsOptions")
        .def(py::init<>())
        .def_readwrite("variable", &StatisticsOptions::variable)
        .def_readwrite("skip", &StatisticsOptions::skip)
        .def_readwrite("points", &StatisticsOptions::points);

    py::class_<Engine, std::shared_ptr<Engine>>(module, "Engine")
        .def_static("from_file", &Engine::FromFile, py::arg("path"), py::arg("memory_limit"))
        .def_static("from_texts", &Engine::FromTexts)
        .def_property_readonly("name", &Engine::name)
        .def_property_readonly("file", &Engine::file)
        .def_property_readonly("discrete", &Engine::discrete)
        .def_property_readonly("equations", &Engine::equations)
        .def_property_readonly("variable_names", &Engine::variableNames)
        .def_property_readonly("auxiliary_names", &Engine::auxiliaryNames)
        .def_property_readonly("parameter_names", &Engine::parameterNames)
        .def_property_readonly("parameter_values", &Engine::parameterValues)
        .def_property_readonly("initial_values", &Engine::initialValues)
        .def_property_readonly("step_size", &Engine::stepSize)
        .def_property_readonly("parameter_texts", &Engine::parameterTexts)
        .def_property_readonly("initial_texts", &Engine::initialTexts)
        .def_property_readonly("step_size_text", &Engine::stepSizeText)
        .def("set_parameters", &Engine::setParameters)
        .def("set_initial_values", &Engine::setInitialValues)
        .def("set_step_size", &Engine::setStepSize)
        .def("read_parameter_file", &Engine::readParameterFile)
        .def("write_parameter_file", &Engine::writeParameterFile)
        .def("set_noise", &Engine::setNoise)
        .def("noise", &Engine::noise)
        .def("set_integrator", &Engine::setIntegrator)
        .def_property_readonly("integrator", &Engine::integrator)
        .def("check_sweep", &Engine::checkSweep)
        .def("orbit", Runner(&Engine::orbit, TableResult))
        .def("timeseries", Runner(&Engine::timeSeries, ColumnsResult))
        .def("phase", Runner(&Engine::phase, ColumnsResult))
        .def("delay", Runner(&Engine::delay, ColumnsResult))
        .def("cobweb", Runner(&Engine::cobweb, ColumnsResult))
        .def("objects", Runner(&Engine::objects, ColumnsResult))
        .def("bifurcation", Runner(&Engine::bifurcation, ColumnsResult))
        .def("lyapunov", Runner(&Engine::lyapunov, ColumnsResult))
        .def("poincare", Runner(&Engine::poincare, TableResult))
        .def("basins", Runner(&Engine::basins, ScanTuple))
        .def("periods", Runner(&Engine::periods, ScanTuple))
        .def("statistics", Runner(&Engine::statistics, StatisticsTuple))
        .def("continuation", Runner(&Engine::continuation, ContinuationTuple))
        .def("fixed_points", Runner(&Engine::fixedPoints, CyclesTuple))
        .def("spectrum", Runner(&Engine::spectrum, ColumnsResult))
        .def("lyapunov_map", Runner(&Engine::lyapunovMap, ColumnsResult));
}
