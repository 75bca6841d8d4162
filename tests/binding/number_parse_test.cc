#include "binding/number_parse.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

namespace Norv {
namespace {

using S = NumberParseStatus;

struct SignedCase {
    std::string text;
    S status;
    std::int64_t value;
};

TEST(NumberParse, SignedFollowsStrtollBaseZero) {
    const SignedCase cases[] = {
        {"", S::Ok, 0},
        {"12", S::Ok, 12},
        {" \t\n\v\f\r12", S::Ok, 12},
        {"+12", S::Ok, 12},
        {"-12", S::Ok, -12},
        {"0x10", S::Ok, 16},
        {"0X1f", S::Ok, 31},
        {"-0x10", S::Ok, -16},
        {"010", S::Ok, 8},
        {"0", S::Ok, 0},
        {"9223372036854775807", S::Ok, INT64_MAX},
        {"-9223372036854775808", S::Ok, INT64_MIN},
        {"9223372036854775808", S::Range, 0},
        {"-9223372036854775809", S::Range, 0},
        {"99999999999999999999999", S::Range, 0},
        {"12 ", S::Format, 0},
        {" ", S::Format, 0},
        {"-", S::Format, 0},
        {"+", S::Format, 0},
        {"08", S::Format, 0},
        {"0x", S::Format, 0},
        {"0xg", S::Format, 0},
        {"1.5", S::Format, 0},
        {"- 1", S::Format, 0},
        {"12abc", S::Format, 0},
        {std::string("12\0", 3), S::Format, 0},
        {"999999999999999999999x", S::Format, 0},  // format is judged before range
    };
    for (const auto& c : cases) {
        std::int64_t value = 99;
        EXPECT_EQ(ParseSigned(c.text, value), c.status) << '"' << c.text << '"';
        EXPECT_EQ(value, c.value) << '"' << c.text << '"';
    }
}

struct UnsignedCase {
    std::string text;
    S status;
    std::uint64_t value;
};

TEST(NumberParse, UnsignedFollowsStrtoullAndRejectsEveryMinus) {
    const UnsignedCase cases[] = {
        {"", S::Ok, 0},
        {"18446744073709551615", S::Ok, UINT64_MAX},
        {"0xffffffffffffffff", S::Ok, UINT64_MAX},
        {"18446744073709551616", S::Range, 0},
        {" 7", S::Ok, 7},
        {"+7", S::Ok, 7},
        {"-1", S::Range, 0},
        {"-0", S::Range, 0},
        {" -1", S::Range, 0},  // strtoull would wrap this to the largest value
        {"-", S::Format, 0},
        {"7 ", S::Format, 0},
    };
    for (const auto& c : cases) {
        std::uint64_t value = 99;
        EXPECT_EQ(ParseUnsigned(c.text, value), c.status) << '"' << c.text << '"';
        EXPECT_EQ(value, c.value) << '"' << c.text << '"';
    }
}

struct DoubleCase {
    std::string text;
    S status;
    double value;
};

TEST(NumberParse, DoubleFollowsStrtod) {
    const double inf = std::numeric_limits<double>::infinity();
    const DoubleCase cases[] = {
        {"", S::Ok, 0.0},
        {"1.5", S::Ok, 1.5},
        {"  -2.5e3", S::Ok, -2500.0},
        {"+.5", S::Ok, 0.5},
        {"5.", S::Ok, 5.0},
        {"1e", S::Format, 0.0},  // strtod leaves a bare exponent letter unread
        {"1e+", S::Format, 0.0},
        {"0x1.8p1", S::Ok, 3.0},
        {"0x10", S::Ok, 16.0},
        {"-0X.8", S::Ok, -0.5},
        {"0x", S::Format, 0.0},
        {"inf", S::Ok, inf},
        {"-Infinity", S::Ok, -inf},
        {"infin", S::Format, 0.0},
        {"1e400", S::Range, 0.0},
        {"-1e400", S::Range, 0.0},
        {"1e-400", S::Range, 0.0},
        {"1e-310", S::Range, 0.0},  // subnormal: strtod reports underflow
        {"0e-400", S::Ok, 0.0},
        {"1.7976931348623157e308", S::Ok, 1.7976931348623157e308},
        {"1,5", S::Format, 0.0},
        {".", S::Format, 0.0},
        {"e5", S::Format, 0.0},
        {" ", S::Format, 0.0},
        {"1.5 ", S::Format, 0.0},
    };
    for (const auto& c : cases) {
        double value = 99;
        EXPECT_EQ(ParseDouble(c.text, value), c.status) << '"' << c.text << '"';
        EXPECT_EQ(value, c.value) << '"' << c.text << '"';
    }
}

TEST(NumberParse, DoubleReadsNanWithAndWithoutPayload) {
    for (const char* text : {"nan", "NaN", "-nan", "nan(123_abc)"}) {
        double value = 0;
        EXPECT_EQ(ParseDouble(text, value), S::Ok) << text;
        EXPECT_TRUE(std::isnan(value)) << text;
    }
    double value = 0;
    EXPECT_EQ(ParseDouble("nan(12", value), S::Format);
}

TEST(NumberParse, DecimalPointIgnoresTheProcessLocale) {
    // A locale with a decimal comma, where present, must not change the result.
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const bool switched = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    double value = 0;
    const S status = ParseDouble("1.25", value);
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(status, S::Ok) << "locale switched: " << switched;
    EXPECT_EQ(value, 1.25);
}

}  // namespace
}  // namespace Norv
