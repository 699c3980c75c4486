#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "analysis/scan/periods/period_scan.h"
#include "scan_test_support.h"
#include "test_models.h"

namespace kalvora::testing {
namespace {

// The logistic map with a second parameter that plays no part.
void UseLogisticPlane(ModelWorkspace& ws) {
    UseModel(ws, ModelKind::Discrete, {{"x", 0.3L}}, {{"r", 3.7L}, {"s", 0.25L}}, {},
             "return r*x*(1-x)", CallCounter::Off);
}

ScanOutcome Scan(ModelWorkspace& ws, const PeriodSettings& settings, int threads,
                 RunControl& control) {
    ScanModels models = MakeScanModels(ws.definition, threads, settings.domain, ws.randomState);
    return PeriodScan(models, settings, control);
}

ScanOutcome Scan(ModelWorkspace& ws, const PeriodSettings& settings, int threads = 1) {
    QuietRunControl control;
    return Scan(ws, settings, threads, control);
}

TEST(PeriodScan, TheLogisticBandsOfPeriodOneTwoAndFourStartWhereTheyShould) {
    ModelWorkspace ws;
    UseLogisticPlane(ws);
    PeriodSettings settings;
    settings.periods = {1, 2, 4};
    settings.domain = {2.8L, 3.5L, 140, 0, 1, 2};
    settings.transient = 3000;
    settings.epsilon = 1e-4L;
    settings.colours = TestColours();
    const ScanOutcome outcome = Scan(ws, settings);
    // Near a period doubling the orbit settles slowly, so a band's edge is allowed a few pixels.
    const Extended slack = 0.02L;
    for (int i = 0; i < outcome.raster.columns(); ++i) {
        const Extended r = settings.domain.horizontalAt(i);
        RgbColour expected = 0;
        if (r < 3 - slack) {
            expected = kRed;
        } else if (r > 3 + slack && r < 3.449490L - slack) {
            expected = kGreen;
        } else if (r > 3.449490L + slack) {
            expected = kYellow;
        } else {
            continue;
        }
        for (int j = 0; j < outcome.raster.rows(); ++j) {
            ASSERT_EQ(outcome.raster.at(i, j), expected)
                << "r " << static_cast<double>(r) << " row " << j;
        }
    }
}

// The ways a model's steps are made: the interpreter (a model keeping a call counter), the
// compiled program's machine code (the whole test of a pair in it), its register program.
enum class Path { Interpreter, MachineCode, RegisterProgram };
constexpr Path kPaths[] = {Path::Interpreter, Path::MachineCode, Path::RegisterProgram};

RgbColour Pixel(ModelWorkspace& ws, const PeriodSettings& settings, int column, int row, Path path,
                int stopAfterMilliseconds = -1) {
    const auto evaluator = testing::EvaluatorOf(ws);
    if (path == Path::RegisterProgram) {
        evaluator->nativeCode.reset();
    }
    std::thread stopper;
    if (stopAfterMilliseconds >= 0) {
        stopper = std::thread([&evaluator, stopAfterMilliseconds] {
            std::this_thread::sleep_for(std::chrono::milliseconds(stopAfterMilliseconds));
            evaluator->interrupt.request();
        });
    }
    const RgbColour colour = PeriodPixel(*evaluator, ws.model().kind, settings, column, row);
    if (stopper.joinable()) {
        stopper.join();
    }
    return colour;
}

TEST(PeriodScan, SinglePairsAreClassifiedAsTheAlgorithmSays) {
    struct Case {
        const char* what;
        const char* body;
        std::vector<int> periods;
        int confirmations;
        RgbColour expected;
        long long transient = 60;
        ModelKind kind = ModelKind::Discrete;
        int stopAfterMilliseconds = -1;
    };
    // The pixel in column 0 and the bottom row sets (a, b) = (0.5, 0).
    const std::vector<Case> cases = {
        {"a fixed point with the default list", "return x/2 + a, y", {1, 2, 3}, 1, kRed},
        {"no transient", "return x/2 + a, y", {1, 2, 3}, 1, kWhite, 0},
        {"list 2, 1: a fixed point returns after 2 steps too",
         "return x/2 + a, y",
         {2, 1},
         1,
         kRed},
        {"list 2, 1: a 2-cycle", "return 1 - x, y", {2, 1}, 1, kRed},
        {"a 2-cycle with the default list", "return 1 - x, y", {1, 2, 3}, 1, kGreen},
        {"a period not listed", "return 1 - x, y", {1, 3}, 1, kWhite},
        {"a 30-cycle confirmed 3 times", "return (x + 1) % 30 + b, y", {7, 30}, 3, kGreen},
        {"a failing transient diverges", "return math.sqrt(-1 - x), y", {1}, 1, kBlack},
        {"a failure while testing diverges",
         "if x > 70 then return math.sqrt(-1), y else return x + 1, y end",
         {50},
         1,
         kBlack},
        // x creeps 0.0003 a step from 0.203 after the transient, and fails beyond 0.20375.
        {"two confirmations before the failure",
         "if x > 0.20375 then return math.sqrt(-1), y end\nreturn x + 0.0003, y",
         {1},
         2,
         kRed,
         10},
        {"a failure in the last confirmation diverges",
         "if x > 0.20375 then return math.sqrt(-1), y end\nreturn x + 0.0003, y",
         {1},
         3,
         kBlack,
         10},
        // The machine code hands over the steps at 17.2, where the interpreter goes on.
        {"an infinity without a fault in the middle of a period",
         "local t = 0\nif x > 17 and x < 17.5 then t = math.huge end\n"
         "return (x + 1) % 30 + b, y",
         {29, 30},
         2,
         kGreen,
         5},
        {"a stop in the transient diverges",
         "return x/2 + a, y",
         {1},
         1,
         kBlack,
         4'000'000'000,
         ModelKind::Discrete,
         30},
        {"a flow to a fixed point",
         "return -x + a, -y",
         {2, 1},
         1,
         kRed,
         3000,
         ModelKind::Continuous},
        {"a flow blowing up diverges",
         "return x * x, y",
         {1},
         1,
         kBlack,
         3000,
         ModelKind::Continuous},
    };
    for (const Case& c : cases) {
        for (const Path path : kPaths) {
            ModelWorkspace ws;
            UseModel(ws, c.kind, {{"x", 0.2L}, {"y", 0}}, {{"a", 0}, {"b", 0}}, {}, c.body,
                     path == Path::Interpreter ? CallCounter::On : CallCounter::Off);
            PeriodSettings settings;
            settings.periods = c.periods;
            settings.confirmations = c.confirmations;
            settings.domain = {0.5L, 1.5L, 1, 0, 1, 1};
            settings.transient = c.transient;
            settings.colours = TestColours();
            EXPECT_EQ(Pixel(ws, settings, 0, 1, path, c.stopAfterMilliseconds), c.expected)
                << c.what << ", path " << static_cast<int>(path);
        }
    }
}

TEST(PeriodScan, EveryConfirmationMustComeBackWithinEpsilon) {
    // x -> x + a b creeps 0.0003 a step: within 0.001 of where it was for three steps, not four.
    struct Case {
        int confirmations;
        RgbColour expected;
    };
    for (const Case c : std::vector<Case>{{1, kRed}, {2, kRed}, {3, kWhite}, {5, kWhite}}) {
        for (const Path path : kPaths) {
            ModelWorkspace ws;
            UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 0}, {"b", 0}}, {},
                     "return x + a*b",
                     path == Path::Interpreter ? CallCounter::On : CallCounter::Off);
            PeriodSettings settings;
            settings.confirmations = c.confirmations;
            settings.domain = {0.0003L, 1, 1, 0, 1, 1};
            settings.colours = TestColours();
            settings.transient = 10;
            // Column 0, top row: a = 0.0003, b = 1.
            EXPECT_EQ(Pixel(ws, settings, 0, 0, path), c.expected)
                << c.confirmations << ", path " << static_cast<int>(path);
        }
    }
}

