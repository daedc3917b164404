// Number conversion for option values: strict integer and floating-point conversion with
// an error naming the option, and the lenient C-style prefix readers (strtol, strtod,
// atoi). All of them use "." as the decimal point whatever the user's locale.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Strict conversions: leading blanks are skipped, then an optional sign, then the number;
// nothing may follow. Integers are decimal, or hexadecimal after "$" or "0x"/"0X".
// A value that does not convert, or does not fit, raises FFMpegException naming the
// option and the value.
int32_t OptionToInt(std::string_view optionName, std::string_view value);
int64_t OptionToInt64(std::string_view optionName, std::string_view value);
// Decimal point ".", optional exponent; only finite numbers are accepted.
double OptionToFloat(std::string_view optionName, std::string_view value);

// Lenient prefix readers as the C library's, in the "C" locale. `consumed` receives the
// number of characters read (0 when no number was found, and the result is 0).
// Base 0 as strtol: "0x" hexadecimal, leading "0" octal, else decimal. The result is
// clamped to the 64-bit range.
int64_t ReadIntPrefix(std::string_view text, std::size_t& consumed);
double ReadFloatPrefix(std::string_view text, std::size_t& consumed);
// Decimal only, as atoi (leading blanks, sign, digits).
int64_t ReadDecimalPrefix(std::string_view text, std::size_t& consumed);
