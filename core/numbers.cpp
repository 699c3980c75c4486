#include "core/numbers.h"

#include <locale.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

namespace kalvora {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// strtold follows LC_NUMERIC, which the desktop toolkit sets from the user's regional settings;
// a private "C" locale keeps "." the decimal point everywhere.
locale_t CLocale() {
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

// Checks the whole text against the number grammar so that strtold never stops early on junk.
bool IsDecimalNumber(const std::string& text, std::size_t& begin, std::size_t& end) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && IsBlank(text[i])) {
        ++i;
    }
    std::size_t last = n;
    while (last > i && IsBlank(text[last - 1])) {
        --last;
    }
    begin = i;
    end = last;
    if (i < last && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < last && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < last && text[i] == '.') {
        ++i;
        while (i < last && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < last && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < last && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        std::size_t exponentDigits = 0;
        while (i < last && IsDigit(text[i])) {
            ++i;
            ++exponentDigits;
        }
        if (exponentDigits == 0) {
            return false;
        }
    }
    return i == last;
}

// The decimal digits (without trailing zeros) and the exponent of value = d.ddd x 10^exponent,
// rounded to the given number of significant digits.
struct DecimalDigits {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

DecimalDigits Decompose(Extended value, int significantDigits) {
    char buffer[128];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific, significantDigits - 1);
    const std::string text(buffer, result.ptr);
    DecimalDigits decimal;
    std::size_t i = 0;
    if (text[i] == '-') {
        decimal.negative = true;
        ++i;
    }
    const std::size_t e = text.find('e', i);
    for (std::size_t k = i; k < e; ++k) {
        if (text[k] != '.') {
            decimal.digits.push_back(text[k]);
        }
    }
    while (decimal.digits.size() > 1 && decimal.digits.back() == '0') {
        decimal.digits.pop_back();
    }
    decimal.exponent = std::atoi(text.c_str() + e + 1);
    return decimal;
}

std::string PadExponent(int exponent, int minimumDigits) {
    std::string digits = std::to_string(exponent < 0 ? -exponent : exponent);
    if (static_cast<int>(digits.size()) < minimumDigits) {
        digits.insert(0, static_cast<std::size_t>(minimumDigits) - digits.size(), '0');
    }
    return digits;
}

// The decimal texts of a value that is exactly a double are the same whichever type carries it;
// the double's conversion is several times faster than the long double's, which goes through the
// printf machinery.
bool HoldsDouble(Extended value, double& exact) {
    if (!(std::fabs(value) <= std::numeric_limits<double>::max())) {
        return false;
    }
    exact = static_cast<double>(value);
    return static_cast<Extended>(exact) == value;
}

// Copies text (no longer than 4 characters) right-aligned into a field of width characters.
char* RightAligned(const char* text, int width, char* out) {
    const auto length = static_cast<int>(std::strlen(text));
    std::memset(out, ' ', static_cast<std::size_t>(width - length));
    std::memcpy(out + width - length, text, static_cast<std::size_t>(length));
    return out + width;
}

// " d.ddd" or "-d.ddd", then "E", the exponent's sign and at least four digits, through the C++
// library's conversion: exact for every value, but for a long double that is not a double it goes
// through the printf machinery. The fast paths below fall back to it where they cannot decide.
char* WriteScientificByLibrary(Extended value, int decimals, char* out) {
    char buffer[128];
    double exact = 0;
    const auto result = HoldsDouble(value, exact)
                            ? std::to_chars(buffer, buffer + sizeof buffer, std::fabs(exact),
                                            std::chars_format::scientific, decimals)
                            : std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                            std::chars_format::scientific, decimals);
    const char* e = std::find(buffer, result.ptr, 'e');
    *out++ = (std::signbit(value) && value != 0) ? '-' : ' ';
    const auto mantissa = static_cast<std::size_t>(e - buffer);
    std::memcpy(out, buffer, mantissa);
    out += mantissa;
    *out++ = 'E';
    const char* digits = e + 1;
    *out++ = *digits == '-' ? '-' : '+';
    if (*digits == '-' || *digits == '+') {
        ++digits;
    }
    const auto count = static_cast<int>(result.ptr - digits);
    for (int pad = count; pad < 4; ++pad) {
        *out++ = '0';
    }
    std::memcpy(out, digits, static_cast<std::size_t>(count));
    return out + count;
}

