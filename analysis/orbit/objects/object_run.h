#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "core/model_evaluator.h"
#include "core/point_sink.h"
#include "core/run_control.h"

namespace kalvora {

enum class ObjectShape { Polygon, Circle };

inline constexpr int kMaximumVertices = 10;
inline constexpr int kMaximumUnplottedIterations = 100;
// Every object point keeps all model variables and every step adds all of them to the picture:
// beyond this an object would exhaust memory before it moved.
inline constexpr long long kMaximumObjectPoints = 1'000'000;

// What "Settings Manifold analysis" holds when an object is placed.
struct ObjectSettings {
    int horizontalVariable = 1;  // 1-based model variables
    int verticalVariable = 2;
    ObjectShape shape = ObjectShape::Polygon;
    // One row per vertex (for the circle: row 1, the centre), one value per model variable.
    std::vector<std::vector<Extended>> vertices;
    Extended radius = 0.5L;
    long long resolution = 100;  // R: points per edge, or on the circle
    bool showAttractor = true;
    long long attractorPlotted = 1000;
    long long attractorNotPlotted = 1000;
};

// Settings that cannot place an object (a resolution below 1, a one-variable model, a table that
// does not fit the model). Raised before anything changes.
class ObjectSettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The points being moved, each with all model variables, and whether a model step has failed on
// them (then they move no more until the object is placed again).
struct IteratedObject {
    int variableCount = 0;
    int horizontal = 0;  // 0-based variables
    int vertical = 1;
    std::vector<Extended> coordinates;  // point i: variableCount values from i * variableCount
    bool failed = false;

    long long pointCount() const {
        return variableCount == 0 ? 0 : static_cast<long long>(coordinates.size()) / variableCount;
    }
    Extended coordinate(long long point, int variable) const {
        return coordinates[static_cast<std::size_t>(point * variableCount + variable)];
    }
};

// Raises ObjectSettingsError for a model with a single variable: there is no plane to place an
// object in.
void CheckObjectModel(const ModelDefinition& model);

// Raises ObjectSettingsError for settings ObjectStart would refuse.
void CheckObjectSettings(const ModelDefinition& model, const ObjectSettings& settings);

// The sampled outline: R points per polygon edge (each edge from its vertex up to one step short
// of the next, the last edge closing on vertex 1), or R points on the circle counter-clockwise
// from angle 0 in the plane of the two plotted variables.
IteratedObject BuildObject(const ModelDefinition& model, const ObjectSettings& settings);

// Refuses (ObjectSettingsError) `count` time steps that would take a picture already holding
// `plottedSoFar` points past kMaximumPlottedPoints: every time step adds all object points.
void CheckObjectImages(const IteratedObject& object, long long plottedSoFar, long long count);

// Hands every object point (horizontal, vertical) to the sink, in index order.
void AddObjectPoints(const IteratedObject& object, PointSink& sink);

// Places a new object: clears errorFlag; with the attractor shown, steps the model's initial
// values through the transient and hands attractorPlotted points to `attractor` (stopping at a
// failing step); then builds the object and hands its points to `objectPoints`. A stop request ends
// the attractor early and is no failure: the object can move on. Returns whether a model step
// failed.
bool ObjectStart(ModelEvaluator& model, ModelKind kind, const ObjectSettings& settings,
                 IteratedObject& object, PointSink& attractor, PointSink& objectPoints,
                 RunControl& control);

// Moves the object on `count` times: each time every point takes (unplotted + 1) model steps, in
// index order, and then all points are handed to the sink. Nothing moves once the object has
// failed; a step that fails leaves the points of that time step unplotted. A stop request ends the
// run after the last complete time step, also when it interrupts a model step, and is no failure.
// Returns whether the object has failed.
bool ObjectStep(ModelEvaluator& model, ModelKind kind, IteratedObject& object, int unplotted,
                long long count, PointSink& sink, RunControl& control);

}  // namespace kalvora
