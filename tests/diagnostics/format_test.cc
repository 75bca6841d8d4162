#include "diagnostics/format.h"

#include "tests/support/comma_decimal_locale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace Sample {

// A type of a higher layer, formattable through its text form.
struct Version {
    int major;
    int minor;
};

int textFormCalls = 0;

std::string FormatTextForm(const Version& version) {
    ++textFormCalls;
    return Norv::Format("%1.%2", version.major, version.minor);
}

}  // namespace Sample

namespace Norv {
namespace {

struct Case {
    const char* what;
    std::string actual;
    std::string expected;
};

void ExpectAll(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

const std::string kNotFound = "The system cannot find the file specified.";

TEST(Format, RendersPlaceholdersByArgumentKindAndText) {
    const char* nullText = nullptr;
    const char unterminated[3] = {'a', 'b', 'c'};
    ExpectAll({
        {"no placeholders", Format("nothing to replace", 1), "nothing to replace"},
        {"text and int", Format("%1 (%2)", kNotFound, 2), kNotFound + " (2)"},
        {"double default g", Format("%1", 0.5), "0.5"},
        {"float", Format("%1", 0.25f), "0.25"},
        {"uint32 max", Format("%1", std::numeric_limits<std::uint32_t>::max()), "4294967295"},
        {"int32 min", Format("%1", std::numeric_limits<std::int32_t>::min()), "-2147483648"},
        {"int64 min", Format("%1", std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
        {"uint64 max", Format("%1", std::numeric_limits<std::uint64_t>::max()), "18446744073709551615"},
        {"bool", Format("%1 %2", true, false), "1 0"},
        {"char is a character", Format("'%1'", 'x'), "'x'"},
        {"positional order", Format("%2 before %1", "b", "a"), "a before b"},
        {"bare leaves the counter", Format("%2 %d", 1, 2), "2 1"},
        {"trailing percent", Format("value: %", 7), "value: 7"},
        {"null C string padded", Format("[%1$4s]", nullText), "[    ]"},
        {"nullptr", Format("[%1]", nullptr), "[]"},
        {"string stops at NUL", Format("%1", std::string("ab\0cd", 5)), "ab"},
        {"string_view not terminated", Format("%1", std::string_view("abcdef", 3)), "abc"},
        {"array not terminated", Format("%1|", unterminated), "abc|"},
        {"minus after point skipped", Format("%1$.-2s", "abc"), "ab"},
        {"zero flag ignored", Format("%1$05s", "abc"), "  abc"},
        {"conversion d on text", Format("%1$d", "text"), "text"},
    });
}

TEST(Format, AppliesPrintfConversions) {
    ExpectAll({
        {"s on int becomes d", Format("%1$s", 7), "7"},
        {"hex alternate zero", Format("%1$#x", 0), "0"},
        {"precision", Format("%1$.3d %2$.2d", 7, 12345), "007 12345"},
        {"precision beats zero flag", Format("%1$06.3d", 7), "   007"},
        {"zero precision zero value", Format("[%1$.0d]", 0), "[]"},
        {"n is not accepted", Format("%1$n", 42), "42"},
        {"negative star width", Format("%*d|", -5, 42), "42   |"},
        {"negative star precision", Format("%.*f", -1, 3.14159), "3.141590"},
        {"width from low 32 bits", Format("%2$*1$d", std::uint64_t{0x100000005}, 42), "   42"},
        {"star digits without dollar", Format("%*12", 3, 4), "  42"},
        {"two digit width", Format("%10|", 7), "         7"},
        {"format ends in width", Format("%1$5", 42), "42"},
        {"format ends in precision", Format("%1$5.", 42), "   42"},
        {"format ends in modifier", Format("%1$hh", 70000), "4464"},
        {"conversion is any character", Format("%1$5%", 42), "   42"},
    });
}

TEST(Format, RendersDoublesAndConvertsToTheModifiersWidth) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::uint64_t wide = 0x1234567890ULL;
    const bool longIs64 = sizeof(long) == 8;
    const bool sizeIs64 = sizeof(std::size_t) == 8;
    ExpectAll({
        {"g precision", Format("%1$.3g", 1234.5), "1.23e+03"},
        {"alternate g at the smallest fixed exponent", Format("%1$#g %2$#g", 0.0001, 0.00001),
         "0.000100000 1.00000e-05"},
        {"alternate f point", Format("%1$#.0f", 2.0), "2."},
        {"alternate e point", Format("%1$#.0e", 1.0), "1.e+00"},
        {"round half even", Format("%1$.0f %2$.0f", 0.5, 2.5), "0 2"},
        {"A", Format("%1$A", -0.75), "-0X1.8P-1"},
        {"zero padded", Format("%1$08.3f", -3.14159), "-003.142"},
        {"plus", Format("%1$+.1f", 2.25), "+2.2"},
        {"negative zero", Format("%1", -0.0), "-0"},
        {"d on double becomes g", Format("%1$d", 0.5), "0.5"},
        {"huge precision", Format("%1$.30f", 0.1), "0.100000000000000005551115123126"},
        {"inf", Format("%1", inf), "inf"},
        {"minus INF", Format("%1$F", -inf), "-INF"},
        {"inf not zero padded", Format("%1$05f", inf), "  inf"},
        {"nan", Format("%1", std::nan("")), "nan"},
        // A modifier that disagrees with the argument converts it to the width
        // the modifier names (the low bits) instead of reading the wrong width.
        {"d on 64-bit", Format("%1$d", std::int64_t{5000000000}), "705032704"},
        {"llu on signed 32-bit", Format("%1$llu", -1), "18446744073709551615"},
        {"llx on unsigned 32-bit", Format("%1$llx", 0xFFFFFFFFu), "ffffffff"},
        {"hhd", Format("%1$hhd", 255), "-1"},
        {"ju", Format("%1$ju", -1), "18446744073709551615"},
        {"Lx", Format("%1$Lx", wide), "1234567890"},
        {"lx", Format("%1$lx", wide), longIs64 ? "1234567890" : "34567890"},
        {"zx", Format("%1$zx", wide), sizeIs64 ? "1234567890" : "34567890"},
        {"tx", Format("%1$tx", wide), sizeIs64 ? "1234567890" : "34567890"},
        {"ld on int64 min", Format("%1$ld", std::numeric_limits<std::int64_t>::min()),
         longIs64 ? "-9223372036854775808" : "0"},
        {"Lf on double", Format("%1$Lf", 0.5), "0.500000"},
        {"ls on text", Format("%1$ls", "abc"), "abc"},
    });
}

TEST(Format, StopsWhereTheTextStands) {
    const std::string limitFlags(57, '-');  // with '%' and 'd': 59 characters
    ExpectAll({
        {"sequence beyond count", Format("%d, %d!", 1), "1, "},
        {"width from a double", Format("a%*d b", 0.5, 42), "a"},
        {"width argument beyond count", Format("a%2$*3$d b", 5, 42), "a"},
        {"width argument zero", Format("a%2$*0$d b", 5, 42), "a"},
        {"precision from a double", Format("a%.*f b", 0.5, 1.0), "a"},
        {"sequential width beyond count", Format("a%*d b", 5), "a"},
        {"59-character specification", Format(("<%1$" + limitFlags + "d>").c_str(), 42), "<42>"},
        {"60-character specification", Format(("<%1$" + limitFlags + "-d>").c_str(), 42), "<"},
        {"60 characters at the point", Format(("<%1$" + limitFlags + "-.d>").c_str(), 42), "<"},
        {"60 characters of width", Format(("<%1$" + std::string(58, '9') + "d>").c_str(), 42), "<"},
    });
}

TEST(Format, CutsAtTheBufferCapacity) {
    EXPECT_EQ(Format("%1$2147483647d", 1), std::string(4095, ' '));

    struct IntoCase {
        std::size_t capacity;
        const char* format;
        std::string expected;
    };
    const std::vector<IntoCase> cases = {
        {1, "abc", ""},
        {2, "abc", "a"},
        {4, "%1 tail", "abc"},
        {4, "ab%1$8d", "ab "},
    };
    for (const IntoCase& c : cases) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        const std::size_t written = FormatInto(buffer, c.capacity, c.format, "abcdef");
        EXPECT_EQ(std::string(buffer, written), c.expected) << c.format << " in " << c.capacity;
        EXPECT_EQ(buffer[written], '\0');
        EXPECT_EQ(buffer[c.capacity], '#') << "wrote past the capacity";
    }

    char untouched = '#';
    EXPECT_EQ(FormatInto(&untouched, 0, "abc"), 0u);
    EXPECT_EQ(untouched, '#');
}

TEST(Format, RendersTextFormsOnlyWhenNamed) {
    Sample::textFormCalls = 0;
    EXPECT_EQ(Format("API %1", Sample::Version{18, 0}), "API 18.0");
    EXPECT_EQ(Format("[%1$.1d]", Sample::Version{1, 2}), "[1]");
    EXPECT_EQ(Sample::textFormCalls, 2);
    EXPECT_EQ(Format("%2", Sample::Version{1, 2}, 7), "7");
    EXPECT_EQ(Sample::textFormCalls, 2);
    EXPECT_EQ(Format("%*d", Sample::Version{1, 2}, 7), "") << "a text form gives no width";
}

std::size_t PrintfInto(char* buffer, std::size_t capacity, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    const std::size_t length = FormatPrintfInto(buffer, capacity, format, arguments);
    va_end(arguments);
    return length;
}

template <class... Arguments>
std::string Printf(const char* format, Arguments... arguments) {
    char buffer[4096];
    const std::size_t length = PrintfInto(buffer, sizeof buffer, format, arguments...);
    EXPECT_EQ(length, std::strlen(buffer)) << format;
    return buffer;
}

std::string CPrintf(const char* format, ...) {
    char buffer[4096];
    std::va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    return buffer;
}

// The same calls through the formatter and through the C library (in the C
// locale) give the same text.
#define EXPECT_SAME_AS_C(...) EXPECT_EQ(Printf(__VA_ARGS__), CPrintf(__VA_ARGS__))

TEST(FormatPrintfInto, RendersAsTheCLibraryDoes) {
    const char* text = "text";
    const char unterminated[3] = {'a', 'b', 'c'};
    EXPECT_SAME_AS_C("%d|%i|%5d|%-5d|%05d|%+d|% d", 42, -7, 42, 42, -42, 3, 3);
    EXPECT_SAME_AS_C("%u|%x|%X|%#x|%o|%#o", 4000000000u, 255u, 0xABCDEFu, 255u, 8u, 8u);
    EXPECT_SAME_AS_C("%hhd|%hd|%hhu|%hu", 300, 70000, 300, 70000);
    EXPECT_SAME_AS_C("%ld|%lu|%lld|%llu|%llx", -5L, 5UL, -5000000000LL, 18446744073709551615ULL, 0x1234567890ULL);
    EXPECT_SAME_AS_C("%zu|%zd|%td|%jd", std::size_t{123}, std::size_t{9}, std::ptrdiff_t{-4}, std::intmax_t{-1});
    EXPECT_SAME_AS_C("%f|%.2f|%e|%.3E|%g|%G|%10.4f|%-10.1f|", 1.5, 2.345, 1234.5, 0.000123, 1e20, 1e-10, 3.14159, -2.5);
    EXPECT_SAME_AS_C("%a|%.1a|%Lf|%F", 1.0, 3.0, static_cast<long double>(0.25), 1e300);
    EXPECT_SAME_AS_C("%s|%10s|%-6s|%.2s|%.3s|", text, text, text, text, unterminated);
    EXPECT_SAME_AS_C("%c%c%5c", 'a', 'b', 'z');
    EXPECT_SAME_AS_C("%*d|%-*d|%.*f|%*.*s|", 6, 42, 6, 42, 2, 0.125, 8, 2, text);
    // Not every C library takes positions (MinGW's does not).
    EXPECT_EQ(Printf("%2$s %1$s %2$s|%4$*3$d|%3$d", "first", "second", 7, 42), "second first second|     42|7");
    EXPECT_SAME_AS_C("100%% sure, %d%%", 5);
    EXPECT_SAME_AS_C("%p|%p", static_cast<const void*>(text), static_cast<const void*>(nullptr));
}

TEST(FormatPrintfInto, StopsAtWhatItDoesNotRender) {
    int written = 0;
    EXPECT_EQ(Printf("before %n after %d", &written, 5), "before ");
    EXPECT_EQ(written, 0);
    EXPECT_EQ(Printf("a %d b %ls c %d", 1, L"wide", 2), "a 1 b ");
    EXPECT_EQ(Printf("a %d b %y c", 1), "a 1 b ");
    EXPECT_EQ(Printf("%2$d %1$ls", L"wide", 2), "") << "the first argument cannot be read";
    EXPECT_EQ(Printf("%0$d", 1), "");
    EXPECT_EQ(Printf("a %129$d b", 1), "a ") << "past the last argument a format can name";
    EXPECT_EQ(Printf("tail %"), "tail ");
    EXPECT_EQ(Printf(nullptr), "");
    EXPECT_EQ(Printf("%1$d %1$s", 4), "4 ") << "an argument read as int cannot be a text too";
}

TEST(FormatPrintfInto, WritesNothingWithoutCapacity) {
    char untouched = 'x';
    EXPECT_EQ(PrintfInto(&untouched, 0, "%d", 5), 0u);
    EXPECT_EQ(untouched, 'x');
}

// Rendering never consults the process locale, here a comma-decimal one.
TEST(Format, IgnoresTheProcessLocale) {
    std::string bare;
    std::string fixed;
    {
        Testing::CommaDecimalLocale locale;
        ASSERT_TRUE(locale.Active()) << "no comma-decimal locale; scripts/setup.sh generates one";
        bare = Format("%1", 0.5);
        fixed = Format("%1$.2f|%2$e|%1$a", 0.5, 1234.5);
    }
    EXPECT_EQ(bare, "0.5");
    EXPECT_EQ(fixed, "0.50|1.234500e+03|0x1p-1");
}

TEST(Join, QuotesEachItemAndSeparatesThem) {
    ExpectAll({
        {"empty list", Join({}, ", ", "'"), ""},
        {"two items", Join({"a", "b"}, ", ", "'"), "'a', 'b'"},
        {"no quote", Join({"a", "b", "c"}, "|", ""), "a|b|c"},
        {"empty items", Join({"", ""}, "-", "\""), "\"\"-\"\""},
    });
}

}  // namespace
}  // namespace Norv
