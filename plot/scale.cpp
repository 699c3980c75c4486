#include "plot/scale.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace kalvora {

namespace {

// Deliberately a little larger than ln 10: a range that is an exact power of ten then gives a
// logarithm just below the whole number, so range 10 gets the factor 10 and ticks 0, 2.5, 5 ...
// rather than the factor 1 and ticks 0, 10.
constexpr double kTenLogDivisor = 2.30258509299405;

// 10^n for n >= 0 as the exponential cut to its integer part.
double PowerOfTen(int n) {
    return std::trunc(std::exp(n * kTenLogDivisor));
}

// Pixel and tick rounding is round-half-to-even, matching the rounding of the tick span.
double RoundEven(double v) {
    return std::nearbyint(v);
}

}  // namespace

Tsp_Scale::Tsp_Scale() {
    ComputeFactor();
    ComputeMapping();
    ComputeTicks();
}

void Tsp_Scale::SetRange(double a, double b) {
    double low = std::min(a, b);
    double high = std::max(a, b);
    if (!std::isfinite(low) || !std::isfinite(high)) {
        return;
    }
    if (low == min_ && high == max_) {
        return;
    }
    if (low == high) {
        const double v = low;
        if (std::fabs(v) < 10) {
            high = v + 1;
        } else {
            high = v + std::fabs(v) / 10;
            low = high - std::fabs(high) / 10;
        }
    }
    // Widening the largest doubles, or a range wider than the doubles can hold, cannot be shown.
    if (!std::isfinite(high) || !std::isfinite(low) || !std::isfinite(high - low) ||
        !(high > low)) {
        return;
    }
    min_ = low;
    max_ = high;
    ComputeFactor();
    ComputeMapping();
    ComputeTicks();
    RangeChanged();
}

void Tsp_Scale::SetMin(double value) {
    SetRange(value, max_);
}

void Tsp_Scale::SetMax(double value) {
    SetRange(min_, value);
}

void Tsp_Scale::ComputeFactor() {
    const double logarithm = std::log(max_ - min_) / kTenLogDivisor;
    const int c = static_cast<int>(std::floor(logarithm));
    scaleFactor_ = c <= 0 ? PowerOfTen(1 - c) : 1.0 / PowerOfTen(c - 1);
    firstScaled_ = std::ceil(min_ * scaleFactor_);
    lastScaled_ = std::floor(max_ * scaleFactor_);
}

void Tsp_Scale::ComputeMapping() {
    originValue_ = Inversed() ? max_ : min_;
    originPixel_ = Vertical() ? lineY_ : lineX_;
    pixelsPerUnit_ = Inversed() ? lineLength_ / (min_ - max_) : lineLength_ / (max_ - min_);
    if (Vertical()) {
        pixelsPerUnit_ = -pixelsPerUnit_;
    }
}

void Tsp_Scale::ComputeTicks() {
    pixelTickShift_ = 0;
    if (requestedTicks_ == 0) {
        ticksCount_ = 0;
        return;
    }
    if (NoTicksLabel()) {
        ComputePixelTicks();
        return;
    }
    if (roundTicks_) {
        ComputeRoundTicks();
        return;
    }
    // Ranges far below the resolution of a double give factors or scaled ticks that are not
    // numbers; such a scale shows no ticks rather than garbage.
    if (!std::isfinite(scaleFactor_) || !std::isfinite(firstScaled_) ||
        !std::isfinite(lastScaled_) || lastScaled_ < firstScaled_) {
        ticksCount_ = 0;
        return;
    }
    const int span = static_cast<int>(std::min(RoundEven(lastScaled_ - firstScaled_), 1.0e6));
    if (requestedTicks_ >= 2) {
        tickStep_ = span / (requestedTicks_ - 1);
        if (tickStep_ == 0) {
            tickStep_ = 1;
        }
        ticksCount_ = std::min(span / tickStep_ + 1, kMaxTicks);
    } else {
        tickStep_ = span;
        ticksCount_ = 1;
    }
    FillTicksFromBase();
}

void Tsp_Scale::FillTicksFromBase() {
    const double base = Inversed() ? lastScaled_ : firstScaled_;
    const double direction = Inversed() ? -tickStep_ : tickStep_;
    for (int i = 0; i < ticksCount_; ++i) {
        tickValues_[i] = std::trunc(base + direction * i) / scaleFactor_;
        tickPixels_[i] = static_cast<std::int16_t>(ValueToPixel(tickValues_[i]));
    }
}

