#include "analysis/data/statistics/statistics_run.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "core/model_step.h"
#include "core/noise.h"
#include "core/numbers.h"
#include "core/run_control.h"

namespace kalvora {

namespace {

// Ascending with not-a-number last: a strict weak order even for a sample holding NaN, which a
// plain "<" is not (sorting with it is undefined).
bool SampleBefore(Extended a, Extended b) {
    if (std::isnan(a)) {
        return false;
    }
    return std::isnan(b) || a < b;
}

void ComputeFigures(StatisticsRecord& record, Extended sum) {
    const std::vector<Extended>& x = record.sample;
    const long long n = record.count;
    if (n == 0) {
        return;
    }
    const Extended mean = sum / static_cast<Extended>(n);
    record.mean = mean;
    const auto at = [&](long long position) { return x[static_cast<std::size_t>(position - 1)]; };
    record.median = n % 2 == 1 ? at((n + 1) / 2) : (at(n / 2) + at(n / 2 + 1)) / 2;
    if (n < 2) {
        return;
    }
    // A constant sample has no spread, but its mean, a sum divided by the count, can miss the
    // value by a rounding and leave a deviation of a few units in the last place; the skewness and
    // kurtosis computed from that would be noise presented as figures.
    if (*record.minimum == *record.maximum) {
        record.deviation = 0;
        record.variance = 0;
        return;
    }
    Extended s2 = 0;
    Extended s3 = 0;
    Extended s4 = 0;
    for (const Extended value : x) {
        const Extended d = value - mean;
        const Extended d2 = d * d;
        s2 += d2;
        s3 += d2 * d;
        s4 += d2 * d2;
    }
    const Extended deviation = std::sqrt(s2 / static_cast<Extended>(n - 1));
    record.deviation = deviation;
    record.variance = deviation * deviation;
    if (!(deviation > 0)) {
        return;
    }
    const Extended logDeviation = std::log(deviation);
    record.skewness = s3 / (static_cast<Extended>(n) * std::exp(3 * logDeviation));
    record.kurtosis = s4 / (static_cast<Extended>(n) * std::exp(4 * logDeviation));
}

}  // namespace

StatisticsRecord::StatisticsRecord() {
    sample.reserve(static_cast<std::size_t>(kStatisticsMaximumPoints));
}

void StatisticsRun(ModelEvaluator& model, const StatisticsSettings& settings, RunControl& control,
                   StatisticsRecord& record) {
    const ModelKind kind = model.model().kind;
    const int values = model.model().variableCount + model.model().auxiliaryCount;
    const int variable =
        settings.variable < 1 || settings.variable > values ? 1 : settings.variable;
    // The dialog keeps its own range; the batch tool's may be any 64-bit count.
    const long long transient = std::max(settings.transient, 0LL);
    const long long points = std::clamp(settings.points, 2LL, kStatisticsMaximumPoints);

    record.variable = variable;
    record.requested = points;
    record.count = 0;
    record.mean = record.median = record.maximum = record.minimum = std::nullopt;
    record.deviation = record.variance = record.skewness = record.kurtosis = std::nullopt;
    record.failed = false;
    record.stopped = false;
    record.sample.clear();

    Progress& progress = control.progress();
    progress.start(transient > std::numeric_limits<long long>::max() - 1 - points
                       ? std::numeric_limits<long long>::max()
                       : transient + 1 + points);
    ReseedIfFixed(model);
    model.errorFlag = false;
    StateVector state = model.model().initialValues;
    // T + 1 steps: a transient of 0 still leaves the initial value out of the sample.
    for (long long i = 0; i <= transient && !model.errorFlag; ++i) {
        if (control.stopRequested()) {
            record.stopped = true;
            break;
        }
        if (i % 1024 == 0) {
            progress.setPosition(i);
        }
        ModelStep(model, kind, state);
    }
    const std::size_t slot = static_cast<std::size_t>(variable - 1);
    Extended sum = 0;
    for (long long i = 0; i < points && !model.errorFlag && !record.stopped; ++i) {
        if (control.stopRequested()) {
            record.stopped = true;
            break;
        }
        if (i % 1024 == 0) {
            progress.setPosition(transient + 1 + i);
        }
        const Extended value = state[slot];
        sum += value;
        record.sample.push_back(value);
        if (!record.maximum || value > *record.maximum) {
            record.maximum = value;
        }
        if (!record.minimum || value < *record.minimum) {
            record.minimum = value;
        }
        ModelStep(model, kind, state);
    }
    record.count = static_cast<long long>(record.sample.size());
    // Also a failure of the step after the last sampled value: the orbit has left the numbers,
    // which the window's note tells, though the sample itself is complete.
    // A stop that interrupted a model step ended the run; the model did not fail.
    if (control.stopRequested()) {
        record.stopped = true;
    }
    record.failed = model.errorFlag && !record.stopped;
    std::sort(record.sample.begin(), record.sample.end(), SampleBefore);
    ComputeFigures(record, sum);
    progress.finish();
}

std::array<long long, kHistogramBins> HistogramCounts(const std::vector<Extended>& sorted) {
    std::array<long long, kHistogramBins> counts{};
    if (sorted.empty()) {
        return counts;
    }
    const Extended smallest = sorted.front();
    const Extended width = (sorted.back() - smallest) / kHistogramBins;
    std::size_t next = 0;
    for (int j = 1; j < kHistogramBins; ++j) {
        const Extended bound = smallest + j * width;
        while (next < sorted.size() && sorted[next] < bound) {
            ++counts[static_cast<std::size_t>(j - 1)];
            ++next;
        }
    }
    // Everything left, not only the values equal to the largest: smallest + 20 w can round below
    // the largest value, and a value between the two would otherwise fall out of every bin.
    counts[kHistogramBins - 1] += static_cast<long long>(sorted.size() - next);
    return counts;
}

HistogramLayout LayOutHistogram(const StatisticsRecord& record) {
    HistogramLayout layout;
    const std::vector<Extended>& sorted = record.sample;
    if (sorted.empty() || !std::isfinite(sorted.front()) || !std::isfinite(sorted.back())) {
        return layout;
    }
    layout.counts = HistogramCounts(sorted);
    const long long tallest = *std::max_element(layout.counts.begin(), layout.counts.end());
    const long double scale = 220.8L / static_cast<long double>(tallest);
    for (int j = 0; j < kHistogramBins; ++j) {
        const long long count = layout.counts[static_cast<std::size_t>(j)];
        layout.bars.push_back({kHistogramLeft + 11 * j, kHistogramLeft + 11 * (j + 1),
                               static_cast<int>(std::lround(kHistogramBase - count * scale))});
    }

    const long double total = static_cast<long double>(sorted.size());
    for (int a = 1; a <= 5; ++a) {
        const int y = static_cast<int>(std::lround(kHistogramBase - a * 55.2L));
        layout.ticks.push_back({45, y, 50, y});
        layout.labels.push_back({20, static_cast<int>(std::lround(284 - a * 55.2L)),
                                 FormatFixed(a * 0.25L * tallest / total, 2, 2)});
    }
    layout.ticks.push_back({45, 289, 50, 289});
    layout.labels.push_back({27, 283, "0"});

    const Extended smallest = sorted.front();
    const Extended largest = sorted.back();
    for (int f = 0; f <= 4; ++f) {
        const int x = kHistogramLeft + 44 * f;
        layout.ticks.push_back({x, 290, x, 295});
        layout.labels.push_back(
            {x - 14, 296, FormatFixed(smallest + f * (largest - smallest) / 5, 3, 3)});
    }
    layout.ticks.push_back({269, 289, 269, 296});
    layout.labels.push_back({256, 296, FormatFixed(largest, 3, 3)});
    return layout;
}

std::vector<StatisticsFigure> StatisticsFigures(const StatisticsRecord& record,
                                                const std::string& seriesName) {
    const auto shown = [](const std::optional<Extended>& value) {
        return value ? FormatFixed(*value, 7, 6) : std::string("undefined");
    };
    return {{"Series", seriesName},
            {"Number of Data points", std::to_string(record.count)},
            {"Mean", shown(record.mean)},
            {"Median", shown(record.median)},
            {"Maximum", shown(record.maximum)},
            {"Minimum", shown(record.minimum)},
            {"Standard Deviation", shown(record.deviation)},
            {"Variance", shown(record.variance)},
            {"Skewness", shown(record.skewness)},
            {"Kurtosis", shown(record.kurtosis)}};
}

}  // namespace kalvora
