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

// " d.ddd" or "-d.ddd", then "E", the exponent's sign and at least four digits: the scientific
// fields shared by the data and orbit formats.
char* WriteScientific(Extended value, int decimals, char* out) {
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
        return WriteScientific(value, 1, out);
    }
    if (value == 0) {
        value = 0;  // no "-0.0000000000"
    }
    return std::to_chars(out, out + kDataValueMaxWidth, value, std::chars_format::fixed, 10).ptr;
}

std::string FormatDataValue(double value) {
    char buffer[kDataValueMaxWidth];
    return std::string(buffer, WriteDataValue(value, buffer));
}

char* WriteOrbitValue(Extended value, char* out) {
    if (std::isnan(value)) {
        return RightAligned("Nan", kOrbitValueWidth, out);
    }
    if (std::isinf(value)) {
        return RightAligned(value > 0 ? "+Inf" : "-Inf", kOrbitValueWidth, out);
    }
    return WriteScientific(value, 14, out);
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
