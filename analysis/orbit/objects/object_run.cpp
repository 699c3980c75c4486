#include "analysis/orbit/objects/object_run.h"

#include <cmath>
#include <numbers>

#include "analysis/orbit/common/orbit_counts.h"
#include "core/model_step.h"

namespace kalvora {

namespace {

// Copies a point's variables into a full state, steps it and copies them back. The points keep
// only the variables: a step reads nothing else, and a full state per point would multiply the
// memory of a large object by the capacity of the state.
class PointStepper {
  public:
    PointStepper(ModelEvaluator& model, ModelKind kind, int variableCount)
        : model_(model),
          kind_(kind),
          variableCount_(variableCount),
          state_(model.model().initialValues) {}

    void step(Extended* point) {
        for (int v = 0; v < variableCount_; ++v) {
            state_[v] = point[v];
        }
        ModelStep(model_, kind_, state_);
        for (int v = 0; v < variableCount_; ++v) {
            point[v] = state_[v];
        }
    }

  private:
    ModelEvaluator& model_;
    ModelKind kind_;
    int variableCount_;
    StateVector state_;
};

}  // namespace

void CheckObjectModel(const ModelDefinition& model) {
    if (model.variableCount < 2) {
        throw ObjectSettingsError(
            "Iterating objects needs a model with at least two variables: the object lies in the "
            "plane of two of them");
    }
}

void CheckObjectSettings(const ModelDefinition& model, const ObjectSettings& settings) {
    CheckObjectModel(model);
    const int variables = model.variableCount;
    auto checkVariable = [&](int variable) {
        if (variable < 1 || variable > variables) {
            throw ObjectSettingsError("There is no model variable " + std::to_string(variable));
        }
    };
    checkVariable(settings.horizontalVariable);
    checkVariable(settings.verticalVariable);
    if (settings.resolution < 1) {
        throw ObjectSettingsError("The resolution must be a whole number of at least 1, not " +
                                  std::to_string(settings.resolution));
    }
    const std::size_t rows = settings.vertices.size();
    if (settings.shape == ObjectShape::Polygon &&
        (rows < 1 || rows > static_cast<std::size_t>(kMaximumVertices))) {
        throw ObjectSettingsError("A polygon needs 1 to " + std::to_string(kMaximumVertices) +
                                  " vertices, not " + std::to_string(rows));
    }
    if (settings.shape == ObjectShape::Circle && rows < 1) {
        throw ObjectSettingsError("A circle needs its centre");
    }
    for (std::size_t row = 0; row < rows; ++row) {
        if (settings.vertices[row].size() != static_cast<std::size_t>(variables)) {
            throw ObjectSettingsError("Point " + std::to_string(row + 1) + " needs " +
                                      std::to_string(variables) +
                                      " values, one per model "
                                      "variable, not " +
                                      std::to_string(settings.vertices[row].size()));
        }
    }
    const long long corners =
        settings.shape == ObjectShape::Polygon ? static_cast<long long>(rows) : 1;
    if (settings.resolution > kMaximumObjectPoints / corners) {
        throw ObjectSettingsError("An object of more than " + std::to_string(kMaximumObjectPoints) +
                                  " points cannot be iterated; lower the resolution");
    }
    if (settings.showAttractor &&
        (settings.attractorPlotted < 0 || settings.attractorNotPlotted < 0)) {
        throw ObjectSettingsError("The attractor's point counts cannot be negative");
    }
}

IteratedObject BuildObject(const ModelDefinition& model, const ObjectSettings& settings) {
    CheckObjectSettings(model, settings);
    IteratedObject object;
    const int variables = model.variableCount;
    object.variableCount = variables;
    object.horizontal = settings.horizontalVariable - 1;
    object.vertical = settings.verticalVariable - 1;
    const long long resolution = settings.resolution;

    if (settings.shape == ObjectShape::Circle) {
        const std::vector<Extended>& centre = settings.vertices[0];
        object.coordinates.reserve(static_cast<std::size_t>(resolution * variables));
        for (long long t = 0; t < resolution; ++t) {
            const Extended angle = 2 * std::numbers::pi_v<Extended> * t / resolution;
            for (int v = 0; v < variables; ++v) {
                object.coordinates.push_back(centre[v]);
            }
            Extended* point = &object.coordinates[object.coordinates.size() - variables];
            point[object.horizontal] =
                centre[object.horizontal] + settings.radius * std::cos(angle);
            point[object.vertical] = centre[object.vertical] + settings.radius * std::sin(angle);
        }
        return object;
    }

    const std::size_t corners = settings.vertices.size();
    object.coordinates.reserve(static_cast<std::size_t>(resolution) * corners * variables);
    for (std::size_t k = 0; k < corners; ++k) {
        const std::vector<Extended>& from = settings.vertices[k];
        const std::vector<Extended>& to = settings.vertices[(k + 1) % corners];
        for (long long u = 0; u < resolution; ++u) {
            for (int v = 0; v < variables; ++v) {
                object.coordinates.push_back(from[v] + u * (to[v] - from[v]) / resolution);
            }
        }
    }
    return object;
}

void CheckObjectImages(const IteratedObject& object, long long plottedSoFar, long long count) {
    const long long points = object.pointCount();
    if (count > 0 && points > 0 && (kMaximumPlottedPoints - plottedSoFar) / points < count) {
        throw ObjectSettingsError(
            "The picture would hold more than " + std::to_string(kMaximumPlottedPoints) +
            " points after " + std::to_string(count) +
            " more time steps; choose fewer time steps, a lower resolution or Clear Form");
    }
}

void AddObjectPoints(const IteratedObject& object, PointSink& sink) {
    const long long count = object.pointCount();
    for (long long i = 0; i < count; ++i) {
        sink.addPoint(static_cast<double>(object.coordinate(i, object.horizontal)),
                      static_cast<double>(object.coordinate(i, object.vertical)));
    }
}

bool ObjectStart(ModelEvaluator& model, ModelKind kind, const ObjectSettings& settings,
                 IteratedObject& object, PointSink& attractor, PointSink& objectPoints,
                 RunControl& control) {
    CheckObjectSettings(model.model(), settings);
    model.errorFlag = false;
    if (settings.showAttractor) {
        const int h = settings.horizontalVariable - 1;
        const int v = settings.verticalVariable - 1;
        StateVector state = model.model().initialValues;
        Progress& progress = control.progress();
        const long long total = settings.attractorNotPlotted + settings.attractorPlotted;
        progress.start(total);
        long long done = 0;
        auto advance = [&] {
            ModelStep(model, kind, state);
            if (++done % 4096 == 0) {
                progress.setPosition(done);
            }
        };
        for (long long i = 0;
             i < settings.attractorNotPlotted && !model.errorFlag && !control.stopRequested();
             ++i) {
            advance();
        }
        for (long long i = 0;
             i < settings.attractorPlotted && !model.errorFlag && !control.stopRequested(); ++i) {
            attractor.addPoint(static_cast<double>(state[h]), static_cast<double>(state[v]));
            advance();
        }
        progress.finish();
    }
    object = BuildObject(model.model(), settings);
    // A stop may have interrupted a step of the attractor; the object itself never moved.
    object.failed = model.errorFlag && !control.stopRequested();
    AddObjectPoints(object, objectPoints);
    return object.failed;
}

bool ObjectStep(ModelEvaluator& model, ModelKind kind, IteratedObject& object, int unplotted,
                long long count, PointSink& sink, RunControl& control) {
    if (object.failed) {
        return true;
    }
    // The stop is the run's own (each run has a fresh control): a stop requested before the run
    // began, by Exit or a signal, must end it, not be forgotten here.
    model.errorFlag = false;
    const long long points = object.pointCount();
    const int variables = object.variableCount;
    PointStepper stepper(model, kind, variables);
    Progress& progress = control.progress();
    progress.start(count * points);
    // A stop in the middle of a time step puts the points back where the time step began, so the
    // object on screen and the object that moves on next time stay one and the same.
    std::vector<Extended> before;
    for (long long k = 0; k < count && !model.errorFlag && !control.stopRequested(); ++k) {
        before = object.coordinates;
        bool stopped = false;
        for (int repeat = 0; repeat <= unplotted && !model.errorFlag && !stopped; ++repeat) {
            for (long long i = 0; i < points && !model.errorFlag; ++i) {
                if (i % 1024 == 0 && control.stopRequested()) {
                    stopped = true;
                    break;
                }
                stepper.step(&object.coordinates[static_cast<std::size_t>(i * variables)]);
            }
        }
        // A stop that interrupted a model step is no failure of the model: the time step is
        // undone like any other stopped one.
        if (stopped || (model.errorFlag && control.stopRequested())) {
            object.coordinates = std::move(before);
            model.errorFlag = false;
            break;
        }
        if (!model.errorFlag) {
            AddObjectPoints(object, sink);
        }
        progress.setPosition((k + 1) * points);
    }
    progress.finish();
    object.failed = model.errorFlag;
    return object.failed;
}

}  // namespace kalvora
