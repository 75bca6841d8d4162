#include "binding/number_parse.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace Norv {
namespace {

// The C locale's isspace set.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool IsDecimal(char c) {
    return c >= '0' && c <= '9';
}
bool IsHex(char c) {
    return IsDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsOctal(char c) {
    return c >= '0' && c <= '7';
}
bool IsAlnum(char c) {
    return IsDecimal(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
    if (text.size() - at < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (Lower(text[at + i]) != word[i]) return false;
    }
    return true;
}

std::size_t SkipBlanks(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    return i;
}

// Blanks, sign, base prefix and digits as strtoull reads them in base 0.
NumberParseStatus ScanInteger(std::string_view text, bool& negative, std::uint64_t& magnitude) {
    const std::size_t n = text.size();
    std::size_t i = SkipBlanks(text);
    negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    bool (*isDigit)(char) = IsDecimal;
    if (i + 2 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') && IsHex(text[i + 2])) {
        base = 16;
        isDigit = IsHex;
        i += 2;
    } else if (i < n && text[i] == '0') {
        base = 8;
        isDigit = IsOctal;
    }
    std::size_t end = i;
    while (end < n && isDigit(text[end])) ++end;
    magnitude = 0;
    // Without digits nothing is consumed, so only the empty text counts as whole.
    if (end == i) return text.empty() ? NumberParseStatus::Ok : NumberParseStatus::Format;
    if (end != n) return NumberParseStatus::Format;
    auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + end, magnitude, base);
    (void)ptr;
    return ec == std::errc() ? NumberParseStatus::Ok : NumberParseStatus::Range;
}

// Length of the strtod subject sequence starting at `at` (after blanks and
// sign), or 0 when there is none. Sets `hex` for the 0x form.
std::size_t ScanFloating(std::string_view text, std::size_t at, bool& hex) {
    const std::size_t n = text.size();
    hex = false;
    std::size_t i = at;
    bool (*isDigit)(char) = IsDecimal;
    char exponent = 'e';
    if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        std::size_t j = i + 2;
        if (j < n && (IsHex(text[j]) || (text[j] == '.' && j + 1 < n && IsHex(text[j + 1])))) {
            hex = true;
            isDigit = IsHex;
            exponent = 'p';
            i = j;
        }
    }
    std::size_t digits = 0;
    while (i < n && isDigit(text[i])) ++i, ++digits;
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < n && Lower(text[i]) == exponent) {
        std::size_t j = i + 1;
        if (j < n && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < n && IsDecimal(text[j])) {
            while (j < n && IsDecimal(text[j])) ++j;
            i = j;
        }
    }
    return i - at;
}

bool HasNonZeroDigit(std::string_view mantissa, bool hex) {
    for (char c : mantissa) {
        if (!hex && Lower(c) == 'e') return false;
        if (hex && Lower(c) == 'p') return false;
        if (c != '0' && c != '.') return true;
    }
    return false;
}

// Whether a number too small or too large for a double is the small kind: its
// first significant digit, moved by the exponent, lies below the point. Only
// the sign of that order matters, as such numbers are far from 1.
bool IsTiny(std::string_view number, bool hex) {
    const char exponentMark = hex ? 'p' : 'e';
    std::int64_t order = 0;
    std::int64_t position = 0;  // digits before the point count up, after it down
    bool pointSeen = false;
    bool significantSeen = false;
    std::size_t i = 0;
    for (; i < number.size() && Lower(number[i]) != exponentMark; ++i) {
        if (number[i] == '.') {
            pointSeen = true;
            continue;
        }
        if (pointSeen) --position;
        if (!significantSeen && number[i] != '0') {
            significantSeen = true;
            order = pointSeen ? position : 0;
        }
        if (!pointSeen && significantSeen) ++order;
    }
    if (!significantSeen) return true;
    std::int64_t exponent = 0;
    bool negativeExponent = false;
    if (i < number.size()) ++i;
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) negativeExponent = number[i++] == '-';
    // Saturated: a longer exponent changes nothing about the sign of the order.
    for (; i < number.size() && exponent < 1'000'000'000; ++i) exponent = exponent * 10 + (number[i] - '0');
    if (negativeExponent) exponent = -exponent;
    return (hex ? 4 * order : order) + exponent <= 0;
}

}  // namespace

NumberParseStatus ParseSigned(std::string_view text, std::int64_t& value) {
    value = 0;
    bool negative = false;
    std::uint64_t magnitude = 0;
    NumberParseStatus status = ScanInteger(text, negative, magnitude);
    if (status != NumberParseStatus::Ok) return status;
    constexpr std::uint64_t kMaxMagnitude = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    if (magnitude > kMaxMagnitude + (negative ? 1 : 0)) return NumberParseStatus::Range;
    // Negating in unsigned arithmetic keeps INT64_MIN well defined.
    value = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
    return NumberParseStatus::Ok;
}

NumberParseStatus ParseUnsigned(std::string_view text, std::uint64_t& value) {
    value = 0;
    bool negative = false;
    std::uint64_t magnitude = 0;
    NumberParseStatus status = ScanInteger(text, negative, magnitude);
    if (status != NumberParseStatus::Ok) return status;
    if (negative) return NumberParseStatus::Range;
    value = magnitude;
    return NumberParseStatus::Ok;
}

NumberParseStatus ParseDouble(std::string_view text, double& value) {
    value = 0.0;
    const std::size_t n = text.size();
    std::size_t i = SkipBlanks(text);
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    double magnitude = 0.0;
    std::size_t end = i;
    if (StartsWithNoCase(text, i, "inf")) {
        end = StartsWithNoCase(text, i, "infinity") ? i + 8 : i + 3;
        magnitude = std::numeric_limits<double>::infinity();
    } else if (StartsWithNoCase(text, i, "nan")) {
        end = i + 3;
        if (end < n && text[end] == '(') {
            std::size_t j = end + 1;
            while (j < n && (IsAlnum(text[j]) || text[j] == '_')) ++j;
            if (j < n && text[j] == ')') end = j + 1;
        }
        magnitude = std::numeric_limits<double>::quiet_NaN();
    } else {
        bool hex = false;
        std::size_t length = ScanFloating(text, i, hex);
        if (length == 0) return text.empty() ? NumberParseStatus::Ok : NumberParseStatus::Format;
        end = i + length;
        if (end != n) return NumberParseStatus::Format;
        const char* first = text.data() + i + (hex ? 2 : 0);
        const std::string_view number(first, text.data() + end);
        auto [ptr, ec] = std::from_chars(first, text.data() + end, magnitude,
                                         hex ? std::chars_format::hex : std::chars_format::general);
        (void)ptr;
        if (ec != std::errc()) {
            magnitude = IsTiny(number, hex) ? 0.0 : std::numeric_limits<double>::infinity();
            value = negative ? -magnitude : magnitude;
            return NumberParseStatus::Range;
        }
        const bool vanished = magnitude == 0.0 && HasNonZeroDigit(number, hex);
        if (std::isinf(magnitude) || vanished || std::fpclassify(magnitude) == FP_SUBNORMAL) {
            value = negative ? -magnitude : magnitude;
            return NumberParseStatus::Range;
        }
    }
    if (end != n) return NumberParseStatus::Format;
    value = negative ? -magnitude : magnitude;
    return NumberParseStatus::Ok;
}

}  // namespace Norv
