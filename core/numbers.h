#pragma once

#include <complex>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "core/model_types.h"

namespace kalvora {

// A text that should have held a number. The message is the one the user sees.
class ConversionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Runs read() and returns what it returns; a ConversionError it raises comes out with `place`
// before its message ("Parameters, row 2 (b): 'x' is not a valid floating point value"): the bare
// message quotes the text but not where it was typed, and an empty text says nothing at all.
template <typename Read>
auto ReadAt(const std::string& place, Read read) -> decltype(read()) {
    try {
        return read();
    } catch (const ConversionError& error) {
        throw ConversionError(place + ": " + error.what());
    }
}

// The text with control bytes written as \xNN: a file's bytes quoted in a message must not move
// the cursor, end the line or ring the terminal.
std::string EscapedForMessage(const std::string& text);

// Reads a decimal number with "." as the decimal point whatever the locale: optional blanks, an
// optional sign, digits with an optional point, an optional exponent. Throws ConversionError with
// "'<text>' is not a valid floating point value".
Extended ParseFloat(const std::string& text);

// Reads a 32-bit signed decimal integer. Throws ConversionError with
// "'<text>' is not a valid integer value".
std::int32_t ParseInteger(const std::string& text);
// The same for a 64-bit count (the batch tool's counts of steps and points).
std::int64_t ParseCount(const std::string& text);

// Plain decimal notation without trailing zeros, or, when more than significantDigits integer
// digits are needed or the magnitude is below 0.0001, mantissa, "E" and exponent (sign only when
// negative, at least minimumExponentDigits digits). 12345678 with 7 digits gives "1.234568E7",
// 0.00005 "5E-5".
std::string FormatGeneral(Extended value, int significantDigits, int minimumExponentDigits = 0);

// A multiplier or eigenvalue as the result tables show it: "0.5", or "0.09395562396 + 10.19450522i"
// for a complex one, each part to 10 significant digits.
std::string FormatEigenvalue(const std::complex<double>& value);

// Rounded once, to significantDigits significant digits or to `decimals` decimals, whichever keeps
// fewer digits, and written in fixed notation with exactly `decimals` decimals (zeros appended):
// 0.123456789 with (7, 6) gives "0.123457", 123.456789 "123.456800". A value that needs more than
// significantDigits integer digits is written as FormatGeneral does (12345678 gives "1.234568E7").
std::string FormatFixed(Extended value, int significantDigits, int decimals);

// One value of a two-column data file: 10 decimals ("0.2500000000", "-1.0000000000"); from 1e36 on
// two significant digits with a four-digit exponent (" 1.5E+0040"); "Nan", "+Inf", "-Inf".
std::string FormatDataValue(double value);

// One value of an orbit or basin file: 23 characters, a blank or "-", one digit, ".", 14 digits,
// "E", the exponent's sign and four digits (" 2.50000000000000E-0001"). Non-finite values are
// "Nan", "+Inf" or "-Inf" right-aligned in the field.
std::string FormatOrbitValue(Extended value);

// The same texts written into a buffer, for files of many values: the orbit value takes exactly
// kOrbitValueWidth characters, the data value at most kDataValueMaxWidth. Both return the end.
inline constexpr int kOrbitValueWidth = 23;
inline constexpr int kDataValueMaxWidth = 64;
char* WriteOrbitValue(const Extended& value, char* out);
char* WriteDataValue(double value, char* out);

// A tick label of the basin pictures: rounded to 3 significant digits, then written with 3
// decimals ("1.400", "-0.175"); from 1000 on in magnitude in scientific notation with 3
// significant digits and a signed exponent of at least three digits ("1.23E+003").
std::string FormatTickValue(Extended value);

}  // namespace kalvora