void Tsp_Scale::ComputeRoundTicks() {
    ticksCount_ = 0;
    const double range = max_ - min_;
    if (!(range > 0) || !std::isfinite(range)) {
        return;
    }
    const int wanted = requestedTicks_;
    const int around = static_cast<int>(std::floor(std::log10(range / std::max(1, wanted - 1))));
    // The step m * 10^e is kept as its two integers, so that a tick value is computed as one
    // product or quotient of whole numbers and comes out as the nearest double to the decimal
    // (0.3, not 0.30000000000000004).
    struct Step {
        int mantissa;
        int exponent;
        double first;
        double last;
        int count;
    };
    std::optional<Step> best;
    for (int exponent = around - 1; exponent <= around + 1; ++exponent) {
        for (const int mantissa : {1, 2, 5}) {
            const double step = mantissa * std::pow(10.0, exponent);
            // A bound that lies on a tick, but for the last bit, keeps its tick.
            const double first = std::ceil(min_ / step - 1e-9);
            const double last = std::floor(max_ / step + 1e-9);
            if (!std::isfinite(first) || !std::isfinite(last) || last < first ||
                last - first > 1e6) {
                continue;
            }
            const int count = static_cast<int>(last - first) + 1;
            if (count > kMaxTicks) {
                continue;
            }
            // Nearest to the count asked for; of two as near, the one with more ticks.
            const auto distance = [wanted](int n) { return std::abs(n - wanted); };
            if (!best || distance(count) < distance(best->count) ||
                (distance(count) == distance(best->count) && count > best->count)) {
                best = Step{mantissa, exponent, first, last, count};
            }
        }
    }
    if (!best) {
        return;
    }
    const double power = std::pow(10.0, std::abs(best->exponent));
    ticksCount_ = wanted == 1 ? 1 : best->count;
    for (int i = 0; i < ticksCount_; ++i) {
        const double multiple =
            Inversed() ? best->last - i : best->first + i;  // from the origin's end, as above
        const double units = multiple * best->mantissa;
        tickValues_[i] = best->exponent < 0 ? units / power : units * power;
        tickPixels_[i] = static_cast<std::int16_t>(ValueToPixel(tickValues_[i]));
    }
}

void Tsp_Scale::SetRoundTicks(bool on) {
    if (on == roundTicks_) {
        return;
    }
    roundTicks_ = on;
    ComputeTicks();
    AppearanceChanged();
}

void Tsp_Scale::ComputePixelTicks() {
    const int n = requestedTicks_;
    if (n == 1) {
        ticksCount_ = 1;
        tickPixels_[0] = static_cast<std::int16_t>(
            std::clamp(originPixel_ + (Vertical() ? -pixelTickShift_ : pixelTickShift_),
                       -kPixelLimit, kPixelLimit));
        tickValues_[0] = PixelToValue(tickPixels_[0]);
        return;
    }
    ticksCount_ = 0;
    for (int i = 0; i < n; ++i) {
        const int along =
            static_cast<int>(RoundEven(double(i) * lineLength_ / (n - 1))) + pixelTickShift_;
        if (along > lineLength_) {
            break;
        }
        const int pixel =
            std::clamp(originPixel_ + (Vertical() ? -along : along), -kPixelLimit, kPixelLimit);
        tickPixels_[ticksCount_] = static_cast<std::int16_t>(pixel);
        tickValues_[ticksCount_] = PixelToValue(pixel);
        ++ticksCount_;
    }
}

void Tsp_Scale::SetLinePos(int x, int y, int length) {
    if (x == lineX_ && y == lineY_ && length == lineLength_) {
        return;
    }
    if (length <= 0) {
        length = length == 0 ? 1 : std::abs(length);
    }
    lineX_ = x;
    lineY_ = y;
    lineLength_ = length;
    ComputeMapping();
    ComputeTicks();
}

void Tsp_Scale::SetTicksCount(int count) {
    count = std::clamp(count, 0, kMaxTicks);
    if (count == requestedTicks_) {
        return;
    }
    requestedTicks_ = count;
    ComputeTicks();
    AppearanceChanged();
}

void Tsp_Scale::SetSFlags(int flags) {
    const int old = flags_;
    flags_ = flags;
    ComputeMapping();
    ComputeTicks();
    if (old != flags) {
        FlagsChanged(old, flags);
    }
}

