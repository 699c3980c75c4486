#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "core/numbers.h"

namespace kalvora {
namespace {

// The formats as they were first written, straight through the long double conversion and
// std::string, kept as the reference every faster version must match byte for byte.
namespace reference {

std::string PadExponent(int exponent, int minimumDigits) {
    std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    if (static_cast<int>(digits.size()) < minimumDigits) {
        digits.insert(0, static_cast<std::size_t>(minimumDigits) - digits.size(), '0');
    }
    return digits;
}

std::string FixedWidthScientific(Extended value, int decimals) {
    char buffer[128];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::scientific, decimals);
    const std::string text(buffer, result.ptr);
    const std::size_t e = text.find('e');
    const int exponent = std::atoi(text.c_str() + e + 1);
    std::string out = (std::signbit(value) && value != 0) ? "-" : " ";
    out += text.substr(0, e);
    out += 'E';
    out += exponent < 0 ? '-' : '+';
    out += PadExponent(exponent, 4);
    return out;
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
    if (value == 0) {
        value = 0;
    }
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 10);
    return std::string(buffer, result.ptr);
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

// Millions of doubles with random bits (every exponent, subnormals, NaNs with payloads) and
// Extended values that are no double (random low mantissa bits), against the reference.
TEST(NumberFormats, RandomValuesAsTheReference) {
    std::mt19937_64 random(20261208);
    int orbitMismatches = 0;
    int dataMismatches = 0;
    for (int i = 0; i < 2'000'000; ++i) {
        const std::uint64_t bits = random();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        // Half of them near the magnitudes models produce, where the fixed format prints digits.
        if (i % 2 == 0) {
            value = std::ldexp(static_cast<double>(bits >> 11), -53 + static_cast<int>(bits % 40)) *
                    ((bits & 1) ? -1 : 1);
        }
        orbitMismatches += reference::FormatOrbitValue(value) != FormatOrbitValue(value);
        dataMismatches += reference::FormatDataValue(value) != FormatDataValue(value);
        if (i % 8 == 0) {
            Extended extended = value;
            std::uint64_t mantissa = 0;
            std::memcpy(&mantissa, &extended, sizeof mantissa);
            mantissa ^= random() & 0x7FF;  // the bits a double does not have
            std::memcpy(&extended, &mantissa, sizeof mantissa);
            orbitMismatches += reference::FormatOrbitValue(extended) != FormatOrbitValue(extended);
        }
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
