// The compiled part of the Python package kalvora: the engine's runs as numpy arrays, computed
// on a worker thread with the GIL released while the calling thread watches for Ctrl+C.

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "core/progress.h"
#include "core/run_control.h"
#include "engine.h"

namespace py = pybind11;

namespace kalvora::python {
namespace {

// Threads that run the computations. Python calls only wait for them: only the main thread can
// take Python's signals, and it can only take them while it is not itself deep in a computation.
// Threads are kept for the next call, as starting one costs more than a short run.
class Workers {
  public:
    static Workers& Get() {
        // Never destroyed: threads may still wait on it while the interpreter exits.
        static Workers* workers = new Workers();
        return *workers;
    }

    void submit(std::function<void()> job) {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
        if (idle_ == 0) {
            std::thread([this] { serve(); }).detach();
        } else {
            wake_.notify_one();
        }
    }

  private:
    void serve() {
        std::unique_lock lock(mutex_);
        for (;;) {
            if (jobs_.empty()) {
                ++idle_;
                wake_.wait(lock, [this] { return !jobs_.empty(); });
                --idle_;
            }
            std::function<void()> job = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            job();
            lock.lock();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    int idle_ = 0;
};

struct Completion {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    std::exception_ptr error;
};

// How often the waiting thread looks for Ctrl+C: well inside the second a stop may take.
constexpr auto kSignalPoll = std::chrono::milliseconds(20);

// Runs job(control) on a worker with the GIL released. Ctrl+C (or any signal whose Python handler
// raises) requests the run's stop, waits for the worker to end, and raises the handler's exception;
// whatever the run computed is dropped.
template <typename Result>
Result RunOffThread(const std::function<Result(RunControl&)>& job) {
    QuietRunControl control;
    Completion completion;
    std::optional<Result> result;
    Workers::Get().submit([&] {
        try {
            result.emplace(job(control));
        } catch (...) {
            completion.error = std::current_exception();
        }
        std::lock_guard lock(completion.mutex);
        completion.finished = true;
        completion.done.notify_all();
    });
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        std::unique_lock lock(completion.mutex);
        while (!completion.done.wait_for(lock, kSignalPoll, [&] { return completion.finished; })) {
            lock.unlock();
            {
                py::gil_scoped_acquire acquire;
                interrupted = PyErr_CheckSignals() != 0;
            }
            lock.lock();
            if (interrupted) {
                // The stop goes out before anything waits for the worker.
                control.requestStop();
                completion.done.wait(lock, [&] { return completion.finished; });
                break;
            }
        }
    }
    if (interrupted) {
        throw py::error_already_set();
    }
    if (completion.error) {
        std::rethrow_exception(completion.error);
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

template <typename Options, typename Result, typename Convert>
auto Runner(Result (Engine::*run)(const Options&, RunControl&), Convert convert) {
    return [run, convert](const std::shared_ptr<Engine>& engine, const Options& options) {
        const std::function<Result(RunControl&)> job = [&](RunControl& control) {
            return ((*engine).*run)(options, control);
        };
        return convert(RunOffThread(job));
    };
}

}  // namespace
}  // namespace kalvora::python

PYBIND11_MODULE(_kalvora, module) {
    using namespace kalvora::python;
    module.doc() = "The compiled engine of the kalvora package; use the package, not this module.";

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

    py::class_<NoiseOptions>(module, "NoiseOptions")
        .def(py::init<>())
        .def_readwrite("level", &NoiseOptions::level)
        .def_readwrite("variable", &NoiseOptions::variable)
        .def_readwrite("uniform", &NoiseOptions::uniform)
        .def_readwrite("probability", &NoiseOptions::probability)
        .def_readwrite("period", &NoiseOptions::period)
        .def_readwrite("seed", &NoiseOptions::seed);
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
        .def_readwrite("resolution", &SweepOptions::resolution)
        .def_readwrite("carry", &SweepOptions::carry)
        .def_readwrite("right_to_left", &SweepOptions::rightToLeft)
        .def_readwrite("threads", &SweepOptions::threads);
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
        .def("check_sweep", &Engine::checkSweep)
        .def("orbit", Runner(&Engine::orbit, TableResult))
        .def("timeseries", Runner(&Engine::timeSeries, ColumnsResult))
        .def("phase", Runner(&Engine::phase, ColumnsResult))
        .def("delay", Runner(&Engine::delay, ColumnsResult))
        .def("cobweb", Runner(&Engine::cobweb, ColumnsResult))
        .def("objects", Runner(&Engine::objects, ColumnsResult))
        .def("bifurcation", Runner(&Engine::bifurcation, ColumnsResult))
        .def("lyapunov", Runner(&Engine::lyapunov, ColumnsResult))
        .def("basins", Runner(&Engine::basins, ScanTuple))
        .def("periods", Runner(&Engine::periods, ScanTuple))
        .def("statistics", Runner(&Engine::statistics, StatisticsTuple));
}
