#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <thread>

#include "analysis/data/sheet/sheet_fill.h"
#include "analysis/data/statistics/statistics_run.h"
#include "core/run_control.h"
#include "tests/analysis/test_models.h"

namespace kalvora {
namespace {

using testing::ModelCalls;
using testing::UseModel;

std::unique_ptr<ModelEvaluator> Evaluator(const ModelWorkspace& ws) {
    return testing::EvaluatorOf(ws);
}

// x -> x + 1 from 0: the value of a row is the iterate it holds.
void UseCounter(ModelWorkspace& ws) {
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 1}}, {}, "return x + 1");
}

// x -> x + 1 until x reaches `last`, whose step fails (division by zero gives infinity).
void UseCounterFailingAt(ModelWorkspace& ws, int last) {
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 1}}, {},
             "if x >= " + std::to_string(last) + " then return x / 0 end\nreturn x + 1");
}

// Requests a stop once the gauge reaches a position, as the Stop button does during a run.
class StoppingProgress final : public Progress {
  public:
    explicit StoppingProgress(long long at) : at_(at) {}
    RunControl* control = nullptr;
    void start(long long) override {}
    void setPosition(long long position) override {
        if (position >= at_) {
            control->requestStop();
        }
    }
    void finish() override {}

  private:
    long long at_;
};

SheetTable Fill(ModelEvaluator& model, SheetSettings settings) {
    QuietRunControl control;
    return SheetFill(model, settings, control);
}

// A fill on an evaluator of its own.
SheetTable Fill(const ModelWorkspace& ws, SheetSettings settings) {
    return Fill(*Evaluator(ws), settings);
}

std::vector<std::string> Column(const SheetTable& table, int column) {
    std::vector<std::string> cells;
    for (long long row = 1; row < table.rowCount(); ++row) {
        cells.push_back(table.cell(row, column));
    }
    return cells;
}

// ---- spreadsheet ----

TEST(SheetFill, DefaultsListIterateZeroToNineHundredNinetyNine) {
    ModelWorkspace ws;
    UseCounter(ws);
    auto model = Evaluator(ws);
    const SheetTable table = Fill(*model, {});
    EXPECT_EQ(table.rowCount(), 1001);
    EXPECT_EQ(table.columnCount(), 2);
    EXPECT_EQ(table.cell(1, 0), "0");
    EXPECT_EQ(table.cell(1, 1), "0");  // the initial state
    EXPECT_EQ(table.cell(1000, 0), "999");
    EXPECT_EQ(table.cell(1000, 1), "999");
    EXPECT_FALSE(table.failed);
    EXPECT_EQ(ModelCalls(*model), 1000);  // the step after the last row is taken too
}

TEST(SheetFill, RowsAreLabelledWithTheIterateTheyHold) {
    struct Case {
        SheetSettings settings;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {{10, 3, 2}, {"10", "12", "14"}},
        {{10, 3, 1}, {"10", "11", "12"}},
        {{0, 4, 100}, {"0", "100", "200", "300"}},
        {{50000, 1, 1}, {"50000"}},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseCounter(ws);
        const SheetTable table = Fill(ws, c.settings);
        EXPECT_EQ(Column(table, 0), c.labels) << c.settings.start << " " << c.settings.every;
        EXPECT_EQ(Column(table, 1), c.labels) << "values are the iterates";
    }
}

TEST(SheetFill, HeaderNamesTimeVariablesThenAuxiliaries) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 1}, {"y", 2}}, {{"a", 1}}, {"k"},
             "return y, x, x + y");
    const SheetTable table = Fill(ws, {0, 2, 1});
    EXPECT_EQ(table.columnCount(), 4);
    EXPECT_EQ(table.header, (std::vector<std::string>{"Time", "x", "y", "k"}));
    // The auxiliary of the initial state is the initial value list's, the next is computed.
    EXPECT_EQ(table.cell(2, 1), "2");
    EXPECT_EQ(table.cell(2, 2), "1");
    EXPECT_EQ(table.cell(2, 3), "3");
}