using Uint128 = unsigned __int128;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes value (below 100^pairs) as exactly 2 * pairs digits, leading zeros included.
inline char* WriteDigitPairs(std::uint64_t value, int pairs, char* out) {
    for (int i = pairs - 1; i >= 0; --i) {
        std::memcpy(out + 2 * i, kDigitPairs + 2 * (value % 100), 2);
        value /= 100;
    }
    return out + 2 * pairs;
}

// Writes value (below 10^4, 10^8) as exactly 4 or 8 digits, in independent halves.
inline char* WriteFourDigits(std::uint32_t value, char* out) {
    std::memcpy(out, kDigitPairs + 2 * (value / 100), 2);
    std::memcpy(out + 2, kDigitPairs + 2 * (value % 100), 2);
    return out + 4;
}

inline char* WriteEightDigits(std::uint32_t value, char* out) {
    WriteFourDigits(value / 10000, out);
    return WriteFourDigits(value % 10000, out + 4);
}

// Writes value without leading zeros ("0" for zero).
inline char* WriteUnsigned(std::uint64_t value, char* out) {
    char digits[20];
    char* first = digits + sizeof digits;
    do {
        *--first = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    const auto count = static_cast<std::size_t>(digits + sizeof digits - first);
    std::memcpy(out, first, count);
    return out + count;
}

constexpr std::uint64_t kTenTo10 = 10'000'000'000ULL;
constexpr std::uint64_t kTenTo18 = 1'000'000'000'000'000'000ULL;
constexpr std::uint64_t kTenTo19 = 10'000'000'000'000'000'000ULL;

// The fixed notation with ten decimals of a finite double below 1e36 in magnitude, or nullptr
// where it cannot be written this way (from 2^93 on).
//
// No rounding error to bound: a double is m * 2^e with m < 2^53, so value * 10^10 is
// m * 5^10 * 2^(e + 10) with m * 5^10 < 2^77. Shifted left (at most 50 places, so below 2^128) or
// right inside a 128-bit integer, the bits shifted out are kept as a remainder, and the rounding
// at the tenth decimal is decided exactly. An exact half rounds to even, as the C++ library's
// conversion (and printf's "%.10f") does.
char* WriteFixedTenDecimals(double value, char* out) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    std::uint64_t mantissa = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (biased != 0) {
        mantissa |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    const Uint128 scaled = static_cast<Uint128>(mantissa) * 9'765'625;  // 5^10
    const int shift = exponent + 10;
    Uint128 units = 0;  // value * 10^10, rounded
    if (shift >= 0) {
        if (shift > 50) {
            return nullptr;
        }
        units = scaled << shift;
    } else if (-shift < 128) {
        const int right = -shift;
        units = scaled >> right;
        const Uint128 remainder = scaled & ((Uint128{1} << right) - 1);
        const Uint128 half = Uint128{1} << (right - 1);
        if (remainder > half || (remainder == half && (units & 1) != 0)) {
            ++units;
        }
    }  // else below 2^77 / 2^128 of a unit: rounds to zero
    if (std::signbit(value) && value != 0) {
        *out++ = '-';
    }
    std::uint64_t fraction = 0;
    if (units >> 64 == 0) {
        const auto small = static_cast<std::uint64_t>(units);
        fraction = small % kTenTo10;
        out = WriteUnsigned(small / kTenTo10, out);
    } else {
        fraction = static_cast<std::uint64_t>(units % kTenTo10);
        const Uint128 whole = units / kTenTo10;  // below 2^128 / 10^10 < 10^29
        const auto high = static_cast<std::uint64_t>(whole / kTenTo19);
        const auto low = static_cast<std::uint64_t>(whole % kTenTo19);
        if (high != 0) {
            out = WriteUnsigned(high, out);
            *out++ = static_cast<char>('0' + low / kTenTo18);
            out = WriteDigitPairs(low % kTenTo18, 9, out);
        } else {
            out = WriteUnsigned(low, out);
        }
    }
    *out++ = '.';
    // Ten digits: 2 and 8.
    std::memcpy(out, kDigitPairs + 2 * (fraction / 100'000'000), 2);
    return WriteEightDigits(static_cast<std::uint32_t>(fraction % 100'000'000), out + 2);
}

// 10^k for every k the scientific formats need, as mantissa * 2^exponent with a 128-bit mantissa
// in [2^127, 2^128), never above the true value.
//
// Built upwards from 10^0 = 2^127 * 2^-127 by multiplying by ten and downwards by dividing by ten,
// each step truncating once to 128 bits: a relative error below 2^-127 per step, all of the same
// sign. So the mantissa of 10^k is below the true one by a relative error under
// |k| * 2^-127 < 2^-114.7 (|k| < 5000 < 2^12.3).
struct PowerOfTen {
    std::uint64_t high;
    std::uint64_t low;
    int exponent;
};

// Extended's decimal exponents run from -4951 (the smallest subnormal) to 4932; the formats ask for
// 10^(digits - 1 - exponent) and one power either side while the exponent is settled.
constexpr int kLowestPower = -4935;
constexpr int kHighestPower = 4970;

const std::vector<PowerOfTen>& PowersOfTen() {
    static const std::vector<PowerOfTen> table = [] {
        std::vector<PowerOfTen> powers(kHighestPower - kLowestPower + 1);
        const auto store = [&](int k, Uint128 mantissa, int exponent) {
            powers[static_cast<std::size_t>(k - kLowestPower)] = {
                static_cast<std::uint64_t>(mantissa >> 64), static_cast<std::uint64_t>(mantissa),
                exponent};
        };
        const Uint128 one = Uint128{1} << 127;
        Uint128 mantissa = one;
        int exponent = -127;
        store(0, mantissa, exponent);
        for (int k = 1; k <= kHighestPower; ++k) {
            // mantissa * 10 has 131 or 132 bits: keep the top 128.
            const Uint128 high =
                static_cast<Uint128>(static_cast<std::uint64_t>(mantissa >> 64)) * 10;
            const Uint128 low = static_cast<Uint128>(static_cast<std::uint64_t>(mantissa)) * 10;
            const Uint128 top = high + (low >> 64);  // the product above its low 64 bits
            const int drop = top >> 67 != 0 ? 4 : 3;
            mantissa = (top << (64 - drop)) | (static_cast<std::uint64_t>(low) >> drop);
            exponent += drop;
            store(k, mantissa, exponent);
        }
        mantissa = one;
        exponent = -127;
        for (int k = -1; k >= kLowestPower; --k) {
            // floor(mantissa * 2^shift / 10), with shift putting it back in [2^127, 2^128).
            const Uint128 quotient = mantissa / 10;
            const auto remainder = static_cast<unsigned>(mantissa % 10);
            const int shift = quotient >> 124 != 0 ? 3 : 4;
            mantissa = (quotient << shift) + ((remainder << shift) / 10);
            exponent -= shift;
            store(k, mantissa, exponent);
        }
        return powers;
    }();
    return table;
}

// A positive finite Extended rounded to `Digits` significant digits: digits * 10^(exponent -
// Digits + 1) with 10^(Digits - 1) <= digits < 10^Digits. False where the product by the power of
// ten cannot decide the rounding (within 2^-58 of a half) or the result is not as expected; the
// caller then takes the library's conversion.
//
// The value is M * 2^E with M in [2^63, 2^64). y = value * 10^k, k = Digits - 1 - exponent, comes
// from the exact 192-bit product of M with the mantissa of 10^k. With the table's error under
// 2^-114.7 and y below 10^(Digits + 1) <= 10^16 < 2^53.2 before the exponent is settled, the
// product is below y by less than 2^-61.5; cutting its fraction to 64 bits takes off less than
// 2^-64 more. So y lies in [computed, computed + 2^-61.2), and a fraction more than 2^-58 from a
// half rounds as y does. Exact halves (ties) fall inside that band and are left to the library.
template <int Digits>
bool RoundedDigits(std::uint64_t mantissa, int biased, std::uint64_t& digits,
                   int& decimalExponent) {
    static_assert(Digits >= 2 && Digits <= 15);
    constexpr std::uint64_t kLowest = [] {
        std::uint64_t power = 1;
        for (int i = 1; i < Digits; ++i) {
            power *= 10;
        }
        return power;
    }();
    constexpr std::uint64_t kAbove = kLowest * 10;
    // Zero, and the encodings no arithmetic makes (unnormals: an exponent without the integer bit).
    if (mantissa == 0 || (biased != 0 && mantissa >> 63 == 0)) {
        return false;
    }
    // Subnormals (and pseudo-denormals) have the biased exponent of 1 and no integer bit.
    const int leading = __builtin_clzll(mantissa);
    mantissa <<= leading;
    const int binaryExponent = (biased == 0 ? 1 : biased) - 16383 - 63 - leading;
    // floor(log10(M * 2^E)) or one less: (E + 63) * log10(2), with log10(2) just below its value.
    int exponent =
        static_cast<int>((static_cast<std::int64_t>(binaryExponent + 63) * 1292913986) >> 32);
    const std::vector<PowerOfTen>& powers = PowersOfTen();
    std::uint64_t whole = 0;
    std::uint64_t fraction = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const int k = Digits - 1 - exponent;
        if (k < kLowestPower || k > kHighestPower) {
            return false;
        }
        const PowerOfTen& power = powers[static_cast<std::size_t>(k - kLowestPower)];
        const Uint128 low = static_cast<Uint128>(mantissa) * power.low;
        const Uint128 high = static_cast<Uint128>(mantissa) * power.high;
        const Uint128 middle = (low >> 64) + static_cast<std::uint64_t>(high);
        const auto word1 = static_cast<std::uint64_t>(middle);
        const auto word2 = static_cast<std::uint64_t>((high >> 64) + (middle >> 64));
        // The product is in [2^190, 2^192) and y at least 1, so 128 < shift < 192.
        const int shift = -(binaryExponent + power.exponent);
        if (shift <= 128 || shift >= 192) {
            return false;
        }
        whole = word2 >> (shift - 128);
        fraction = (word2 << (192 - shift)) | (word1 >> (shift - 128));
        if (attempt == 0 && whole >= kAbove) {
            ++exponent;
        } else if (attempt == 0 && whole < kLowest) {
            --exponent;
        } else {
            break;
        }
    }
    constexpr std::uint64_t kHalf = std::uint64_t{1} << 63;
    constexpr std::uint64_t kBand = std::uint64_t{1} << 6;
    if (fraction > kHalf - kBand && fraction < kHalf + kBand) {
        return false;
    }
    digits = whole + (fraction > kHalf ? 1 : 0);
    if (digits == kAbove) {
        digits = kLowest;
        ++exponent;
    }
    if (digits < kLowest || digits >= kAbove) {
        return false;
    }
    decimalExponent = exponent;
    return true;
}

