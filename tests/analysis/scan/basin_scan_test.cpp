#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "analysis/scan/basins/basin_scan.h"
#include "scan_test_support.h"
#include "test_models.h"

namespace kalvora::testing {
namespace {

// x -> r x - x^3, y -> y / 2: for 1 < r < 2 the fixed points (+-sqrt(r - 1), 0) attract every
// start with 0 < |x| <= 1 on their own side, so the basins meet exactly at x = 0.
void UseCubicPair(ModelWorkspace& ws, Extended r) {
    UseModel(ws, ModelKind::Discrete, {{"x", 0.5L}, {"y", 0.5L}}, {{"r", r}}, {},
             "return r*x - x*x*x, y/2", CallCounter::Off);
}

BasinSettings CubicPairSettings(Extended r) {
    BasinSettings settings;
    const Extended root = std::sqrt(r - 1);
    settings.cycles = {{1, {root, 0}}, {1, {-root, 0}}};
    // 21 intervals: no column lies on x = 0, where the orbit stays on the unstable fixed point.
    settings.domain = {-1, 1, 21, -1, 1, 10};
    settings.colours = TestColours();
    return settings;
}

ScanOutcome Scan(ModelWorkspace& ws, const BasinSettings& settings, int threads) {
    ScanModels models = MakeScanModels(ws.definition, threads, settings.domain, ws.randomState);
    QuietRunControl control;
    return BasinScan(models, settings, control);
}

// The ways a model's steps are made: the interpreter (a model keeping a call counter), the
// compiled program's machine code, its register program.
enum class Path { Interpreter, MachineCode, RegisterProgram };

RgbColour Pixel(ModelWorkspace& ws, const BasinSettings& settings, int column, int row,
                Path path = Path::MachineCode) {
    const auto evaluator = testing::EvaluatorOf(ws);
    if (path == Path::RegisterProgram) {
        evaluator->nativeCode.reset();
    }
    return BasinPixel(*evaluator, ws.model().kind, settings,
                      BasinDistance(ws.model().variableCount, settings), column, row);
}

TEST(BasinScan, TheTwoFixedPointsOfTheCubicMapSplitThePlaneAtXZero) {
    for (const Extended r : {1.2L, 1.5L, 1.8L}) {
        ModelWorkspace ws;
        UseCubicPair(ws, r);
        const BasinSettings settings = CubicPairSettings(r);
        const ScanOutcome outcome = Scan(ws, settings, 1);
        ASSERT_FALSE(outcome.stopped);
        for (int i = 0; i < outcome.raster.columns(); ++i) {
            const RgbColour expected = settings.domain.horizontalAt(i) > 0 ? kRed : kGreen;
            for (int j = 0; j < outcome.raster.rows(); ++j) {
                ASSERT_EQ(outcome.raster.at(i, j), expected)
                    << "r " << static_cast<double>(r) << " column " << i << " row " << j;
            }
        }
    }
}

TEST(BasinScan, SingleStartsAreClassifiedAsTheAlgorithmSays) {
    struct Case {
        const char* what;
        const char* body;
        std::vector<BasinCycle> cycles;
        int transient;
        int maxDistance;
        bool allDimensions;
        RgbColour expected;
        int column = 0;
        int row = 1;
    };
    // The model starts at (x, y, z) = (0.5, 0, 5); the pixel in column 0 and the bottom row starts
    // there too, column 1 at x = 1.5 and the top row at y = 1.
    const std::vector<Case> cases = {
        {"a flip is no fixed point: within epsilon after the transient, not one step later",
         "return -x, y, z",
         {{1, {0.5L, 0, 5}}},
         10,
         1000,
         false,
         kWhite},
        {"the same point as a 2-cycle",
         "return -x, y, z",
         {{2, {0.5L, 0, 5}}},
         10,
         1000,
         false,
         kRed},
        {"the second of two identical rows colours",
         "return x/2 + 0.25, y, z",
         {{1, {0.5L, 0, 5}}, {1, {0.5L, 0, 5}}},
         10,
         1000,
         false,
         kGreen},
        {"leaving the ball of radius R in the transient diverges though the orbit returns",
         "if x > 1 then return 0.5, y, z else return x*5000, y, z end",
         {{2, {0.5L, 0, 5}}},
         10,
         1000,
         false,
         kBlack},
        {"a larger R lets the same orbit be recognised",
         "if x > 1 then return 0.5, y, z else return x*5000, y, z end",
         {{2, {0.5L, 0, 5}}},
         10,
         10000,
         false,
         kRed},
        {"a third variable plays no part without all dimensions",
         "return x, y, z + 1",
         {{1, {0.5L, 0, 0}}},
         10,
         1000,
         false,
         kRed},
        {"with all dimensions it does",
         "return x, y, z + 1",
         {{1, {0.5L, 0, 0}}},
         10,
         1000,
         true,
         kWhite},
        {"a failing step in the transient diverges",
         "return math.sqrt(x - 1), y, z",
         {{1, {0.5L, 0, 5}}},
         10,
         1000,
         false,
         kBlack},
        {"divergence is only tested in the transient, not in the passes",
         "if z >= 15 then return x*5000, y, z + 1 else return x, y, z + 1 end",
         {{2, {0.5L, 0, 0}}},
         10,
         1000,
         false,
         kWhite},
        {"the last of the passes finds a cycle the orbit reaches only then",
         "return x % 3 + 1, y, z",
         {{3, {3.5L, 0, 5}}},
         10,
         1000,
         false,
         kRed},
        {"the ball of radius R is centred on the model's initial values, not on the start",
         "return -998.6, y, z",
         {{1, {-998.6L, 0, 5}}},
         10,
         1000,
         false,
         kRed,
         1},
        {"the vertical variable counts in the distance",
         "return x, -y, z",
         {{1, {0.5L, 1, 5}}},
         10,
         1000,
         false,
         kWhite,
         0,
         0},
        {"no cycle near: no convergence",
         "return x, y, z",
         {{1, {0.9L, 0.9L, 5}}},
         10,
         1000,
         false,
         kWhite},
    };
    for (const Case& c : cases) {
        for (const Path path : {Path::Interpreter, Path::MachineCode, Path::RegisterProgram}) {
            ModelWorkspace ws;
            UseModel(ws, ModelKind::Discrete, {{"x", 0.5L}, {"y", 0}, {"z", 5}}, {{"a", 0}}, {},
                     c.body, path == Path::Interpreter ? CallCounter::On : CallCounter::Off);
            BasinSettings settings;
            settings.cycles = c.cycles;
            settings.domain = {0.5L, 1.5L, 1, 0, 1, 1};
            settings.transient = c.transient;
            settings.maxDistance = c.maxDistance;
            settings.allDimensions = c.allDimensions;
            settings.colours = TestColours();
            EXPECT_EQ(Pixel(ws, settings, c.column, c.row, path), c.expected)
                << c.what << " path " << static_cast<int>(path);
        }
    }
}

TEST(BasinScan, RowsOfOneTwoCycleColourByThePointTheOrbitIsNearFirst) {
    // x -> 1 - x flips 0.2 and 0.8; a start at 0.2 is at 0.2 again after the even transient.
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}}, {{"a", 0}}, {}, "return 1 - x, y");
    BasinSettings settings;
    settings.cycles = {{2, {0.8L, 0}}, {2, {0.2L, 0}}};
    settings.domain = {0.2L, 0.8L, 1, 0, 1, 1};
    settings.transient = 10;
    settings.colours = TestColours();
    EXPECT_EQ(Pixel(ws, settings, 0, 1), kGreen);  // starts at 0.2
    EXPECT_EQ(Pixel(ws, settings, 1, 1), kRed);    // starts at 0.8
}