TEST(SheetFill, ValuesShowSevenSignificantDigits) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete,
             {{"a", 0.1234567891L},
              {"b", 1234567},
              {"c", 12345678},
              {"d", 0.0001L},
              {"e", 0.00005L},
              {"f", -2.5L}},
             {{"p", 1}}, {}, "return a, b, c, d, e, f");
    const SheetTable table = Fill(ws, {0, 1, 1});
    const std::vector<std::string> expected{"0.1234568", "1234567", "1.234568E7",
                                            "0.0001",    "5E-5",    "-2.5"};
    for (int column = 1; column <= 6; ++column) {
        EXPECT_EQ(table.cell(1, column), expected[static_cast<std::size_t>(column - 1)]);
    }
}

TEST(SheetFill, AFailureMarksTheRowBelowTheLastFilledOne) {
    struct Case {
        SheetSettings settings;
        long long rowsFilled;
        long long rowCount;  // header included
    };
    // Failing at x = 3: the state for iterate 4 cannot be computed.
    const Case cases[] = {
        {{0, 10, 1}, 4, 11},  // rows 0..3, "Overflow" in row 5, rows 6..10 empty
        {{0, 4, 1}, 4, 6},    // the failure after the last row adds a row for the mark
        {{0, 2, 2}, 2, 4},    // rows 0 and 2, then the step to 4 fails
        {{5, 3, 1}, 0, 4},    // failing while skipping to the first row: no row is shown
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseCounterFailingAt(ws, 3);
        auto model = Evaluator(ws);
        const SheetTable table = Fill(*model, c.settings);
        EXPECT_TRUE(table.failed);
        EXPECT_TRUE(model->errorFlag);
        EXPECT_EQ(table.rowsFilled, c.rowsFilled) << c.settings.start << " " << c.settings.rows;
        EXPECT_EQ(table.rowCount(), c.rowCount) << c.settings.start << " " << c.settings.rows;
        EXPECT_EQ(table.cell(0, 1), "x");
        EXPECT_EQ(table.cell(c.rowsFilled + 1, 0), "");
        EXPECT_EQ(table.cell(c.rowsFilled + 1, 1), "Overflow");
        EXPECT_EQ(table.cell(c.rowsFilled + 2, 1), "");
    }
}

TEST(SheetFill, AStopKeepsTheRowsFilledSoFar) {
    ModelWorkspace ws;
    UseCounter(ws);
    StoppingProgress progress(3);
    RunControl control(progress);
    progress.control = &control;
    const SheetTable table = SheetFill(*Evaluator(ws), {0, 10, 1}, control);
    EXPECT_TRUE(table.stopped);
    EXPECT_FALSE(table.failed);
    // The row being filled when Stop came is completed.
    EXPECT_EQ(table.rowsFilled, 4);
    EXPECT_EQ(Column(table, 1)[3], "3");
    EXPECT_EQ(Column(table, 1)[4], "");
}

// Two runs one after the other continue one random sequence (on one evaluator, as the workspace
// carries it between runs): only the fixed seed makes them repeat, in the sheet and in the
// statistics alike.
TEST(DataRuns, AFixedSeedRepeatsANoisySheetAndStatisticsRun) {
    for (const bool fixed : {true, false}) {
        ModelWorkspace ws;
        UseCounter(ws);
        ReplaceModel(ws, [fixed](ModelDefinition& m) {
            m.noise.noiseOn = true;
            m.noise.noiseLevel = 0.5L;
            m.noise.noiseProbability = 1;
            m.noise.noisePeriod = 1;
            m.noise.noiseSeed = 42;
            m.noise.fixSeedForEachRun = fixed;
        });
        auto model = Evaluator(ws);
        const SheetTable first = Fill(*model, {0, 20, 1});
        const SheetTable second = Fill(*model, {0, 20, 1});
        EXPECT_EQ(first.values == second.values, fixed);
        EXPECT_NE(first.values[5], 5.0);

        QuietRunControl control;
        StatisticsRecord one;
        StatisticsRecord two;
        StatisticsRun(*model, {1, 0, 20}, control, one);
        StatisticsRun(*model, {1, 0, 20}, control, two);
        ASSERT_TRUE(one.mean && two.mean);
        EXPECT_EQ(*one.mean == *two.mean, fixed);
        EXPECT_EQ(*one.variance == *two.variance, fixed);
        EXPECT_NE(*one.mean, 10.5L);  // the noiseless mean of 1 .. 20
    }
}