void Tsp_Scale::SetFlag(int index, bool on) {
    if (index != sfiInversed && index != sfiNoTicks && index != sfiNoTicksLabel &&
        index != sfiAutoMin && index != sfiAutoMax) {
        return;
    }
    const int old = flags_;
    const int updated = on ? (old | (1 << index)) : (old & ~(1 << index));
    if (updated == old) {
        return;
    }
    flags_ = updated;
    if (index == sfiInversed) {
        ComputeMapping();
        ComputeTicks();
    } else if (index == sfiNoTicksLabel) {
        ComputeTicks();
    }
    FlagsChanged(old, updated);
}

int Tsp_Scale::ValueToPixel(double value) const {
    const double pixel = RoundEven((value - originValue_) * pixelsPerUnit_ + originPixel_);
    if (std::isnan(pixel)) {
        return kPixelLimit;
    }
    return static_cast<int>(std::clamp(pixel, double(-kPixelLimit), double(kPixelLimit)));
}

double Tsp_Scale::PixelToValue(int pixel) const {
    return (pixel - originPixel_) / pixelsPerUnit_ + originValue_;
}

std::string Tsp_Scale::TickLabel(int i) const {
    return FormatNumericPicture(tickValues_[i], labelFormat_);
}

void Tsp_Scale::SetLabelFormat(const std::string& format) {
    labelFormat_ = format;
    AppearanceChanged();
}

int Tsp_Scale::LabelSpace(int charWidth, int charHeight) const {
    const int width = lineAttr_.Width();
    if (ticksCount_ == 0) {
        return width;
    }
    if (NoTicksLabel()) {
        return width + (NoTicks() ? 0 : 4);
    }
    if (!Vertical()) {
        return width + charHeight + 5;
    }
    std::size_t longest = 0;
    for (int i = 0; i < ticksCount_; ++i) {
        longest = std::max(longest, TickLabel(i).size());
    }
    return width + static_cast<int>(longest) * charWidth + 5;
}

int Tsp_Scale::StartOverhang(int charWidth, int charHeight) const {
    if (ticksCount_ == 0 || NoTicksLabel()) {
        return 0;
    }
    const int half = (Vertical() ? charHeight : int(TickLabel(0).size()) * charWidth) / 2;
    const double distance = std::fabs(RoundEven((originValue_ - tickValues_[0]) * pixelsPerUnit_));
    return std::max(0, half - static_cast<int>(std::min(distance, 1.0e6)));
}

int Tsp_Scale::EndOverhang(int charWidth, int charHeight) const {
    if (ticksCount_ == 0 || NoTicksLabel()) {
        return 0;
    }
    const int last = ticksCount_ - 1;
    const int half = (Vertical() ? charHeight : int(TickLabel(last).size()) * charWidth) / 2;
    const double farBound = Inversed() ? min_ : max_;
    const double distance = std::fabs(RoundEven((farBound - tickValues_[last]) * pixelsPerUnit_));
    return std::max(0, half - static_cast<int>(std::min(distance, 1.0e6)));
}

int Tsp_Scale::TickIntervalPixels() const {
    if (requestedTicks_ >= 2) {
        return static_cast<int>(RoundEven(double(lineLength_) / (requestedTicks_ - 1)));
    }
    return lineLength_;
}

