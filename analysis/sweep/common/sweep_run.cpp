#include "analysis/sweep/common/sweep_run.h"

#include <algorithm>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "core/lua_sandbox.h"
#include "core/numbers.h"
#include "core/parallel_pieces.h"
#include "core/prompts.h"

namespace kalvora {

namespace {

// Puts the swept parameter back however the sweep ends, an exception included.
class RestoredParameter {
  public:
    RestoredParameter(ModelEvaluator& model, int parameter)
        : model_(model), parameter_(parameter), value_(model.parameterValues[parameter]) {}
    ~RestoredParameter() { model_.parameterValues[parameter_] = value_; }
    RestoredParameter(const RestoredParameter&) = delete;
    RestoredParameter& operator=(const RestoredParameter&) = delete;

  private:
    ModelEvaluator& model_;
    int parameter_;
    Extended value_;
};

// The same script message a step on `model` would have given, shown or recorded as it would have
// been.
struct ScriptMessage {
    std::string message;
    std::string details;  // where in the equations, and the interpreter's own words
};

void ReportMessage(ModelEvaluator& model, const ScriptMessage& script) {
    if (script.message.empty()) {
        return;
    }
    if (model.recordedMessage.empty()) {
        model.recordedMessage = script.message;
        model.recordedDetails = script.details;
    }
    if (model.prompts != nullptr) {
        model.prompts->detailedError(script.message, script.details);
    }
}

// Empties a vector of held points at the end of a scope if it grew large.
class ReleaseWhenLarge {
  public:
    explicit ReleaseWhenLarge(std::vector<ValuePoints::Point>& points) : points_(points) {}
    ~ReleaseWhenLarge() {
        if (points_.capacity() > 65536) {
            points_ = {};
        }
    }
    ReleaseWhenLarge(const ReleaseWhenLarge&) = delete;
    ReleaseWhenLarge& operator=(const ReleaseWhenLarge&) = delete;

  private:
    std::vector<ValuePoints::Point>& points_;
};

// A value cut short by Stop (its model interrupted inside a step) ends the sweep as a stop, not as
// a failure of the model: its points so far stay, no "Overflow".
bool Interrupted(const PiecesOutcome& pieces, RunControl& control, const std::string& message) {
    return pieces.failed && control.stopRequested() && message == kModelStoppedMessage;
}

SweepOutcome RunOnOneThread(long long first, long long count, ModelEvaluator& model,
                            RunControl& control, SweepEmitter& emitter, const SweepValue& value) {
    // Stop reaches the model even inside a step that never ends.
    const RunningModel running(control, model.interrupt);
    std::string message;
    const PiecesOutcome pieces = RunPieces(count, 1, control, [&](int, long long piece) {
        const long long index = first + piece;
        ValuePoints points(emitter, index);
        const std::string before = model.recordedMessage;
        model.recordedMessage.clear();
        const bool ok = value(model, index, points);
        message = model.recordedMessage;
        if (model.recordedMessage.empty()) {
            model.recordedMessage = before;
        }
        return ok;
    });
    if (Interrupted(pieces, control, message)) {
        model.errorFlag = false;
        return {pieces.kept, false, true, 1, {}};
    }
    return {pieces.kept, pieces.failed, pieces.stopped, 1, {}};
}

// The points of the values finished but not yet handed on, in sweep order from `base` (a later
// value may finish before an earlier one): as points, or as text when the sink takes text, which
// the workers then write in parallel. Buffers are recycled, so that after the first values a
// value costs no allocation: with short values, allocation and the tree of a map were a tenth of
// the second worker's time.
struct FinishedValue {
    std::vector<ValuePoints::Point> points;
    std::string text;
};

class FinishedValues {
  public:
    // Empty buffers for a worker's next value.
    FinishedValue take() {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (spare_.empty()) {
            return {};
        }
        FinishedValue value = std::move(spare_.back());
        spare_.pop_back();
        return value;
    }

