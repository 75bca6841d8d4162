#include "formats/yaml_scalar.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

#include "binding/assign_value.h"
#include "binding/number_parse.h"
#include "diagnostics/format.h"

namespace Norv {
namespace {

constexpr const char* kUnsupportedTag = "Unsupported YAML tag '%1'.";
constexpr const char* kValueName = "yaml";

constexpr std::string_view kStrTag = "tag:yaml.org,2002:str";
constexpr std::string_view kIntTag = "tag:yaml.org,2002:int";
constexpr std::string_view kFloatTag = "tag:yaml.org,2002:float";
constexpr std::string_view kBoolTag = "tag:yaml.org,2002:bool";

constexpr std::array<std::string_view, 5> kNullWords = {"", "~", "null", "Null", "NULL"};
constexpr std::array<std::string_view, 11> kTrueWords = {"true", "True", "TRUE", "y",  "Y", "yes",
                                                         "Yes",  "YES",  "on",   "On", "ON"};
constexpr std::array<std::string_view, 11> kFalseWords = {"false", "False", "FALSE", "n",   "N",  "no",
                                                          "No",    "NO",    "off",   "Off", "OFF"};

template <std::size_t N>
bool IsOneOf(std::string_view text, const std::array<std::string_view, N>& words) {
    for (std::string_view word : words) {
        if (text == word) return true;
    }
    return false;
}

// Tagged numbers go through the conversions' own rules, bounds and messages.
template <class Conversion>
bool ConvertTagged(BindingProperty& target, std::string_view text, std::string& error, Conversion convert) {
    BindingProperty input;
    input = text;
    BindingResult outcome;
    const auto value = convert(outcome, input);
    if (!outcome.ok()) {
        error = outcome.error();
        return false;
    }
    target = value;
    return true;
}

bool TypeInteger(BindingProperty& target, std::string_view text, std::string& error) {
    if (!text.empty() && text.front() == '-') {
        return ConvertTagged(target, text, error, [](BindingResult& outcome, const BindingProperty& input) {
            return convertSigned(outcome, input, std::numeric_limits<std::int64_t>::min(),
                                 std::numeric_limits<std::int64_t>::max(), kValueName, "int64_t");
        });
    }
    return ConvertTagged(target, text, error, [](BindingResult& outcome, const BindingProperty& input) {
        return convertUnsigned(outcome, input, std::numeric_limits<std::uint64_t>::max(), kValueName, "uint64_t");
    });
}

bool TypeFloat(BindingProperty& target, std::string_view text, std::string& error) {
    return ConvertTagged(target, text, error, [](BindingResult& outcome, const BindingProperty& input) {
        return convertFloating(outcome, input, std::numeric_limits<double>::max(), kValueName, "double");
    });
}

// A plain decimal or hexadecimal integer read exactly, so that integers beyond
// 2^53 keep every digit. False when the text is no such integer or does not fit.
bool ReadExactInteger(std::string_view text, BindingProperty& target, bool& isIntegerText) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    int base = 10;
    if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    std::uint64_t magnitude = 0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    isIntegerText = false;
    if (first == last || *first == '+' || *first == '-') return false;
    const auto [end, ec] = std::from_chars(first, last, magnitude, base);
    isIntegerText = end == last && (ec == std::errc() || ec == std::errc::result_out_of_range);
    if (!isIntegerText || ec != std::errc()) return false;
    if (!negative || magnitude == 0) {
        target = magnitude;  // "-0" is zero, and zero is Unsigned
        return true;
    }
    if (magnitude > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1) return false;
    target = static_cast<std::int64_t>(0 - magnitude);
    return true;
}

// Numbers as the C library's strtod reads them, without the process locale.
// Integral values become Signed (negative) or Unsigned, others Float.
bool TypePlainNumber(BindingProperty& target, std::string_view text) {
    bool isIntegerText = false;
    if (ReadExactInteger(text, target, isIntegerText)) return true;  // the common case, and exact
    double value = 0.0;
    // Too large for a double stays text. strtod reads a number below the normal
    // range to its end as well, so a subnormal is a Float and one that vanishes is zero.
    if (ParseDouble(text, value) == NumberParseStatus::Format || std::isinf(value)) return false;
    constexpr double kTwoTo63 = 9223372036854775808.0;
    constexpr double kTwoTo64 = 18446744073709551616.0;
    if (isIntegerText || std::isnan(value) || value != std::trunc(value) || value < -kTwoTo63 || value >= kTwoTo64) {
        target = value;  // fractional, NaN, or an integer beyond 64 bits
    } else if (value < 0) {
        target = static_cast<std::int64_t>(value);
    } else {
        target = static_cast<std::uint64_t>(value);
    }
    return true;
}

}  // namespace

bool TypeYamlScalar(BindingProperty& target, const char* tag, std::string_view text, bool quoted, std::string& error) {
    if (tag != nullptr) {
        const std::string_view name(tag);
        if (name == kStrTag) {
            target = text;
            return true;
        }
        if (name == kIntTag) return TypeInteger(target, text, error);
        if (name == kFloatTag) return TypeFloat(target, text, error);
        if (name == kBoolTag) {
            if (IsOneOf(text, kTrueWords) || IsOneOf(text, kFalseWords)) {
                target = IsOneOf(text, kTrueWords);
                return true;
            }
            error = Format(AssignMessage::kFormat, text, kValueName, "bool");
            return false;
        }
        error = Format(kUnsupportedTag, name);
        return false;
    }
    if (quoted) {
        target = text;
    } else if (IsOneOf(text, kNullWords)) {
        target.reset();
    } else if (!TypePlainNumber(target, text)) {
        if (IsOneOf(text, kTrueWords)) {
            target = true;
        } else if (IsOneOf(text, kFalseWords)) {
            target = false;
        } else {
            target = text;
        }
    }
    return true;
}

}  // namespace Norv