TEST(PeriodScan, TheWorkspaceKeepsItsParametersAfterAScanAndAfterAStop) {
    for (const int threads : {1, 2}) {
        ModelWorkspace ws;
        UseLogisticPlane(ws);
        PeriodSettings settings;
        settings.periods = {1, 2, 4, 8};
        settings.domain = {2.8L, 3.6L, 40, 0, 1, 200};
        settings.colours = TestColours();
        Scan(ws, settings, threads);
        EXPECT_EQ(ws.model().parameterValues[0], 3.7L);
        EXPECT_EQ(ws.model().parameterValues[1], 0.25L);

        // Columns left of r = 3 fail at their first step; the others run a transient far too long
        // to end: the stop asked for once two columns are done always comes before the workers
        // are through, however late the thread that counts finished columns gets to run. (A stop
        // after two columns of a scan that could end once came after the workers had done them
        // all.)
        UseModel(ws, ModelKind::Discrete, {{"x", 0.3L}}, {{"r", 3.7L}, {"s", 0.25L}}, {},
                 "if r < 3 then x = math.sqrt(-1) end\nreturn r*x*(1-x)", CallCounter::Off);
        settings.transient = 2'000'000'000;
        StopAfterColumns progress(2);
        RunControl control(progress);
        progress.control = &control;
        ScanModels models = MakeScanModels(ws.definition, threads, settings.domain, ws.randomState);
        ASSERT_EQ(models.evaluators.size(), static_cast<std::size_t>(threads));
        const ScanOutcome stopped = PeriodScan(models, settings, control);
        EXPECT_TRUE(stopped.stopped) << threads;
        const long long rows = stopped.raster.rows();
        EXPECT_GE(CountColour(stopped.raster, kBlack), 2 * rows) << threads;
        EXPECT_EQ(stopped.raster.at(stopped.raster.columns() - 1, 0), kBlankPixel) << threads;
        EXPECT_EQ(ws.model().parameterValues[0], 3.7L);
        EXPECT_EQ(ws.model().parameterValues[1], 0.25L);
    }
}

