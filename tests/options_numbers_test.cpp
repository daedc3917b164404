// Number conversion of option values: strict integers and numbers with their errors, and
// the lenient prefix readers used by the map, scale, aspect and matrix options.
#include "FFMpegException.h"
#include "FFmpegOptionsNumbers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct IntCase {
    const char* text;
    int32_t expected;
};

TEST(OptionNumbers, IntegersAcceptBlanksSignAndHexadecimal) {
    const IntCase cases[] = {
        {"42", 42},
        {"  42", 42},
        {"\t-7", -7},
        {"+7", 7},
        {"$1F", 31},
        {"0x1f", 31},
        {"0X1F", 31},
        {"-$10", -16},
        {"$FFFFFFFF", -1},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"007", 7},
    };
    for (const IntCase& c : cases)
        EXPECT_EQ(OptionToInt("ar", c.text), c.expected) << c.text;
}

// The message OptionToInt raises for the value, or "" when it converts.
std::string intFailure(const char* option, const char* text) {
    try {
        OptionToInt(option, text);
    } catch (const FFMpegException& error) {
        return error.what();
    }
    return std::string();
}

TEST(OptionNumbers, IntegerErrorsNameTheOptionAndTheValue) {
    const char* bad[] = {"", " ", "4 2", "42 ", "abc", "1.5", "0x", "$", "--1", "12k"};
    for (const char* text : bad)
        EXPECT_EQ(intFailure("ar", text),
                  "'" + std::string(text) + "' is not a valid integer value for option 'ar'");
    const char* outOfRange[] = {"2147483648", "-2147483649", "$100000000", "99999999999999999999"};
    for (const char* text : outOfRange)
        EXPECT_EQ(intFailure("vol", text),
                  "'" + std::string(text) + "' is out of range for option 'vol'");
}

TEST(OptionNumbers, SixtyFourBitIntegers) {
    EXPECT_EQ(OptionToInt64("fs", "5000000000"), 5000000000LL);
    EXPECT_EQ(OptionToInt64("fs", "-9223372036854775808"), INT64_MIN);
    EXPECT_EQ(OptionToInt64("fs", "$FFFFFFFFFFFFFFFF"), -1);
    EXPECT_THROW(OptionToInt64("fs", "9223372036854775808"), FFMpegException);
}

TEST(OptionNumbers, NumbersUseThePointAndRejectTheRest) {
    const std::pair<const char*, double> good[] = {
        {"1.5", 1.5},  {" 1.5 ", 1.5}, {"-0.25", -0.25}, {"+2", 2},
        {"1e3", 1000}, {".5", 0.5},    {"5.", 5},
    };
    for (const auto& [text, expected] : good)
        EXPECT_DOUBLE_EQ(OptionToFloat("qscale", text), expected) << text;
    const char* bad[] = {"", "1,5", "abc", "nan", "inf", "1.5x", "- 1", "1e999"};
    for (const char* text : bad)
        EXPECT_THROW(OptionToFloat("qscale", text), FFMpegException) << text;
    try {
        OptionToFloat("aq", "1,5");
        ADD_FAILURE() << "\"1,5\" was accepted";
    } catch (const FFMpegException& error) {
        EXPECT_STREQ(error.what(), "'1,5' is not a valid floating point value for option 'aq'");
    }
}

TEST(OptionNumbers, PrefixReadersStopAtTheFirstForeignCharacter) {
    struct Case {
        const char* text;
        int64_t expected;
        std::size_t consumed;
    };
    const Case integers[] = {
        {"0x10:3", 16, 4}, {"010", 8, 3}, {"  -5x", -5, 4}, {"abc", 0, 0},
        {"0x", 0, 1},      {"08", 0, 1},  {"3:1.5", 3, 1},  {"99999999999999999999", INT64_MAX, 20},
    };
    for (const Case& c : integers) {
        std::size_t consumed = 99;
        EXPECT_EQ(ReadIntPrefix(c.text, consumed), c.expected) << c.text;
        EXPECT_EQ(consumed, c.consumed) << c.text;
    }
    std::size_t consumed = 0;
    EXPECT_EQ(ReadDecimalPrefix(" 012,", consumed), 12);
    EXPECT_EQ(consumed, 4u);
    EXPECT_DOUBLE_EQ(ReadFloatPrefix("1.5:x", consumed), 1.5);
    EXPECT_EQ(consumed, 3u);
    EXPECT_DOUBLE_EQ(ReadFloatPrefix("x1.5", consumed), 0.0);
    EXPECT_EQ(consumed, 0u);
}

} // namespace