// The Henon map at its classical parameters: the boundary between the starts that escape and those
// that stay is fractal, the hardest case for a scan spread over workers to reproduce.
TEST(BasinScan, EveryWorkerCountGivesTheOneThreadPicture) {
    ModelWorkspace ws;
    UseHenon(ws, CallCounter::Off);
    BasinSettings settings;
    settings.cycles = {{1, {0.6313544770895048L, 0.18940634312685144L}}, {7, {0.1L, 0.1L}}};
    settings.domain = {-2, 2, 47, -2, 2, 31};
    settings.epsilon = 0.05L;
    settings.transient = 30;
    settings.maxDistance = 10;
    settings.colours = TestColours();
    const ScanOutcome single = Scan(ws, settings, 1);
    EXPECT_GT(CountColour(single.raster, kBlack), 0);
    EXPECT_GT(CountColour(single.raster, kWhite), 0);
    EXPECT_EQ(MakeScanModels(ws.definition, 3, settings.domain).evaluators.size(), 3u);
    for (const int threads : {2, 3, 8}) {
        const ScanOutcome parallel = Scan(ws, settings, threads);
        EXPECT_TRUE(parallel.raster == single.raster) << threads << " workers";
    }
    // Pixel by pixel, the register program and the interpreter (with a call counter) agree.
    ModelWorkspace counting;
    UseHenon(counting, CallCounter::On);
    for (int i = 0; i < settings.domain.columns(); i += 3) {
        for (int j = 0; j < settings.domain.rows(); j += 2) {
            ASSERT_EQ(single.raster.at(i, j), Pixel(ws, settings, i, j, Path::RegisterProgram));
            ASSERT_EQ(single.raster.at(i, j), Pixel(counting, settings, i, j, Path::Interpreter));
        }
    }
}