// "E", the exponent's sign and four digits (every exponent of Extended has at most four).
inline char* WriteExponent(int exponent, char* out) {
    *out++ = 'E';
    *out++ = exponent < 0 ? '-' : '+';
    const auto magnitude = static_cast<unsigned>(exponent < 0 ? -exponent : exponent);
    std::memcpy(out, kDigitPairs + 2 * (magnitude / 100), 2);
    std::memcpy(out + 2, kDigitPairs + 2 * (magnitude % 100), 2);
    return out + 4;
}

// The bits of an Extended, read once from memory: testing the value on the x87 for zero, sign, NaN
// and infinity costs more than the formatting's integer work. Taken by reference so that the bits
// come from where the value is kept: a copy stored by the x87 just before cannot be forwarded to
// the integer loads, which then wait for it (a quarter of the time of a field).
struct ExtendedBits {
    std::uint64_t mantissa;
    int biased;  // the biased exponent, 0x7FFF for infinities and NaNs
    bool negative;
};

inline ExtendedBits BitsOf(const Extended& value) {
    static_assert(std::numeric_limits<Extended>::digits == 64, "x87 extended precision expected");
    ExtendedBits bits{};
    std::uint16_t signAndExponent = 0;
    std::memcpy(&bits.mantissa, &value, sizeof bits.mantissa);
    std::memcpy(&signAndExponent, reinterpret_cast<const char*>(&value) + 8,
                sizeof signAndExponent);
    bits.biased = signAndExponent & 0x7FFF;
    bits.negative = (signAndExponent >> 15) != 0;
    return bits;
}

