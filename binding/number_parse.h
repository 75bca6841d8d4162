// Reading numbers from text by the C library's strtoll, strtoull and strtod
// rules (leading blanks, sign, automatic base, hexadecimal floats, inf, nan),
// but never through the process locale: the decimal point is always '.'.
#pragma once

#include <cstdint>
#include <string_view>

namespace Norv {

enum class NumberParseStatus : std::uint8_t {
    Ok,
    Format,  // the text is not one number from its first to its last character
    Range,   // a number, but it does not fit the target
};

// strtoll in base 0: blanks, an optional sign, then "0x" hexadecimal, a leading
// "0" octal, else decimal. The whole text must be consumed; the empty text is 0.
NumberParseStatus ParseSigned(std::string_view text, std::int64_t& value);

// strtoull in base 0. Unlike strtoull, a minus sign is a range error instead
// of a silent wrap to a huge number. "-0" and " -0" are refused as well, on
// purpose: whether a text is refused depends on its sign alone, never on
// the digits that follow it.
NumberParseStatus ParseUnsigned(std::string_view text, std::uint64_t& value);

// strtod: decimal and hexadecimal forms, "inf", "infinity" and "nan(...)" in any
// case. Overflow, and underflow to zero or to a subnormal number, are range
// errors; `value` is then what strtod returns: infinity, or the subnormal or
// zero, with the sign. The empty text is 0.0.
NumberParseStatus ParseDouble(std::string_view text, double& value);

}  // namespace Norv
