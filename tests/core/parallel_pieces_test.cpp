#include "core/parallel_pieces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <stdexcept>
#include <thread>
#include <vector>

#include "core/model_definition.h"
#include "core/model_evaluator.h"
#include "core/model_file.h"
#include "core/model_step.h"
#include "core/scripted_prompts.h"

namespace kalvora {
namespace {

// The logistic map's definition, made with these equations.
ModelDefinitionPtr Logistic(const std::string& equations) {
    ModelDefinition model = ParseModelDefinition("x=0.3", "r=3.7", "");
    BuildModelScript(model, equations);
    SetModelKind(model, ModelKind::Discrete);
    return ShareDefinition(std::move(model));
}

struct LogisticWorkspace {
    ScriptedPrompts prompts;
    // r above 4 throws the orbit out of [0, 1]; it then diverges and overflows.
    ModelDefinitionPtr definition = Logistic("x1=r*x*(1-x)\r\nx=x1");
};

// One orbit per parameter value, as a sweep computes it: r from 3.5 upwards in steps of 0.01.
bool Orbit(ModelEvaluator& model, long long index, std::vector<Extended>& out) {
    model.parameterValues[0] = 3.5L + 0.01L * static_cast<Extended>(index);
    model.errorFlag = false;
    StateVector state = {};
    state[0] = model.model().initialValues[0];
    for (int step = 0; step < 2000; ++step) {
        ModelStep(model, ModelKind::Discrete, state);
        if (model.errorFlag) {
            return false;
        }
        out.push_back(state[0]);
    }
    return true;
}

struct SweepResult {
    PiecesOutcome outcome;
    std::vector<std::vector<Extended>> pieces;
};

SweepResult Sweep(const ModelDefinitionPtr& definition, long long count, int workers) {
    QuietRunControl control;
    std::deque<ModelEvaluator> instances;
    for (int w = 0; w < WorkerCount(workers, count); ++w) {
        instances.emplace_back(definition);
    }
    SweepResult result;
    result.pieces.resize(static_cast<std::size_t>(count));
    result.outcome = RunPieces(count, workers, control, [&](int worker, long long index) {
        return Orbit(instances[static_cast<std::size_t>(worker)], index,
                     result.pieces[static_cast<std::size_t>(index)]);
    });
    result.pieces.resize(static_cast<std::size_t>(result.outcome.kept));
    return result;
}

// A worker's evaluator (no prompts) and the one that shows messages step alike.
TEST(ModelEvaluator, StepsBitForBitWhateverThreadItServes) {
    LogisticWorkspace model;
    ModelEvaluator shown(model.definition, {}, &model.prompts);
    ModelEvaluator instance(model.definition);
    std::vector<Extended> fromWorkspace;
    std::vector<Extended> fromInstance;
    ASSERT_TRUE(Orbit(shown, 10, fromWorkspace));
    ASSERT_TRUE(Orbit(instance, 10, fromInstance));
    EXPECT_EQ(fromWorkspace, fromInstance);
    EXPECT_EQ(instance.prompts, nullptr);
}

TEST(ModelEvaluator, RecordsScriptMessagesInsteadOfShowingThem) {
    LogisticWorkspace model;
    ModelEvaluator instance(Logistic("x1=r*x*(1-x) + undefined_function()\r\nx=x1"));
    StateVector state = {};
    ModelStep(instance, ModelKind::Discrete, state);
    EXPECT_TRUE(instance.errorFlag);
    EXPECT_EQ(instance.recordedMessage, "Error in variable/function name");
    EXPECT_TRUE(model.prompts.errors.empty());
}

// The parallel run must equal the one-thread run point for point, also when a piece fails: the run
// ends at the first failing piece (r above 4 diverges), whatever the other workers finished ahead.
TEST(RunPieces, TheDefaultWorkerCountIsEveryCoreAndNeverMoreThanThePieces) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    struct Case {
        int requested;
        long long pieces;
        int expected;
    };
    const Case cases[] = {{0, 100000, cores}, {-2, 100000, cores}, {0, 1, 1}, {5, 3, 3},
                          {5, 100000, 5},     {1, 100000, 1},      {3, 0, 1}};
    for (const Case& c : cases) {
        EXPECT_EQ(WorkerCount(c.requested, c.pieces), c.expected) << c.requested << " " << c.pieces;
    }
}

TEST(RunPieces, WorkersGiveTheOneThreadResultIncludingTheFirstFailure) {
    LogisticWorkspace model;
    struct Case {
        long long count;
        long long kept;
        bool failed;
    };
    for (const Case& c : {Case{40, 40, false}, Case{80, 52, true}}) {
        const SweepResult one = Sweep(model.definition, c.count, 1);
        EXPECT_EQ(one.outcome.kept, c.kept);
        EXPECT_EQ(one.outcome.failed, c.failed);
        for (int workers : {2, 3, 8}) {
            const SweepResult many = Sweep(model.definition, c.count, workers);
            EXPECT_EQ(many.outcome.kept, one.outcome.kept) << workers;
            EXPECT_EQ(many.outcome.failed, one.outcome.failed) << workers;
            EXPECT_FALSE(many.outcome.stopped);
            EXPECT_TRUE(many.pieces == one.pieces) << workers << " workers";
        }
    }
}

TEST(RunPieces, AStopBeforeTheRunKeepsNothingAndAnExceptionReachesTheCaller) {
    for (int workers : {1, 2}) {
        QuietRunControl control;
        control.requestStop();
        const PiecesOutcome stopped =
            RunPieces(10, workers, control, [](int, long long) { return true; });
        EXPECT_EQ(stopped.kept, 0);
        EXPECT_TRUE(stopped.stopped);

        control.clearStop();
        EXPECT_THROW(RunPieces(10, workers, control,
                               [](int, long long index) -> bool {
                                   if (index == 3) {
                                       throw std::runtime_error("piece 3");
                                   }
                                   return true;
                               }),
                     std::runtime_error);
    }
}

TEST(RunPieces, AFailingPrefixCallbackStopsTheWorkersAndReachesTheCaller) {
    for (int workers : {1, 2, 4}) {
        QuietRunControl control;
        std::atomic<long long> started{0};
        EXPECT_THROW(RunPieces(
                         2000, workers, control,
                         [&](int, long long) {
                             ++started;
                             std::this_thread::sleep_for(std::chrono::microseconds(200));
                             return true;
                         },
                         [](long long prefix) {
                             if (prefix >= 3) {
                                 throw std::runtime_error("disk full");
                             }
                         }),
                     std::runtime_error);
        EXPECT_LT(started.load(), 2000) << workers;
    }
}

TEST(RunPieces, ReportsEveryCompletedPrefixInOrder) {
    QuietRunControl control;
    std::vector<long long> prefixes;
    RunPieces(
        200, 2, control, [](int, long long) { return true; },
        [&](long long prefix) { prefixes.push_back(prefix); });
    ASSERT_FALSE(prefixes.empty());
    EXPECT_EQ(prefixes.back(), 200);
    EXPECT_TRUE(std::is_sorted(prefixes.begin(), prefixes.end()));
}

}  // namespace
}  // namespace kalvora