// The scientific fields of the orbit format (15 significant digits) and of the data format's
// large values (2), as WriteScientificByLibrary writes them, for a finite value.
template <int Digits>
char* WriteScientific(const Extended& value, char* out) {
    const ExtendedBits bits = BitsOf(value);
    if (bits.mantissa == 0 && bits.biased == 0) {  // either zero, written without a sign
        *out++ = ' ';
        *out++ = '0';
        *out++ = '.';
        std::memset(out, '0', Digits - 1);
        return WriteExponent(0, out + Digits - 1);
    }
    std::uint64_t digits = 0;
    int exponent = 0;
    if (!RoundedDigits<Digits>(bits.mantissa, bits.biased, digits, exponent)) {
        return WriteScientificByLibrary(value, Digits - 1, out);
    }
    *out++ = bits.negative ? '-' : ' ';
    constexpr std::uint64_t kLowest = Digits == 15 ? 100'000'000'000'000ULL : 10;
    *out++ = static_cast<char>('0' + digits / kLowest);
    *out++ = '.';
    digits %= kLowest;
    if constexpr (Digits == 15) {
        // 14 digits: 6 and 8.
        const auto high = static_cast<std::uint32_t>(digits / 100'000'000);
        std::memcpy(out, kDigitPairs + 2 * (high / 10000), 2);
        out = WriteFourDigits(high % 10000, out + 2);
        out = WriteEightDigits(static_cast<std::uint32_t>(digits % 100'000'000), out);
    } else {
        static_assert(Digits == 2);
        *out++ = static_cast<char>('0' + digits);
    }
    return WriteExponent(exponent, out);
}

}  // namespace