void Tsp_Scale::PanBy(int pixels) {
    if (pixels == 0) {
        return;
    }
    const double offset = pixels / pixelsPerUnit_;
    const int interval = TickIntervalPixels();
    // Round ticks are recomputed for every position: their step depends on the width only.
    const bool roundTicks = roundTicks_ && !NoTicksLabel();
    if (requestedTicks_ == 0 || roundTicks || std::abs(pixels) > interval ||
        !std::isfinite(scaleFactor_) || !std::isfinite(min_ + offset) ||
        !std::isfinite(max_ + offset) || ticksCount_ == 0) {
        SetRange(max_ + offset, min_ + offset);
        return;
    }
    min_ += offset;
    max_ += offset;
    originValue_ = Inversed() ? max_ : min_;

    if (NoTicksLabel()) {
        // Ticks move with the picture and wrap by whole intervals so that they stay on the line.
        // Along the axis a horizontal drag moves ticks by -pixels, a vertical one by +pixels
        // (screen y grows downwards while the axis runs upwards).
        int shift = pixelTickShift_ + (Vertical() ? pixels : -pixels);
        if (interval > 0) {
            shift %= interval;
            if (shift < 0) {
                shift += interval;
            }
        } else {
            shift = 0;
        }
        pixelTickShift_ = shift;
        ComputePixelTicks();
        return;
    }

    const double step = tickStep_ > 0 ? tickStep_ : 1;
    const double low = min_ * scaleFactor_;
    const double high = max_ * scaleFactor_;
    // The offset is at most one tick interval, so these loops run a step or two; the guard only
    // protects against values that no longer resolve a step.
    for (int guard = 0; guard < 1000 && firstScaled_ < low; ++guard) {
        firstScaled_ += step;
    }
    for (int guard = 0; guard < 1000 && firstScaled_ > low + step; ++guard) {
        firstScaled_ -= step;
    }
    for (int guard = 0; guard < 1000 && lastScaled_ > high; ++guard) {
        lastScaled_ -= step;
    }
    for (int guard = 0; guard < 1000 && lastScaled_ < high - step; ++guard) {
        lastScaled_ += step;
    }
    tickStep_ = static_cast<int>(step);
    const int scaledSpan =
        static_cast<int>(std::clamp(RoundEven(high - firstScaled_), -1.0, 1.0e6));
    ticksCount_ = scaledSpan < 0 ? 0 : std::min(scaledSpan / tickStep_ + 1, kMaxTicks);
    FillTicksFromBase();
}

void Tsp_Scale::Rescale() {
    ComputeFactor();
    ComputeMapping();
    ComputeTicks();
}

std::string FormatNumericPicture(double value, const std::string& picture) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-INF" : "INF";
    }
    // Digits beyond 18 integer places carry no information a label could show; such values are
    // written as mantissa and exponent ("1.5E20") so that the label stays short.
    if (std::fabs(value) >= 1e18) {
        char buffer[64];
        const auto written =
            std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
        std::string text(buffer, written.ptr);
        const std::size_t e = text.find('e');
        std::string mantissa = text.substr(0, e);
        while (!mantissa.empty() && mantissa.back() == '0') {
            mantissa.pop_back();
        }
        if (!mantissa.empty() && mantissa.back() == '.') {
            mantissa.pop_back();
        }
        const int exponent = std::stoi(text.substr(e + 1));
        return mantissa + "E" + std::to_string(exponent);
    }
    // Only the first section of a picture matters here; sections for negative values and zero are
    // not used by any axis.
    const std::string section = picture.substr(0, picture.find(';'));
    const std::size_t point = section.find('.');
    const std::string integerPart = section.substr(0, point);
    const std::string fractionPart = point == std::string::npos ? "" : section.substr(point + 1);
    const int requiredInteger = int(std::count(integerPart.begin(), integerPart.end(), '0'));
    const int requiredDecimals = int(std::count(fractionPart.begin(), fractionPart.end(), '0'));
    const int maximumDecimals =
        requiredDecimals + int(std::count(fractionPart.begin(), fractionPart.end(), '#'));

    // Fixed notation of the largest double needs 309 digits; the precision is capped so the buffer
    // always suffices.
    char buffer[400];
    const auto written = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                       std::chars_format::fixed, std::min(maximumDecimals, 30));
    const std::string digits(buffer, written.ec == std::errc() ? written.ptr : buffer);
    const std::size_t dot = digits.find('.');
    std::string whole = digits.substr(0, dot);
    std::string decimals = dot == std::string::npos ? "" : digits.substr(dot + 1);
    while (int(decimals.size()) > requiredDecimals && decimals.back() == '0') {
        decimals.pop_back();
    }
    std::size_t leading = 0;
    while (leading < whole.size() && whole[leading] == '0' &&
           int(whole.size() - leading) > requiredInteger) {
        ++leading;
    }
    whole.erase(0, leading);
    if (int(whole.size()) < requiredInteger) {
        whole.insert(0, std::size_t(requiredInteger) - whole.size(), '0');
    }
    const bool nonZero = whole.find_first_not_of('0') != std::string::npos ||
                         decimals.find_first_not_of('0') != std::string::npos;
    if (whole.empty() && decimals.empty()) {
        return std::string(1, '0');
    }
    std::string text;
    if (value < 0 && nonZero) {
        text.push_back('-');
    }
    text.append(whole);
    if (!decimals.empty()) {
        text.push_back('.');
        text.append(decimals);
    }
    return text;
}

}  // namespace kalvora