TEST(PeriodScan, EveryWorkerCountGivesTheOneThreadPicture) {
    // The Henon map over (a, b): periods, chaos and escape side by side.
    ModelWorkspace ws;
    UseHenon(ws, CallCounter::Off);
    PeriodSettings settings;
    settings.periods = {1, 2, 4, 8, 3, 7};
    settings.confirmations = 2;
    settings.domain = {0, 1.4L, 45, -0.3L, 0.4L, 30};
    settings.colours = TestColours();
    const ScanOutcome single = Scan(ws, settings, 1);
    EXPECT_GT(CountColour(single.raster, kRed), 0);
    EXPECT_GT(CountColour(single.raster, kGreen), 0);
    for (const int threads : {2, 5}) {
        EXPECT_TRUE(Scan(ws, settings, threads).raster == single.raster) << threads;
    }
    // Pixel by pixel, the register program and the interpreter (with a call counter) agree.
    ModelWorkspace counting;
    UseHenon(counting, CallCounter::On);
    for (int i = 0; i < settings.domain.columns(); i += 2) {
        for (int j = 0; j < settings.domain.rows(); j += 3) {
            ASSERT_EQ(single.raster.at(i, j), Pixel(ws, settings, i, j, Path::RegisterProgram));
            ASSERT_EQ(single.raster.at(i, j), Pixel(counting, settings, i, j, Path::Interpreter));
        }
    }
}

TEST(PeriodScan, RefusesWhatItCannotScan) {
    struct Case {
        const char* what;
        int parameters;
        std::function<void(PeriodSettings&)> change;
    };
    const std::vector<Case> cases = {
        {"one parameter", 1, [](PeriodSettings&) {}},
        {"no period", 2, [](PeriodSettings& s) { s.periods.clear(); }},
        {"period 0", 2,
         [](PeriodSettings& s) {
             s.periods = {1, 0};
         }},
        {"no confirmation", 2, [](PeriodSettings& s) { s.confirmations = 0; }},
        {"axis beyond the parameters", 2, [](PeriodSettings& s) { s.horizontalParameter = 2; }},
        {"resolution 0", 2, [](PeriodSettings& s) { s.domain.verticalResolution = 0; }},
    };
    for (const Case& c : cases) {
        PeriodSettings settings;
        c.change(settings);
        EXPECT_THROW(CheckPeriodSettings(c.parameters, settings), ScanSettingsError) << c.what;
    }
    PeriodSettings sound;
    sound.periods.assign(40, 3);
    EXPECT_NO_THROW(CheckPeriodSettings(2, sound));
}

}  // namespace
}  // namespace kalvora::testing