// ---- statistics ----

StatisticsRecord Statistics(const ModelWorkspace& ws, StatisticsSettings settings) {
    QuietRunControl control;
    StatisticsRecord record;
    StatisticsRun(*Evaluator(ws), settings, control, record);
    return record;
}

std::map<std::string, std::string> Figures(const StatisticsRecord& record) {
    std::map<std::string, std::string> figures;
    for (const StatisticsFigure& figure : StatisticsFigures(record, "x")) {
        figures[figure.label] = figure.value;
    }
    return figures;
}

TEST(StatisticsRun, FiguresOfOneToFourAndOneToThree) {
    ModelWorkspace ws;
    UseCounter(ws);
    using Expected = std::map<std::string, std::string>;
    EXPECT_EQ(Figures(Statistics(ws, {1, 0, 4})),
              (Expected{{"Series", "x"},
                        {"Number of Data points", "4"},
                        {"Mean", "2.500000"},
                        {"Median", "2.500000"},
                        {"Maximum", "4.000000"},
                        {"Minimum", "1.000000"},  // T = 0 still steps once
                        {"Standard Deviation", "1.290994"},
                        {"Variance", "1.666667"},
                        {"Skewness", "0.000000"},
                        {"Kurtosis", "0.922500"}}));
    const std::map<std::string, std::string> three = Figures(Statistics(ws, {1, 0, 3}));
    EXPECT_EQ(three.at("Median"), "2.000000");
    EXPECT_EQ(three.at("Mean"), "2.000000");
    EXPECT_EQ(three.at("Kurtosis"), "0.666667");  // (2 x 1) / (3 x 1)
}

TEST(StatisticsRun, SkewnessFollowsTheLongerTail) {
    ModelWorkspace ws;
    // 1, 1, 1, 5 repeating: a long right tail.
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 1}}, {"y"},
             "local n = x + 1\nif n % 4 == 0 then return n, 5 end\nreturn n, 1");
    const StatisticsRecord record = Statistics(ws, {2, 0, 8});
    ASSERT_TRUE(record.skewness);
    // mean 2, deviations -1 (6x) and 3 (2x): S2 = 24, S3 = 48, s^2 = 24/7.
    const long double s = std::sqrt(24.0L / 7);
    EXPECT_NEAR(static_cast<double>(*record.skewness), static_cast<double>(48 / (8 * s * s * s)),
                1e-12);
    EXPECT_EQ(record.variable, 2);
}

TEST(StatisticsRun, AnIndexOutsideTheVariablesSamplesTheFirst) {
    for (int variable : {0, -3, 3, 200}) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 1}}, {"y"}, "return x + 1, 100");
        const StatisticsRecord record = Statistics(ws, {variable, 0, 4});
        EXPECT_EQ(record.variable, 1) << variable;
        EXPECT_EQ(*record.maximum, 4) << variable;
    }
}

TEST(StatisticsRun, TheBufferHoldsTheDialogsLargestSampleWithoutGrowing) {
    ModelWorkspace ws;
    UseCounter(ws);
    QuietRunControl control;
    StatisticsRecord record;
    const Extended* buffer = record.sample.data();
    StatisticsRun(*Evaluator(ws), {1, 0, kStatisticsMaximumPoints}, control, record);
    EXPECT_EQ(record.count, 100000);
    EXPECT_EQ(*record.maximum, 100000);
    EXPECT_EQ(*record.median, 50000.5L);
    EXPECT_EQ(record.sample.data(), buffer);
}