TEST(BasinScan, AStopKeepsTheColouredColumnsAndLeavesTheRestBlank) {
    for (const int threads : {1, 2}) {
        ModelWorkspace ws;
        // Starts left of x = 0 leave the ball at once; the others stay where they are for a
        // transient far too long to end: the workers cannot finish the scan before the stop,
        // however late the thread that counts finished columns gets to ask for it. (A stop after
        // three columns of a scan that could end once came after the workers had done them all.)
        UseModel(ws, ModelKind::Discrete, {{"x", 0.5L}, {"y", 0.5L}}, {{"r", 1.5L}}, {},
                 "if x < 0 then x = 1e6 end\nreturn x, y", CallCounter::Off);
        BasinSettings settings = CubicPairSettings(1.5L);
        settings.transient = 2'000'000'000;
        ScanModels models = MakeScanModels(ws.definition, threads, settings.domain, ws.randomState);
        ASSERT_EQ(models.evaluators.size(), static_cast<std::size_t>(threads));
        StopAfterColumns progress(3);
        RunControl control(progress);
        progress.control = &control;
        const ScanOutcome outcome = BasinScan(models, settings, control);
        EXPECT_TRUE(outcome.stopped) << threads;
        EXPECT_GE(CountColour(outcome.raster, kBlack), 3 * outcome.raster.rows()) << threads;
        EXPECT_GT(CountColour(outcome.raster, kBlankPixel), 0) << threads;
        EXPECT_EQ(outcome.raster.at(outcome.raster.columns() - 1, 0), kBlankPixel) << threads;
    }
}

TEST(BasinScan, AStopEndsAScanWhoseModelNeverReturnsFromAStep) {
    for (const int threads : {1, 2}) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0.5L}, {"y", 0}}, {{"a", 0}}, {},
                 "while true do end\nreturn x, y");
        BasinSettings settings = CubicPairSettings(1.5L);
        ScanModels models = MakeScanModels(ws.definition, threads, settings.domain, ws.randomState);
        QuietRunControl control;
        std::thread stopper([&control] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            control.requestStop();
        });
        const ScanOutcome outcome = BasinScan(models, settings, control);
        stopper.join();
        EXPECT_TRUE(outcome.stopped) << threads;
        // The pixel the stop interrupted is not taken for divergent: it stays blank.
        EXPECT_GT(CountColour(outcome.raster, kBlankPixel), 0) << threads;
        EXPECT_EQ(outcome.raster.at(outcome.raster.columns() - 1, outcome.raster.rows() - 1),
                  kBlankPixel)
            << threads;
    }
}

// A model that keeps state between calls (here a global step count) gives the one-thread numbers
// only when one instance makes every call in order.
TEST(BasinScan, AModelKeepingStateScansOnOneThread) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 0.5L}, {"y", 0.5L}}, {{"r", 1.5L}}, {},
             "t = (t or 0) + 1\nreturn r*x - x*x*x + t*1e-9, y/2", CallCounter::Off);
    EXPECT_EQ(MakeScanModels(ws.definition, 8, CubicPairSettings(1.5L).domain).evaluators.size(),
              1u);
}

TEST(BasinScan, NoiseScansOnOneThreadAndRepeatsWithTheSameSeed) {
    ModelWorkspace ws;
    UseCubicPair(ws, 1.5L);
    ReplaceModel(ws, [](ModelDefinition& m) {
        m.noise.noiseOn = true;
        m.noise.noiseType = 2;
        m.noise.noiseLevel = 0.3L;
        m.noise.noiseProbability = 1;
        m.noise.noiseVariable = 1;
    });
    BasinSettings settings = CubicPairSettings(1.5L);
    settings.epsilon = 0.2L;
    EXPECT_EQ(MakeScanModels(ws.definition, 8, settings.domain).evaluators.size(), 1u);
    const ScanOutcome first = Scan(ws, settings, 8);
    const ScanOutcome again = Scan(ws, settings, 8);
    EXPECT_TRUE(first.raster == again.raster);
}

TEST(BasinScan, RefusesWhatItCannotScan) {
    struct Case {
        const char* what;
        int variables;
        std::function<void(BasinSettings&)> change;
    };
    const std::vector<Case> cases = {
        {"one variable", 1, [](BasinSettings&) {}},
        {"no cycle", 2, [](BasinSettings& s) { s.cycles.clear(); }},
        {"period 0", 2, [](BasinSettings& s) { s.cycles[0].period = 0; }},
        {"a value missing", 2, [](BasinSettings& s) { s.cycles[0].point.pop_back(); }},
        {"axis beyond the variables", 2, [](BasinSettings& s) { s.verticalVariable = 2; }},
        {"resolution 0", 2, [](BasinSettings& s) { s.domain.horizontalResolution = 0; }},
        {"negative resolution", 2, [](BasinSettings& s) { s.domain.verticalResolution = -4; }},
        {"too many pixels", 2,
         [](BasinSettings& s) {
             s.domain.horizontalResolution = 100000;
             s.domain.verticalResolution = 100000;
         }},
    };
    for (const Case& c : cases) {
        BasinSettings settings;
        settings.cycles = {{1, std::vector<Extended>(static_cast<std::size_t>(c.variables), 0)}};
        c.change(settings);
        EXPECT_THROW(CheckBasinSettings(c.variables, settings), ScanSettingsError) << c.what;
    }
    BasinSettings sound;
    sound.cycles.assign(11, {1, {0, 0}});  // more than ten rows have room
    EXPECT_NO_THROW(CheckBasinSettings(2, sound));
}

}  // namespace
}  // namespace kalvora::testing
