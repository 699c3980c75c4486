#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/numbers.h"

namespace kalvora {
namespace {

// The formats written by the C library's printf, reshaped to the fields (a blank for the plus
// sign, four exponent digits, no sign on zero): an implementation independent of the one in the
// code, which every faster version must match byte for byte.
namespace reference {

std::string FixedWidthScientific(Extended value, int decimals) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "%.*LE", decimals, std::fabs(value));
    std::string text(buffer);
    const std::size_t e = text.find('E');
    std::string digits = text.substr(e + 2);
    digits.insert(0, digits.size() < 4 ? 4 - digits.size() : 0, '0');
    return ((std::signbit(value) && value != 0) ? "-" : " ") + text.substr(0, e + 2) + digits;
}

std::string FormatDataValue(double value) {
    if (std::isnan(value)) {
        return "Nan";
    }
    if (std::isinf(value)) {
        return value > 0 ? "+Inf" : "-Inf";
    }
    if (std::fabs(value) >= 1e36) {
        return FixedWidthScientific(value, 1);
    }
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.10f", value == 0 ? 0.0 : value);
    return buffer;
}

std::string FormatOrbitValue(Extended value) {
    constexpr std::size_t kWidth = 23;
    std::string special;
    if (std::isnan(value)) {
        special = "Nan";
    } else if (std::isinf(value)) {
        special = value > 0 ? "+Inf" : "-Inf";
    }
    if (!special.empty()) {
        return std::string(kWidth - special.size(), ' ') + special;
    }
    return FixedWidthScientific(value, 14);
}

}  // namespace reference

// Values where formatting goes wrong if anything does: zeros, the extremes of double and of
// Extended, subnormals, 1e36 and its neighbours, non-finite values, exact ties at the last printed
// digit of either format, and decimal carries (9.99...95).
std::vector<Extended> EdgeValues() {
    using D = std::numeric_limits<double>;
    using E = std::numeric_limits<Extended>;
    std::vector<Extended> values = {0.0L,
                                    -0.0L,
                                    1,
                                    -1,
                                    0.25L,
                                    D::min(),
                                    D::denorm_min(),
                                    -D::denorm_min(),
                                    D::denorm_min() * 12345,
                                    D::max(),
                                    -D::max(),
                                    E::min(),
                                    E::denorm_min(),
                                    E::max(),
                                    -E::max(),
                                    1e36L,
                                    std::nextafter(1e36, 0.0),
                                    std::nextafter(1e36, 2e36),
                                    -1e36L,
                                    1e36L - 1e20L,
                                    D::infinity(),
                                    -D::infinity(),
                                    D::quiet_NaN(),
                                    -D::quiet_NaN(),
                                    E::quiet_NaN(),
                                    9.999999999999995,
                                    9.9999999999999950L,
                                    0.99999999995,
                                    9.99999999995e35,
                                    1e-5L,
                                    1e4932L,
                                    1e-4940L};
    // Exact ties at the 15th significant digit: 16-digit integers ending in 5, times 10, are even
    // and below 2^54, so doubles.
    for (long long n = 1000000000000005; n < 1000000000000500; n += 10) {
        values.push_back(static_cast<Extended>(n * 10));
        values.push_back(static_cast<Extended>(n) / 1024);
    }
    // Exact ties at the 15th significant digit that only Extended holds (more than 53 bits).
    for (long long n = 123456789012345500; n < 123456789012445500; n += 1000) {
        values.push_back(static_cast<Extended>(n));
        values.push_back(-std::ldexp(static_cast<Extended>(n), -70));
    }
    // Extended subnormals with every mantissa bit set, and the data format's ties above 2^53.
    values.push_back(E::denorm_min() * 0xFFFFFFFFFFFFFFFULL);
    values.push_back(std::ldexp(0.999999999999999999L, -16400));
    values.push_back(std::ldexp(1.0L, 94));
    values.push_back(std::ldexp(1.0L, 94) - std::ldexp(1.0L, 42));
    values.push_back(1e28L);
    values.push_back(9.99999999999999e35L);
    // Exact ties at the 11th decimal: multiples of 2^-11 have eleven decimals ending in 5.
    for (int k = 1; k < 4096; k += 2) {
        values.push_back(std::ldexp(static_cast<Extended>(k), -11));
        values.push_back(-std::ldexp(static_cast<Extended>(k), -11) - 3);
    }
    return values;
}

TEST(NumberFormats, EdgeValuesAsTheReference) {
    for (const Extended value : EdgeValues()) {
        EXPECT_EQ(reference::FormatOrbitValue(value), FormatOrbitValue(value))
            << static_cast<double>(value);
        const auto asDouble = static_cast<double>(value);
        EXPECT_EQ(reference::FormatDataValue(asDouble), FormatDataValue(asDouble)) << asDouble;
    }
}

// A million doubles with random bits (every exponent, subnormals, NaNs with payloads; half of
// them near the magnitudes models produce, where the fixed format prints digits), and a million
// Extended values with all 64 mantissa bits random over the whole exponent range.
TEST(NumberFormats, RandomValuesAsTheReference) {
    std::mt19937_64 random(20261208);
    int orbitMismatches = 0;
    int dataMismatches = 0;
    for (int i = 0; i < 1'000'000; ++i) {
        const std::uint64_t bits = random();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        if (i % 2 == 0) {
            value = std::ldexp(static_cast<double>(bits >> 11),
                               -53 + static_cast<int>(bits % 80) - 30) *
                    ((bits & 1) ? -1 : 1);
        }
        orbitMismatches += reference::FormatOrbitValue(value) != FormatOrbitValue(value);
        dataMismatches += reference::FormatDataValue(value) != FormatDataValue(value);
    }
    for (int i = 0; i < 1'000'000; ++i) {
        const std::uint64_t mantissa = random() | (std::uint64_t{1} << 63);
        const std::uint64_t draw = random();
        // Exponents within +-64 of 1 for half of them, the whole range (subnormals too) for the
        // rest.
        const int exponent =
            i % 2 == 0 ? static_cast<int>(draw % 129) - 64 : static_cast<int>(draw % 32830) - 16445;
        Extended value = std::ldexp(static_cast<Extended>(mantissa), exponent - 63);
        if (draw >> 63) {
            value = -value;
        }
        orbitMismatches += reference::FormatOrbitValue(value) != FormatOrbitValue(value);
    }
    EXPECT_EQ(0, orbitMismatches);
    EXPECT_EQ(0, dataMismatches);
}

TEST(NumberFormats, BufferWritersGiveTheSameTexts) {
    for (const Extended value : EdgeValues()) {
        char buffer[kDataValueMaxWidth];
        EXPECT_EQ(FormatOrbitValue(value), std::string(buffer, WriteOrbitValue(value, buffer)));
        EXPECT_EQ(static_cast<std::size_t>(kOrbitValueWidth), FormatOrbitValue(value).size());
        const auto asDouble = static_cast<double>(value);
        EXPECT_EQ(FormatDataValue(asDouble), std::string(buffer, WriteDataValue(asDouble, buffer)));
    }
}

}  // namespace
}  // namespace kalvora
