#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/model_evaluator.h"

namespace kalvora {

class RunControl;

inline constexpr long long kStatisticsMaximumTransient = 100000;
inline constexpr long long kStatisticsMaximumPoints = 100000;

// "Settings Statistics": which StateVector entry is sampled, after how many steps, how often.
struct StatisticsSettings {
    int variable = 1;           // 1-based: the variables, then the auxiliary variables
    long long transient = 100;  // T, "# Transient": 0 .. 100000
    long long points = 100;     // N, "# Points": 2 .. 100000
};

// The result of the last run, which the "Series Information" window shows whenever it paints.
// Every figure is computed over the values actually collected; a figure that the sample does not
// define (a deviation of fewer than two values, the skewness and kurtosis of a constant sample) is
// empty.
struct StatisticsRecord {
    // The buffer is allocated here, once, for the largest sample the dialog accepts.
    StatisticsRecord();

    int variable = 1;  // the entry sampled, after replacing an index out of range by 1
    long long requested = 0;
    long long count = 0;  // "Number of Data points"
    std::optional<Extended> mean;
    std::optional<Extended> median;
    std::optional<Extended> maximum;
    std::optional<Extended> minimum;
    std::optional<Extended> deviation;
    std::optional<Extended> variance;
    std::optional<Extended> skewness;
    std::optional<Extended> kurtosis;
    bool failed = false;   // a model step failed before the sample was complete
    bool stopped = false;  // a stop request ended the run early
    // The count collected values, ascending (not-a-number last).
    std::vector<Extended> sample;
};

// Re-seeds the noise when the seed is fixed for each run, steps the model T + 1 times from its
// initial values and collects N values of the variable, one step apart; then sorts them and
// computes the figures. A failing model step or a stop request ends the collection.
void StatisticsRun(ModelEvaluator& model, const StatisticsSettings& settings, RunControl& control,
                   StatisticsRecord& record);

inline constexpr int kHistogramBins = 20;

// The histogram as the window draws it, in pixels of its client area: a frame from (50, 14) to
// (270, 290), bars 11 pixels wide standing on y = 290, the tallest 220.8 pixels high.
struct HistogramBar {
    int left = 0;
    int right = 0;
    int top = 0;  // the bar reaches from here down to the base line
};

struct HistogramLabel {
    int x = 0;
    int y = 0;  // top of the text
    std::string text;
};

struct HistogramTick {
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
};

struct HistogramLayout {
    std::array<long long, kHistogramBins> counts{};
    std::vector<HistogramBar> bars;  // one per bin; empty when nothing can be drawn
    std::vector<HistogramTick> ticks;
    std::vector<HistogramLabel> labels;
};

inline constexpr int kHistogramLeft = 50;
inline constexpr int kHistogramTop = 14;
inline constexpr int kHistogramRight = 270;
inline constexpr int kHistogramBase = 290;

// Bin j (1 .. 20) counts the values below smallest + j w, w = (largest - smallest) / 20, that no
// earlier bin counted; the last bin takes all the rest, so a constant sample is one full bar.
std::array<long long, kHistogramBins> HistogramCounts(const std::vector<Extended>& sorted);

// Bars, axis ticks and labels for the sample of a record. A sample without values, or with values
// that are not finite, gives the frame only.
HistogramLayout LayOutHistogram(const StatisticsRecord& record);

// The figures as the window labels them, in order: "Series", "Number of Data points", "Mean",
// "Median", "Maximum", "Minimum", "Standard Deviation", "Variance", "Skewness", "Kurtosis". Values
// are rounded to 7 significant digits with 6 decimals; a figure the sample does not define shows
// "undefined".
struct StatisticsFigure {
    std::string label;
    std::string value;
};
std::vector<StatisticsFigure> StatisticsFigures(const StatisticsRecord& record,
                                                const std::string& seriesName);

}  // namespace kalvora
