#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "analysis/sweep/common/sweep_plan.h"
#include "core/model_evaluator.h"
#include "core/point_sink.h"
#include "core/run_control.h"

namespace kalvora {

// Receives a sweep's points in sweep order, on the thread that runs the sweep, and tells whoever
// draws them when the first point of a parameter value has arrived (the bifurcation diagram
// refreshes its picture there).
class SweepEmitter {
  public:
    SweepEmitter(PointSink& sink, std::function<void(long long index)> firstPointOfValue = {})
        : sink_(sink), firstPointOfValue_(std::move(firstPointOfValue)) {}

    void add(long long index, double x, double y) {
        sink_.addPoint(x, y);
        noteValue(index);
    }

    void addPoints(long long index, const PlotPoint* points, std::size_t count) {
        if (count > 0) {
            sink_.addPoints(points, count);
            noteValue(index);
        }
    }

    // The points of a value written as text on the worker that made them, when the sink takes
    // text (see PointSink::writesText); addText hands on such text in place of the points.
    bool writesText() const { return sink_.writesText(); }
    void appendText(const PlotPoint* points, std::size_t count, std::string& text) const {
        sink_.appendText(points, count, text);
    }
    void addText(long long index, const std::string& text) {
        if (!text.empty()) {
            sink_.addText(text);
            noteValue(index);
        }
    }

  private:
    void noteValue(long long index) {
        if (index != lastIndex_) {
            lastIndex_ = index;
            if (firstPointOfValue_) {
                firstPointOfValue_(index);
            }
        }
    }

    PointSink& sink_;
    std::function<void(long long)> firstPointOfValue_;
    long long lastIndex_ = -1;
};

// The points of one parameter value as its computation adds them: straight to the emitter on one
// thread, into a buffer that is handed on once every earlier value is done on several.
class ValuePoints {
  public:
    using Point = PlotPoint;
    ValuePoints(SweepEmitter& emitter, long long index) : emitter_(&emitter), index_(index) {}
    explicit ValuePoints(std::vector<Point>& buffer) : buffer_(&buffer) {}

    void add(double x, double y) {
        if (emitter_ != nullptr) {
            emitter_->add(index_, x, y);
        } else {
            buffer_->push_back({x, y});
        }
    }

  private:
    SweepEmitter* emitter_ = nullptr;
    long long index_ = 0;
    std::vector<Point>* buffer_ = nullptr;
};

// A parameter value whose run failed and was left out: its index in sweep order, the value, and
// the script's message ("" for an arithmetic fault).
struct SkippedValue {
    long long index = 0;
    Extended value = 0;
    std::string message;
};

struct SweepOutcome {
    long long valuesDone = 0;  // parameter values whose points were handed on
    bool failed = false;       // a model step set errorFlag in the last of them
    bool stopped = false;      // a stop request ended the sweep early
    int workers = 1;
    std::vector<SkippedValue> skipped;  // in sweep order, among the values done
};

// What a sweep does at a value whose model step fails: end there, keeping the value's points up
// to the failure (the default, and the only way before the choice existed), or leave the value
// out (no points, no message) and go on with the next.
enum class FailingValue { EndSweep, Skip };

// Computes one parameter value on `model` (the sweep's evaluator or a worker's, with errorFlag
// clear): sets the swept parameter, steps, adds the value's points. Returns false when a model
// step failed.
using SweepValue = std::function<bool(ModelEvaluator& model, long long index, ValuePoints& points)>;

// Runs the values 0 .. values.steps in order and hands their points to the emitter in that order.
//
// One worker: every value runs on `model` itself on the calling thread, exactly as a loop over the
// values would: the stop request is polled before each value, and the first failing value is the
// last one (errorFlag stays set). More workers: each makes an evaluator of its own from `model`'s
// definition, with `model`'s parameter values and random sequence, stopped through `control`;
// `model` is only read meanwhile. The points are the same, point for point, and the run ends after
// the same value; afterwards `model` carries the errorFlag and the script message of that value.
// In both cases the swept parameter of `model` holds its value from before on every way out.
// Progress goes to control.progress() over the count of values run. With FailingValue::Skip a
// failing value hands on nothing and the sweep goes on; the outcome lists it, and errorFlag is
// clear afterwards (a stop inside a value still ends the sweep as a stop). range: the values to
// run (all by default); a value's points do not depend on which others run, unless the values
// depend on each other, which the caller refuses.
SweepOutcome RunSweep(ModelEvaluator& model, const SweptValues& values, int workers,
                      RunControl& control, SweepEmitter& emitter, const SweepValue& value,
                      FailingValue onFailure = FailingValue::EndSweep,
                      const ValueRange& range = {});

// "3.51 (Overflow), 3.6 (attempt to compare number with nil)": the values as typed numbers (15
// significant digits) with what failed, the first `most` of them and "and N more" after.
std::string SkippedValuesText(const std::vector<SkippedValue>& skipped, std::size_t most);

// "skipped 2 values where the model failed: " and every value as above: the note a batch run
// (standard error, a Python warning) gives; "" when nothing was skipped.
std::string SkippedValuesNote(const std::vector<SkippedValue>& skipped);

}  // namespace kalvora
