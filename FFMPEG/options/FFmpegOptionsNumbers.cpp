// Number conversion for option values (see FFmpegOptionsNumbers.h).
#include "FFmpegOptionsNumbers.h"

#include "FFMpegException.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The C locale's isspace, independent of the process locale.
bool isCSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

int digitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

std::string quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

[[noreturn]] void raiseNotNumber(std::string_view optionName, std::string_view value,
                                 const char* kind) {
    throw FFMpegException(quoted(value) + " is not a valid " + kind + " value for option " +
                          quoted(optionName));
}

[[noreturn]] void raiseOutOfRange(std::string_view optionName, std::string_view value) {
    throw FFMpegException(quoted(value) + " is out of range for option " + quoted(optionName));
}

struct StrictInteger {
    bool negative = false;
    bool hexadecimal = false;
    uint64_t magnitude = 0;
};

// Reads the whole value as [blanks][sign]("$"|"0x")digits; nullopt when it is not one,
// `overflow` when the digits do not fit 64 bits.
std::optional<StrictInteger> readStrictInteger(std::string_view value, bool& overflow) {
    overflow = false;
    std::size_t i = 0;
    while (i < value.size() && isBlank(value[i]))
        ++i;
    StrictInteger number;
    if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
        number.negative = value[i] == '-';
        ++i;
    }
    if (i < value.size() && value[i] == '$') {
        number.hexadecimal = true;
        ++i;
    } else if (i + 1 < value.size() && value[i] == '0' &&
               (value[i + 1] == 'x' || value[i + 1] == 'X')) {
        number.hexadecimal = true;
        i += 2;
    }
    const unsigned base = number.hexadecimal ? 16 : 10;
    if (i == value.size())
        return std::nullopt;
    for (; i < value.size(); ++i) {
        const unsigned digit = static_cast<unsigned>(digitValue(value[i]));
        if (digit >= base)
            return std::nullopt;
        if (number.magnitude > (std::numeric_limits<uint64_t>::max() - digit) / base)
            overflow = true;
        number.magnitude = number.magnitude * base + digit;
    }
    return number;
}

// Converts to a signed value of `bits` bits. Hexadecimal values may use the full
// unsigned width and wrap into the signed range ("$FFFFFFFF" is -1 for 32 bits).
int64_t strictInteger(std::string_view optionName, std::string_view value, int bits) {
    bool overflow = false;
    const std::optional<StrictInteger> number = readStrictInteger(value, overflow);
    if (!number)
        raiseNotNumber(optionName, value, "integer");
    if (overflow)
        raiseOutOfRange(optionName, value);
    const uint64_t signedLimit = uint64_t{1} << (bits - 1);
    const uint64_t unsignedMax = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
    uint64_t magnitude = number->magnitude;
    if (number->hexadecimal) {
        if (magnitude > unsignedMax)
            raiseOutOfRange(optionName, value);
    } else if (magnitude > (number->negative ? signedLimit : signedLimit - 1)) {
        raiseOutOfRange(optionName, value);
    }
    if (number->negative)
        magnitude = ~magnitude + 1;
    // Two's complement narrowing to the requested width.
    if (bits == 32)
        return static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    return static_cast<int64_t>(magnitude);
}

} // namespace

int32_t OptionToInt(std::string_view optionName, std::string_view value) {
    return static_cast<int32_t>(strictInteger(optionName, value, 32));
}

int64_t OptionToInt64(std::string_view optionName, std::string_view value) {
    return strictInteger(optionName, value, 64);
}

double OptionToFloat(std::string_view optionName, std::string_view value) {
    std::size_t begin = 0;
    std::size_t end = value.size();
    while (begin < end && isBlank(value[begin]))
        ++begin;
    while (end > begin && isBlank(value[end - 1]))
        --end;
    std::string_view text = value.substr(begin, end - begin);
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    // from_chars would also take "inf" and "nan"; only plain numbers are values here.
    if (text.empty() || !(digitValue(text[0]) < 10 || text[0] == '.'))
        raiseNotNumber(optionName, value, "floating point");
    double number = 0;
    const auto [end_, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error == std::errc::result_out_of_range)
        raiseOutOfRange(optionName, value);
    if (error != std::errc() || end_ != text.data() + text.size() || !std::isfinite(number))
        raiseNotNumber(optionName, value, "floating point");
    return negative ? -number : number;
}

namespace {

// Skips C white space and one sign; returns the position after them.
std::size_t skipSpaceAndSign(std::string_view text, bool& negative) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i]))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

// strtol / atoi: base 0 detects "0x" hexadecimal and leading-"0" octal.
int64_t readIntegerPrefix(std::string_view text, std::size_t& consumed, bool detectBase) {
    consumed = 0;
    bool negative = false;
    std::size_t i = skipSpaceAndSign(text, negative);
    unsigned base = 10;
    if (detectBase && i < text.size() && text[i] == '0') {
        const bool hexadecimal = i + 2 < text.size() &&
                                 (text[i + 1] == 'x' || text[i + 1] == 'X') &&
                                 digitValue(text[i + 2]) < 16;
        base = hexadecimal ? 16 : 8;
        if (hexadecimal)
            i += 2;
    }
    const std::size_t firstDigit = i;
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    uint64_t magnitude = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const unsigned digit = static_cast<unsigned>(digitValue(text[i]));
        if (digit >= base)
            break;
        if (magnitude > (limit - digit) / base)
            overflow = true;
        else
            magnitude = magnitude * base + digit;
    }
    if (i == firstDigit)
        return 0;
    consumed = i;
    if (overflow)
        magnitude = limit;
    return negative ? static_cast<int64_t>(~magnitude + 1) : static_cast<int64_t>(magnitude);
}

} // namespace

int64_t ReadIntPrefix(std::string_view text, std::size_t& consumed) {
    return readIntegerPrefix(text, consumed, true);
}

int64_t ReadDecimalPrefix(std::string_view text, std::size_t& consumed) {
    return readIntegerPrefix(text, consumed, false);
}

double ReadFloatPrefix(std::string_view text, std::size_t& consumed) {
    consumed = 0;
    bool negative = false;
    const std::size_t i = skipSpaceAndSign(text, negative);
    if (i == text.size() || !(digitValue(text[i]) < 10 || text[i] == '.'))
        return 0;
    double number = 0;
    const char* first = text.data() + i;
    const auto [end, error] = std::from_chars(first, text.data() + text.size(), number);
    if (end == first)
        return 0;
    if (error == std::errc::result_out_of_range)
        number = HUGE_VAL;
    consumed = static_cast<std::size_t>(end - text.data());
    return negative ? -number : number;
}