TEST(StatisticsRun, AFailureLimitsEveryFigureToTheValuesCollected) {
    ModelWorkspace ws;
    UseCounter(ws);
    StatisticsRecord record = Statistics(ws, {1, 0, 1000});  // leaves 1 .. 1000 in the buffer
    UseCounterFailingAt(ws, 3);
    auto model = Evaluator(ws);
    QuietRunControl control;
    StatisticsRun(*model, {1, 0, 100}, control, record);
    EXPECT_TRUE(record.failed);
    EXPECT_EQ(record.count, 3);
    EXPECT_EQ(record.requested, 100);
    const auto figures = Figures(record);
    EXPECT_EQ(figures.at("Number of Data points"), "3");
    EXPECT_EQ(figures.at("Mean"), "2.000000");
    EXPECT_EQ(figures.at("Maximum"), "3.000000");
    EXPECT_EQ(figures.at("Variance"), "1.000000");

    // Failing in the transient: nothing to describe.
    StatisticsRun(*model, {1, 10, 100}, control, record);
    EXPECT_TRUE(record.failed);
    EXPECT_EQ(Figures(record).at("Number of Data points"), "0");
    EXPECT_EQ(Figures(record).at("Mean"), "undefined");
    EXPECT_TRUE(LayOutHistogram(record).bars.empty());
}

TEST(StatisticsRun, AConstantSampleHasNoSkewnessOrKurtosisAndOneFullBar) {
    ModelWorkspace ws;
    // The mean of ten 0.1s, a sum divided by 10, misses 0.1 by a rounding.
    UseModel(ws, ModelKind::Discrete, {{"x", 0.1L}}, {{"a", 1}}, {}, "return x");
    const StatisticsRecord record = Statistics(ws, {1, 0, 10});
    const auto figures = Figures(record);
    EXPECT_EQ(figures.at("Standard Deviation"), "0.000000");
    EXPECT_EQ(figures.at("Variance"), "0.000000");
    EXPECT_EQ(figures.at("Skewness"), "undefined");
    EXPECT_EQ(figures.at("Kurtosis"), "undefined");
    const HistogramLayout layout = LayOutHistogram(record);
    ASSERT_EQ(layout.bars.size(), 20u);
    for (int j = 0; j < 19; ++j) {
        EXPECT_EQ(layout.bars[static_cast<std::size_t>(j)].top, 290) << j;
    }
    EXPECT_EQ(layout.counts[19], 10);
    EXPECT_EQ(layout.bars[19].top, 69);  // 290 - 220.8
}

TEST(StatisticsRun, AStopKeepsTheValuesCollectedSoFar) {
    ModelWorkspace ws;
    UseCounter(ws);
    StoppingProgress progress(1);  // the first position after the transient
    RunControl control(progress);
    progress.control = &control;
    StatisticsRecord record;
    StatisticsRun(*Evaluator(ws), {1, 0, 50000}, control, record);
    EXPECT_TRUE(record.stopped);
    EXPECT_FALSE(record.failed);
    EXPECT_EQ(record.count, 1);
    EXPECT_EQ(*record.mean, 1);
}

TEST(DataRuns, AStopThatInterruptsAModelStepIsNoFailure) {
    // The step from x = 3 never ends, so the stop, pressed from another thread as Stop is, always
    // lands inside it. Neither tool may then show an overflow: what came before the stop is kept.
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 1}}, {},
             "if x >= 3 then while true do end end return x + 1");
    struct Outcome {
        bool stopped;
        bool failed;
        long long kept;
    };
    struct Case {
        const char* tool;
        std::function<Outcome(ModelEvaluator&, RunControl&)> run;
        long long kept;
    };
    const Case cases[] = {
        {"sheet",
         [](ModelEvaluator& model, RunControl& control) {
             const SheetTable table = SheetFill(model, {0, 10, 1}, control);
             return Outcome{table.stopped, table.failed, table.rowsFilled};
         },
         4},  // iterates 0 .. 3
        {"statistics",
         [](ModelEvaluator& model, RunControl& control) {
             StatisticsRecord record;
             StatisticsRun(model, {1, 0, 10}, control, record);
             return Outcome{record.stopped, record.failed, record.count};
         },
         3},  // 1 .. 3
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        QuietRunControl control;
        auto model = testing::EvaluatorOf(ws, &control);
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            control.requestStop();
        });
        const Outcome outcome = c.run(*model, control);
        stopper.join();
        EXPECT_TRUE(outcome.stopped);
        EXPECT_FALSE(outcome.failed);
        EXPECT_EQ(outcome.kept, c.kept);
    }
}