    void put(long long piece, FinishedValue&& value) {
        const std::lock_guard<std::mutex> lock(mutex_);
        const auto slot = static_cast<std::size_t>(piece - base_);
        if (slot >= slots_.size()) {
            slots_.resize(slot + 1);
        }
        slots_[slot] = std::move(value);
    }

    // Moves the values base .. completed - 1 out, in order.
    void takeUpTo(long long completed, std::vector<FinishedValue>& out) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (; base_ < completed; ++base_) {
            out.push_back(std::move(slots_.front()));
            slots_.pop_front();
        }
    }

    void giveBack(std::vector<FinishedValue>& values) {
        const std::lock_guard<std::mutex> lock(mutex_);
        for (FinishedValue& value : values) {
            value.points.clear();
            value.text.clear();
            spare_.push_back(std::move(value));
        }
        values.clear();
    }

  private:
    std::mutex mutex_;
    long long base_ = 0;
    std::deque<FinishedValue> slots_;
    std::vector<FinishedValue> spare_;
};

SweepOutcome RunOnWorkers(long long first, long long count, ModelEvaluator& model, int workers,
                          RunControl& control, SweepEmitter& emitter, const SweepValue& value) {
    std::vector<std::unique_ptr<ModelEvaluator>> evaluators(static_cast<std::size_t>(workers));
    const RandomState randomState = RandomStateOf(model);
    FinishedValues finished;
    const bool asText = emitter.writesText();
    std::mutex mutex;
    std::map<long long, ScriptMessage> messages;
    long long handedOn = 0;

    auto piece = [&](int worker, long long piece) {
        const long long index = first + piece;
        std::unique_ptr<ModelEvaluator>& instance = evaluators[static_cast<std::size_t>(worker)];
        if (!instance) {
            // Made on the worker, so that compiling the evaluators runs in parallel as well; Stop
            // reaches it even inside a step that never ends.
            instance =
                std::make_unique<ModelEvaluator>(model.definition, randomState, nullptr, &control);
            instance->parameterValues = model.parameterValues;
        }
        instance->errorFlag = false;
        instance->recordedMessage.clear();
        instance->recordedDetails.clear();
        FinishedValue done = finished.take();
        ValuePoints points(done.points);
        const bool ok = value(*instance, index, points);
        if (asText) {
            emitter.appendText(done.points.data(), done.points.size(), done.text);
            done.points.clear();
        }
        finished.put(piece, std::move(done));
        if (!ok) {
            const std::lock_guard<std::mutex> lock(mutex);
            messages.emplace(piece,
                             ScriptMessage{instance->recordedMessage, instance->recordedDetails});
        }
        return ok;
    };
    std::vector<FinishedValue> ready;
    auto handOn = [&](long long completed) {
        finished.takeUpTo(completed, ready);
        for (const FinishedValue& done : ready) {
            if (asText) {
                emitter.addText(first + handedOn, done.text);
            }
            emitter.addPoints(first + handedOn, done.points.data(), done.points.size());
            ++handedOn;
        }
        finished.giveBack(ready);
    };
    const PiecesOutcome pieces = RunPieces(count, workers, control, piece, handOn);
    handOn(pieces.kept);
    const ScriptMessage message = pieces.failed ? messages[pieces.kept - 1] : ScriptMessage{};
    if (Interrupted(pieces, control, message.message)) {
        model.errorFlag = false;
        return {pieces.kept, false, true, workers, {}};
    }
    model.errorFlag = pieces.failed;
    if (pieces.failed) {
        ReportMessage(model, message);
    }
    return {pieces.kept, pieces.failed, pieces.stopped, workers, {}};
}

}  // namespace