Extended ParseFloat(const std::string& text) {
    std::size_t begin = 0;
    std::size_t end = 0;
    if (IsDecimalNumber(text, begin, end)) {
        const std::string number = text.substr(begin, end - begin);
        errno = 0;
        char* stop = nullptr;
        const Extended value = strtold_l(number.c_str(), &stop, CLocale());
        const bool overflow = errno == ERANGE && std::isinf(value);
        if (!overflow && stop == number.c_str() + number.size()) {
            return value;
        }
    }
    throw ConversionError("'" + EscapedForMessage(text) + "' is not a valid floating point value");
}

std::string EscapedForMessage(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", byte);
            escaped += code;
        } else {
            escaped += c;
        }
    }
    return escaped;
}

namespace {

// A whole number of the given type, as a text typed into a field: blanks before it, an optional
// sign, digits and nothing after them.
template <typename Integer>
Integer ParseWhole(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) {
        ++i;
    }
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    if (last - first >= 2 && *first == '+' && IsDigit(first[1])) {
        ++first;
    }
    Integer value = 0;
    const auto result = std::from_chars(first, last, value);
    if (first == last || result.ec != std::errc() || result.ptr != last) {
        throw ConversionError("'" + EscapedForMessage(text) + "' is not a valid integer value");
    }
    return value;
}

}  // namespace

std::int32_t ParseInteger(const std::string& text) {
    return ParseWhole<std::int32_t>(text);
}

std::int64_t ParseCount(const std::string& text) {
    return ParseWhole<std::int64_t>(text);
}

std::string FormatGeneral(Extended value, int significantDigits, int minimumExponentDigits) {
    if (std::isnan(value)) {
        return "NAN";
    }
    if (std::isinf(value)) {
        return value > 0 ? "INF" : "-INF";
    }
    if (value == 0) {
        return "0";
    }
    const int precision = std::clamp(significantDigits, 1, 18);
    const DecimalDigits decimal = Decompose(value, precision);
    const std::string& digits = decimal.digits;
    const int integerDigits = decimal.exponent + 1;  // value = 0.ddd x 10^integerDigits
    std::string out = decimal.negative ? "-" : "";
    if (integerDigits > precision || integerDigits < -3) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1, std::string::npos);
        }
        out += 'E';
        if (decimal.exponent < 0) {
            out += '-';
        }
        out += PadExponent(decimal.exponent, minimumExponentDigits);
    } else if (integerDigits <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-integerDigits), '0');
        out += digits;
    } else if (static_cast<int>(digits.size()) <= integerDigits) {
        out += digits;
        out.append(static_cast<std::size_t>(integerDigits) - digits.size(), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(integerDigits));
        out += '.';
        out.append(digits, static_cast<std::size_t>(integerDigits), std::string::npos);
    }
    return out;
}