// ---- histogram ----

StatisticsRecord RecordOf(std::vector<Extended> sorted) {
    StatisticsRecord record;
    record.sample = std::move(sorted);
    record.count = static_cast<long long>(record.sample.size());
    return record;
}

TEST(Histogram, BarHeightsAndLabelsOfAKnownSample) {
    // w = 0.5: four 0s in bin 1, the 1s in bin 3 (1 is not below 1.0), 2 in bin 5, 10 in bin 20.
    const HistogramLayout layout = LayOutHistogram(RecordOf({0, 0, 0, 0, 1, 1, 2, 10}));
    const std::array<long long, 20> counts{4, 0, 2, 0, 1, 0, 0, 0, 0, 0,
                                           0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(layout.counts, counts);
    ASSERT_EQ(layout.bars.size(), 20u);
    // 220.8 pixels for the four 0s: 55.2 per value, rounded.
    const int tops[20] = {69,  290, 180, 290, 235, 290, 290, 290, 290, 290,
                          290, 290, 290, 290, 290, 290, 290, 290, 290, 235};
    for (int j = 0; j < 20; ++j) {
        EXPECT_EQ(layout.bars[static_cast<std::size_t>(j)].top, tops[j]) << j;
        EXPECT_EQ(layout.bars[static_cast<std::size_t>(j)].left, 50 + 11 * j);
        EXPECT_EQ(layout.bars[static_cast<std::size_t>(j)].right, 61 + 11 * j);
    }
    std::vector<std::string> texts;
    for (const HistogramLabel& label : layout.labels) {
        texts.push_back(label.text);
    }
    // Relative frequencies a x 0.25 x 4 / 8 (exact halves round to even, as every number the
    // program writes), then "0"; abscissae in fifths, then the largest.
    EXPECT_EQ(texts, (std::vector<std::string>{"0.12", "0.25", "0.38", "0.50", "0.62", "0", "0.000",
                                               "2.000", "4.000", "6.000", "8.000", "10.000"}));
    EXPECT_EQ(layout.labels[3].y, 63);  // 284 - 4 x 55.2, rounded
    EXPECT_EQ(layout.ticks[3].y1, 69);  // the tallest bar's height
    EXPECT_EQ(layout.labels[7].x, 80);  // 50 + 44 - 14
}

TEST(Histogram, EveryValueLandsInABinWhateverTheRounding) {
    // Ranges whose twentieth part does not add up exactly to the largest value.
    for (const std::vector<Extended>& sample :
         {std::vector<Extended>{0.1L, 0.2L, 0.3L, 0.7L}, std::vector<Extended>{-1e-300L, 1e300L},
          std::vector<Extended>{1.0L / 3, 2.0L / 3, 1, 4.0L / 3, 5.0L / 3}}) {
        long long total = 0;
        for (long long count : HistogramCounts(sample)) {
            total += count;
        }
        EXPECT_EQ(total, static_cast<long long>(sample.size()));
    }
}

TEST(Histogram, NothingToDrawForAnEmptyOrNonFiniteSample) {
    const Extended inf = std::numeric_limits<Extended>::infinity();
    EXPECT_TRUE(LayOutHistogram(RecordOf({})).bars.empty());
    EXPECT_TRUE(LayOutHistogram(RecordOf({1, 2, inf})).bars.empty());
    EXPECT_TRUE(LayOutHistogram(RecordOf({1, 2, std::nanl("")})).labels.empty());
}

}  // namespace
}  // namespace kalvora