SweepOutcome RunSweep(ModelEvaluator& model, const SweptValues& values, int workers,
                      RunControl& control, SweepEmitter& emitter, const SweepValue& value,
                      FailingValue onFailure, const ValueRange& range) {
    const long long first = range.first;
    const long long end = range.endIn(values);
    if (first < 0 || end > values.count() || first > end) {
        throw SweepSettingsError("The values to run lie outside the sweep");
    }
    const long long count = end - first;
    const RestoredParameter restored(model, values.parameter);
    control.progress().start(count);
    model.errorFlag = false;
    std::mutex skippedMutex;
    std::vector<SkippedValue> skipped;
    // A value's points are held until it has succeeded, and a failure is noted instead of shown:
    // on one thread the step would show its message at once, on workers never, and a skipped
    // value must look the same on any number of threads.
    const SweepValue skipping = [&](ModelEvaluator& runtime, long long index, ValuePoints& points) {
        // Kept per thread, so that holding a value's points costs no allocation per value.
        thread_local std::vector<ValuePoints::Point> held;
        held.clear();
        // ...but a value of very many points does not keep its memory for the thread's lifetime.
        const ReleaseWhenLarge release(held);
        ValuePoints heldPoints(held);
        Prompts* const prompts = std::exchange(runtime.prompts, nullptr);
        const std::string message = std::exchange(runtime.recordedMessage, {});
        const std::string details = std::exchange(runtime.recordedDetails, {});
        bool ok = false;
        try {
            ok = value(runtime, index, heldPoints);
        } catch (...) {
            runtime.prompts = prompts;
            throw;
        }
        runtime.prompts = prompts;
        if (ok || control.stopRequested()) {
            for (const ValuePoints::Point& point : held) {
                points.add(point.x, point.y);
            }
            if (runtime.recordedMessage.empty()) {
                runtime.recordedMessage = message;
                runtime.recordedDetails = details;
            }
            return ok;
        }
        {
            const std::lock_guard<std::mutex> lock(skippedMutex);
            skipped.push_back({index, values.value(index),
                               runtime.recordedDetails.empty()
                                   ? runtime.recordedMessage
                                   : runtime.recordedMessage + ": " + runtime.recordedDetails});
        }
        runtime.errorFlag = false;
        runtime.recordedMessage = message;
        runtime.recordedDetails = details;
        return true;
    };
    const SweepValue& run = onFailure == FailingValue::Skip ? skipping : value;
    SweepOutcome outcome;
    try {
        outcome = workers <= 1 || count <= 1
                      ? RunOnOneThread(first, count, model, control, emitter, run)
                      : RunOnWorkers(first, count, model,
                                     static_cast<int>(std::min<long long>(workers, count)), control,
                                     emitter, run);
    } catch (...) {
        control.progress().finish();
        throw;
    }
    control.progress().finish();
    // Workers finish values out of order, and values after a stop were never handed on.
    std::sort(skipped.begin(), skipped.end(),
              [](const SkippedValue& a, const SkippedValue& b) { return a.index < b.index; });
    std::erase_if(skipped,
                  [&](const SkippedValue& s) { return s.index >= first + outcome.valuesDone; });
    outcome.skipped = std::move(skipped);
    return outcome;
}

std::string SkippedValuesText(const std::vector<SkippedValue>& skipped, std::size_t most) {
    std::string text;
    for (std::size_t i = 0; i < skipped.size() && i < most; ++i) {
        if (i > 0) {
            text += ", ";
        }
        text += FormatGeneral(skipped[i].value, 15) + " (" +
                (skipped[i].message.empty() ? std::string("Overflow") : skipped[i].message) + ")";
    }
    if (skipped.size() > most) {
        text += " and " + std::to_string(skipped.size() - most) + " more";
    }
    return text;
}

std::string SkippedValuesNote(const std::vector<SkippedValue>& skipped) {
    if (skipped.empty()) {
        return {};
    }
    // Every value: a script reading the note wants them all, not the window's first few.
    return "skipped " + std::to_string(skipped.size()) +
           (skipped.size() == 1 ? " value" : " values") +
           " where the model failed: " + SkippedValuesText(skipped, skipped.size());
}

}  // namespace kalvora