std::string FormatFixed(Extended value, int significantDigits, int decimals) {
    const int precision = std::clamp(significantDigits, 1, 18);
    if (!std::isfinite(value)) {
        return FormatGeneral(value, precision);
    }
    decimals = std::clamp(decimals, 0, 30);
    // The exponent after rounding to the significant digits decides the form, so 9999999.6 with 7
    // digits, which rounds to 1E7, takes the exponent form as 10000000 does.
    const int integerDigits = value == 0 ? 1 : Decompose(value, precision).exponent + 1;
    if (integerDigits > precision) {
        return FormatGeneral(value, precision);
    }
    // Rounding once at the last kept digit; rounding to the significant digits first and to the
    // decimals afterwards would round some halves twice.
    const int kept = std::min(decimals, precision - integerDigits);
    char buffer[96];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, kept);
    std::string out(buffer, result.ptr);
    if (kept < decimals) {
        if (kept == 0) {
            out += '.';
        }
        out.append(static_cast<std::size_t>(decimals - kept), '0');
    }
    // A value that rounds to zero is written without a sign.
    if (out[0] == '-' && out.find_first_not_of("-0.") == std::string::npos) {
        out.erase(0, 1);
    }
    return out;
}

char* WriteDataValue(double value, char* out) {
    if (std::isnan(value)) {
        return RightAligned("Nan", 3, out);
    }
    if (std::isinf(value)) {
        return RightAligned(value > 0 ? "+Inf" : "-Inf", 4, out);
    }
    if (std::fabs(value) >= 1e36) {
        return WriteScientific<2>(value, out);
    }
    if (value == 0) {
        value = 0;  // no "-0.0000000000"
    }
    if (char* end = WriteFixedTenDecimals(value, out)) {
        return end;
    }
    return std::to_chars(out, out + kDataValueMaxWidth, value, std::chars_format::fixed, 10).ptr;
}

std::string FormatDataValue(double value) {
    char buffer[kDataValueMaxWidth];
    return std::string(buffer, WriteDataValue(value, buffer));
}

char* WriteOrbitValue(const Extended& value, char* out) {
    if (BitsOf(value).biased != 0x7FFF) {
        return WriteScientific<15>(value, out);
    }
    if (std::isnan(value)) {
        return RightAligned("Nan", kOrbitValueWidth, out);
    }
    if (std::isinf(value)) {
        return RightAligned(value > 0 ? "+Inf" : "-Inf", kOrbitValueWidth, out);
    }
    return WriteScientific<15>(value, out);
}

std::string FormatEigenvalue(const std::complex<double>& value) {
    const std::string real = FormatGeneral(value.real(), 10);
    if (value.imag() == 0) {
        return real;
    }
    return real + (value.imag() < 0 ? " - " : " + ") + FormatGeneral(std::fabs(value.imag()), 10) +
           "i";
}

std::string FormatOrbitValue(Extended value) {
    char buffer[kOrbitValueWidth];
    return std::string(buffer, WriteOrbitValue(value, buffer));
}

std::string FormatTickValue(Extended value) {
    if (!std::isfinite(value)) {
        return std::isnan(value) ? "Nan" : (value > 0 ? "+Inf" : "-Inf");
    }
    char buffer[128];
    // Rounding to 3 significant digits first, then to 3 decimals, is what the labels show: 0.08755
    // becomes 0.0876 and then "0.088".
    auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                std::chars_format::scientific, 2);
    const std::string rounded(buffer, result.ptr);
    const double significant = std::strtod(rounded.c_str(), nullptr);
    if (std::fabs(significant) >= 1000) {
        const std::size_t e = rounded.find('e');
        const int exponent = std::atoi(rounded.c_str() + e + 1);
        return rounded.substr(0, e) + "E" + (exponent < 0 ? "-" : "+") + PadExponent(exponent, 3);
    }
    result = std::to_chars(buffer, buffer + sizeof buffer, significant == 0 ? 0.0 : significant,
                           std::chars_format::fixed, 3);
    std::string text(buffer, result.ptr);
    if (text == "-0.000") {
        text = "0.000";
    }
    return text;
}

}  // namespace kalvora
