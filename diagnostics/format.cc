// The formatter in two halves: a parser that walks the format text and
// collects one conversion specification at a time, and a renderer per
// argument kind that applies the completed specification. Nothing here calls
// the C library's printf family, so a specification can never read an
// argument with the wrong width and no rendering depends on the locale.
#include "diagnostics/format.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace Norv {
namespace FormatDetail {
namespace {

// A specification of this many characters (terminator included) stops formatting.
constexpr std::size_t kSpecificationLimit = 60;
constexpr std::size_t kFormatCapacity = 4096;

// Numbers read from the format saturate here: far beyond any output capacity,
// yet small enough for every sum made of them below.
constexpr std::size_t kNumberCeiling = std::size_t{1} << 30;

class Output {
public:
    Output(char* buffer, std::size_t capacity) : buffer_(buffer), limit_(capacity == 0 ? 0 : capacity - 1) {}

    bool full() const { return full_; }
    std::size_t size() const { return size_; }

    void append(const char* data, std::size_t count) {
        count = claim(count);
        if (count != 0) std::memcpy(buffer_ + size_, data, count);
        size_ += count;
    }

    void fill(char character, std::size_t count) {
        count = claim(count);
        if (count != 0) std::memset(buffer_ + size_, character, count);
        size_ += count;
    }

private:
    // What fits of `count` characters; the output is full once something did not.
    std::size_t claim(std::size_t count) {
        const std::size_t room = limit_ - size_;
        if (count <= room) return count;
        full_ = true;
        return room;
    }

    char* buffer_;
    std::size_t limit_;
    std::size_t size_ = 0;
    bool full_ = false;
};

// ---------------------------------------------------------------------------
// Rendering

enum class Modifier : std::uint8_t { None, Char, Short, Long, LongLong, LongDouble, IntMax, Size, PtrDiff };

// A completed specification, read back from its text.
struct RenderSpec {
    bool minus = false;
    bool plus = false;
    bool space = false;
    bool hash = false;
    bool zero = false;
    bool hasPrecision = false;
    std::size_t width = 0;
    std::size_t precision = 0;
    Modifier modifier = Modifier::None;
    char conversion = 0;
};

// Pads `body` (after its `prefix`) to the field width. Zero padding goes
// between prefix and body, as C does for signs and "0x".
void Emit(Output& out, const RenderSpec& spec, std::string_view prefix, std::string_view body,
          std::size_t innerZeros = 0, std::string_view suffix = {}, std::size_t trailingZeros = 0,
          bool zeroPad = false) {
    const std::size_t length = prefix.size() + innerZeros + body.size() + trailingZeros + suffix.size();
    const std::size_t padding = spec.width > length ? spec.width - length : 0;
    if (!spec.minus && !zeroPad) out.fill(' ', padding);
    out.append(prefix.data(), prefix.size());
    if (!spec.minus && zeroPad) out.fill('0', padding);
    out.fill('0', innerZeros);
    out.append(body.data(), body.size());
    out.fill('0', trailingZeros);
    out.append(suffix.data(), suffix.size());
    if (spec.minus) out.fill(' ', padding);
}

// Texts end at their first NUL.
std::size_t TextLength(const char* data, std::size_t size) {
    if (size == 0) return 0;
    const void* nul = std::memchr(data, 0, size);
    return nul == nullptr ? size : static_cast<const char*>(nul) - data;
}

void RenderText(Output& out, const RenderSpec& spec, const char* data, std::size_t size) {
    size = TextLength(data, size);
    if (spec.hasPrecision && spec.precision < size) size = spec.precision;
    Emit(out, spec, {}, {data, size});
}

// The width in bits at which C reads an integer under this length modifier.
// 'L' on an integer conversion reads 64 bits, as the GNU C library does.
unsigned IntegerBits(Modifier modifier) {
    switch (modifier) {
        case Modifier::Char:
            return 8;
        case Modifier::Short:
            return 16;
        case Modifier::Long:
            return sizeof(long) * CHAR_BIT;
        case Modifier::LongLong:
        case Modifier::LongDouble:
        case Modifier::IntMax:
            return 64;
        case Modifier::Size:
            return sizeof(std::size_t) * CHAR_BIT;
        case Modifier::PtrDiff:
            return sizeof(std::ptrdiff_t) * CHAR_BIT;
        case Modifier::None:
            break;
    }
    return 32;
}

// The argument is first converted to the width the modifier names, so that a
// 64-bit argument under "%x" shows its low 32 bits and a 32-bit one under
// "%lld" is widened: never a read of a width it was not passed with.
void RenderInteger(Output& out, const RenderSpec& spec, const Argument& argument) {
    const std::uint64_t bits = static_cast<std::uint64_t>(argument.integer);
    if (spec.conversion == 'c') {
        const char character = static_cast<char>(bits & 0xFF);
        Emit(out, spec, {}, {&character, 1});
        return;
    }
    const unsigned width = IntegerBits(spec.modifier);
    const std::uint64_t mask = width == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
    std::uint64_t magnitude = bits & mask;
    char sign = 0;
    const bool isSigned = spec.conversion == 'd' || spec.conversion == 'i';
    if (isSigned) {
        const std::uint64_t signBit = std::uint64_t{1} << (width - 1);
        if (magnitude & signBit) {
            sign = '-';
            magnitude = (~magnitude + 1) & mask;
            if (magnitude == 0) magnitude = signBit;  // the most negative value
        } else if (spec.plus) {
            sign = '+';
        } else if (spec.space) {
            sign = ' ';
        }
    }
    int base = 10;
    if (spec.conversion == 'o') base = 8;
    if (spec.conversion == 'x' || spec.conversion == 'X') base = 16;

    char digits[24];
    std::size_t count = 0;
    if (magnitude != 0 || !spec.hasPrecision || spec.precision != 0) {
        count = std::to_chars(digits, digits + sizeof digits, magnitude, base).ptr - digits;
    }
    if (spec.conversion == 'X') {
        for (std::size_t i = 0; i < count; ++i) {
            if (digits[i] >= 'a') digits[i] = static_cast<char>(digits[i] - 'a' + 'A');
        }
    }
    std::size_t zeros = spec.hasPrecision && spec.precision > count ? spec.precision - count : 0;
    char prefix[3];
    std::size_t prefixLength = 0;
    if (sign != 0) prefix[prefixLength++] = sign;
    if (spec.hash) {
        if (base == 8 && zeros == 0 && (count == 0 || digits[0] != '0')) zeros = 1;
        if (base == 16 && magnitude != 0) {
            prefix[prefixLength++] = '0';
            prefix[prefixLength++] = spec.conversion;
        }
    }
    Emit(out, spec, {prefix, prefixLength}, {digits, count}, zeros, {}, 0, spec.zero && !spec.hasPrecision);
}

// The exact decimal expansion of a double ends within this many fractional
// digits, and holds at most this many significant ones; beyond them C prints
// zeros, which are appended instead of rendered.
constexpr std::size_t kMaxFixedDigits = 1100;
constexpr std::size_t kMaxSignificantDigits = 800;
constexpr std::size_t kMaxHexDigits = 13;

struct DoubleText {
    char body[kMaxFixedDigits + 500];
    std::size_t length = 0;
    std::size_t exponentAt = 0;  // where the exponent begins (length when none)
    std::size_t trailingZeros = 0;
};

void FindExponent(DoubleText& text, std::chars_format form) {
    const char exponentLetter = form == std::chars_format::hex ? 'p' : 'e';
    const char* exponent = static_cast<const char*>(std::memchr(text.body, exponentLetter, text.length));
    text.exponentAt = exponent == nullptr ? text.length : exponent - text.body;
}

// Renders |value| by to_chars, which promises printf's digits for these
// forms; precision beyond what the double can hold becomes zeros.
void ToChars(DoubleText& text, double value, std::chars_format form, std::size_t precision, std::size_t cap) {
    const std::size_t used = std::min(precision, cap);
    const auto result = std::to_chars(text.body, text.body + sizeof text.body, value, form, static_cast<int>(used));
    text.length = result.ptr - text.body;
    text.trailingZeros = precision - used;
    FindExponent(text, form);
}

// Without a precision C's "%a" shows every significant hex digit and no more.
void ToCharsShortestHex(DoubleText& text, double value) {
    const auto result = std::to_chars(text.body, text.body + sizeof text.body, value, std::chars_format::hex);
    text.length = result.ptr - text.body;
    text.trailingZeros = 0;
    FindExponent(text, std::chars_format::hex);
}

bool HasPoint(const DoubleText& text) {
    return std::memchr(text.body, '.', text.exponentAt) != nullptr;
}

void InsertPoint(DoubleText& text) {
    std::memmove(text.body + text.exponentAt + 1, text.body + text.exponentAt, text.length - text.exponentAt);
    text.body[text.exponentAt] = '.';
    ++text.exponentAt;
    ++text.length;
}

int DecimalExponent(const DoubleText& text) {
    int exponent = 0;
    std::from_chars(text.body + text.exponentAt + 1 + (text.body[text.exponentAt + 1] == '+'), text.body + text.length,
                    exponent);
    return exponent;
}

void RenderDouble(Output& out, const RenderSpec& spec, const Argument& argument) {
    const double value = argument.real;
    const char conversion = spec.conversion;
    const bool upper = conversion >= 'A' && conversion <= 'Z';
    const char lower = upper ? static_cast<char>(conversion - 'A' + 'a') : conversion;
    char prefix[3];
    std::size_t prefixLength = 0;
    if (std::signbit(value)) {
        prefix[prefixLength++] = '-';
    } else if (spec.plus) {
        prefix[prefixLength++] = '+';
    } else if (spec.space) {
        prefix[prefixLength++] = ' ';
    }
    if (!std::isfinite(value)) {
        const char* word = std::isnan(value) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        Emit(out, spec, {prefix, prefixLength}, {word, 3});
        return;
    }
    const double magnitude = std::fabs(value);
    const std::size_t precision = spec.hasPrecision ? spec.precision : 6;
    DoubleText text;
    switch (lower) {
        case 'f':
            ToChars(text, magnitude, std::chars_format::fixed, precision, kMaxFixedDigits);
            break;
        case 'e':
            ToChars(text, magnitude, std::chars_format::scientific, precision, kMaxSignificantDigits);
            break;
        case 'a':
            if (spec.hasPrecision) {
                ToChars(text, magnitude, std::chars_format::hex, precision, kMaxHexDigits);
            } else {
                ToCharsShortestHex(text, magnitude);
            }
            prefix[prefixLength++] = '0';
            prefix[prefixLength++] = upper ? 'X' : 'x';
            break;
        default: {  // 'g'
            const std::size_t significant = precision == 0 ? 1 : precision;
            if (!spec.hash) {
                // Trailing zeros go, so digits past what a double holds never show.
                ToChars(text, magnitude, std::chars_format::general, std::min(significant, kMaxFixedDigits),
                        kMaxFixedDigits);
                text.trailingZeros = 0;
                break;
            }
            // '#' keeps trailing zeros: choose the form as C does, from the
            // exponent that the scientific rounding gives.
            ToChars(text, magnitude, std::chars_format::scientific, significant - 1, kMaxSignificantDigits);
            const int exponent = DecimalExponent(text);
            if (exponent >= -4 && static_cast<long long>(significant) > exponent) {
                const auto fraction = static_cast<std::size_t>(static_cast<long long>(significant) - 1 - exponent);
                ToChars(text, magnitude, std::chars_format::fixed, fraction, kMaxFixedDigits);
            }
            break;
        }
    }
    if (spec.hash && !HasPoint(text)) InsertPoint(text);
    if (upper) {
        for (std::size_t i = 0; i < text.length; ++i) {
            if (text.body[i] >= 'a' && text.body[i] <= 'z') text.body[i] = static_cast<char>(text.body[i] - 'a' + 'A');
        }
    }
    Emit(out, spec, {prefix, prefixLength}, {text.body, text.exponentAt}, 0,
         {text.body + text.exponentAt, text.length - text.exponentAt}, text.trailingZeros, spec.zero);
}

// With a precision C reads no further than it: the text need not hold a NUL.
void RenderCString(Output& out, const RenderSpec& spec, const Argument& argument) {
    const char* text = argument.cString;
    std::size_t size = 0;
    if (text != nullptr) {
        const std::size_t limit = spec.hasPrecision ? spec.precision : SIZE_MAX;
        while (size < limit && text[size] != 0) ++size;
    }
    RenderText(out, spec, text, size);
}

void RenderTextArgument(Output& out, const RenderSpec& spec, const Argument& argument) {
    RenderText(out, spec, argument.text.data, argument.text.size);
}

void RenderTextForm(Output& out, const RenderSpec& spec, const Argument& argument) {
    const std::string text = argument.textForm.render(argument.textForm.object);
    RenderText(out, spec, text.data(), text.size());
}

// Bare placeholders render with the kind's default conversion and no flags,
// width or precision: straight into the output.
void BareSigned(Output& out, const Argument& argument) {
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, argument.integer).ptr - digits);
}

void BareUnsigned(Output& out, const Argument& argument) {
    char digits[24];
    const std::uint64_t value = static_cast<std::uint64_t>(argument.integer);
    out.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr - digits);
}

void BareDouble(Output& out, const Argument& argument) {
    RenderSpec spec;
    spec.conversion = 'g';
    RenderDouble(out, spec, argument);
}

void BareCString(Output& out, const Argument& argument) {
    if (argument.cString != nullptr) out.append(argument.cString, std::strlen(argument.cString));
}

void BareText(Output& out, const Argument& argument) {
    out.append(argument.text.data, TextLength(argument.text.data, argument.text.size));
}

void BareTextForm(Output& out, const Argument& argument) {
    const std::string text = argument.textForm.render(argument.textForm.object);
    out.append(text.data(), TextLength(text.data(), text.size()));
}

// An address is written in the C library's own form ("%p" involves no locale),
// so that log lines keep the platform's usual look.
void RenderPointer(Output& out, const RenderSpec& spec, const Argument& argument) {
    char digits[32];
    const int length = std::snprintf(digits, sizeof digits, "%p", argument.pointer);
    Emit(out, spec, {}, {digits, length > 0 ? std::min(static_cast<std::size_t>(length), sizeof digits - 1) : 0});
}

void BarePointer(Output& out, const Argument& argument) {
    RenderPointer(out, RenderSpec{}, argument);
}

// Per argument kind: the conversions it accepts (default first), whether it
// can give a width or precision, and how it renders.
struct KindRule {
    std::string_view accepted;
    bool integral;
    void (*render)(Output&, const RenderSpec&, const Argument&);
    // For a specification that is just the '%': the default conversion with
    // the kind's own length modifier ("ll" for the 64-bit kinds).
    void (*renderBare)(Output&, const Argument&);
};

constexpr std::array<KindRule, 9> kKindRules = {{
    {"dciouxX", true, RenderInteger, BareSigned},    // Int32
    {"ucdioxX", true, RenderInteger, BareUnsigned},  // UInt32
    {"dciouxX", true, RenderInteger, BareSigned},    // Int64
    {"ucdioxX", true, RenderInteger, BareUnsigned},  // UInt64
    {"gaefGAEF", false, RenderDouble, BareDouble},   // Double
    {"s", false, RenderCString, BareCString},        // CString
    {"s", false, RenderTextArgument, BareText},      // Text
    {"s", false, RenderTextForm, BareTextForm},      // TextForm
    {"p", false, RenderPointer, BarePointer},        // Pointer
}};

const KindRule& RuleOf(const Argument& argument) {
    return kKindRules[static_cast<std::size_t>(argument.kind)];
}

// A width or precision argument as C receives it: a 32-bit int.
std::int32_t IntegerValue(const Argument& argument) {
    return static_cast<std::int32_t>(argument.integer);
}

// ---------------------------------------------------------------------------
// Parsing

bool IsDigit(char character) {
    return character >= '0' && character <= '9';
}

std::size_t ReadNumber(const char*& cursor) {
    std::size_t number = 0;
    while (IsDigit(*cursor)) {
        number = std::min(number * 10 + static_cast<std::size_t>(*cursor - '0'), kNumberCeiling);
        ++cursor;
    }
    return number;
}

// The characters collected for one conversion and the arguments it names
// (numbered from 1; 0 when absent).
struct Specification {
    char text[kSpecificationLimit];
    std::size_t length = 1;
    std::size_t argument = 0;
    std::size_t widthArgument = 0;
    std::size_t precisionArgument = 0;

    Specification() { text[0] = '%'; }

    // False once the specification reaches the limit.
    bool copy(char character) {
        text[length++] = character;
        return length < kSpecificationLimit;
    }
};

// Reads a width or precision at the cursor: '*' with an optional "N$", or a
// run of digits. False when the specification grew too long.
bool ReadAmount(const char*& cursor, Specification& spec, std::size_t& argument, std::size_t& sequence) {
    if (*cursor == '*') {
        if (!spec.copy('*')) return false;
        ++cursor;
        const char* digits = cursor;
        if (IsDigit(*digits)) {
            const std::size_t number = ReadNumber(digits);
            if (*digits == '$') {
                argument = number == 0 ? kNumberCeiling : number;
                cursor = digits + 1;
                return true;
            }
        }
        argument = sequence++;
        return true;
    }
    while (IsDigit(*cursor)) {
        if (!spec.copy(*cursor++)) return false;
    }
    return true;
}

// Steps through flags, width, precision, length modifier and conversion.
// Returns false when the specification grew too long.
bool ReadSpecification(const char*& cursor, Specification& spec, std::size_t& sequence) {
    while (*cursor != 0 && std::strchr("-+ #0", *cursor) != nullptr) {
        if (!spec.copy(*cursor++)) return false;
    }
    if (!ReadAmount(cursor, spec, spec.widthArgument, sequence)) return false;
    if (*cursor == '.') {
        if (!spec.copy('.')) return false;
        ++cursor;
        if (*cursor == '-') ++cursor;
        if (!ReadAmount(cursor, spec, spec.precisionArgument, sequence)) return false;
    }
    if (*cursor != 0 && std::strchr("Ljtz", *cursor) != nullptr) {
        if (!spec.copy(*cursor++)) return false;
    } else if (*cursor == 'h' || *cursor == 'l') {
        const char letter = *cursor++;
        if (!spec.copy(letter)) return false;
        if (*cursor == letter) {
            if (!spec.copy(letter)) return false;
            ++cursor;
        }
    }
    if (*cursor != 0) {
        if (!spec.copy(*cursor++)) return false;
    }
    return true;
}

// Reads the completed specification text back into its parts; '*' takes its
// value from the argument that was named for it.
RenderSpec Interpret(const Specification& spec, const Argument* arguments) {
    RenderSpec render;
    const char* cursor = spec.text + 1;
    const char* end = spec.text + spec.length;
    for (; cursor < end; ++cursor) {
        const char c = *cursor;
        if (c == '-') {
            render.minus = true;
        } else if (c == '+') {
            render.plus = true;
        } else if (c == ' ') {
            render.space = true;
        } else if (c == '#') {
            render.hash = true;
        } else if (c == '0') {
            render.zero = true;
        } else {
            break;
        }
    }
    if (cursor < end && *cursor == '*') {
        const std::int64_t width = IntegerValue(arguments[spec.widthArgument - 1]);
        if (width < 0) render.minus = true;
        render.width = std::min(static_cast<std::size_t>(width < 0 ? -width : width), kNumberCeiling);
        ++cursor;
    } else {
        while (cursor < end && IsDigit(*cursor)) {
            render.width = std::min(render.width * 10 + static_cast<std::size_t>(*cursor++ - '0'), kNumberCeiling);
        }
    }
    if (cursor < end && *cursor == '.') {
        ++cursor;
        render.hasPrecision = true;
        if (cursor < end && *cursor == '*') {
            const std::int32_t precision = IntegerValue(arguments[spec.precisionArgument - 1]);
            // A negative precision counts as none, as in C.
            render.hasPrecision = precision >= 0;
            render.precision = precision < 0 ? 0 : std::min(static_cast<std::size_t>(precision), kNumberCeiling);
            ++cursor;
        } else {
            while (cursor < end && IsDigit(*cursor)) {
                render.precision =
                    std::min(render.precision * 10 + static_cast<std::size_t>(*cursor++ - '0'), kNumberCeiling);
            }
        }
    }
    switch (end - cursor > 1 ? *cursor : 0) {
        case 'h':
            render.modifier = cursor[1] == 'h' ? Modifier::Char : Modifier::Short;
            break;
        case 'l':
            render.modifier = cursor[1] == 'l' ? Modifier::LongLong : Modifier::Long;
            break;
        case 'L':
            render.modifier = Modifier::LongDouble;
            break;
        case 'j':
            render.modifier = Modifier::IntMax;
            break;
        case 'z':
            render.modifier = Modifier::Size;
            break;
        case 't':
            render.modifier = Modifier::PtrDiff;
            break;
        default:
            break;
    }
    render.conversion = end[-1];
    return render;
}

// An argument that supplies a width or precision must exist and be integral.
bool ValidAmountArgument(std::size_t number, const Argument* arguments, std::size_t count) {
    return number == 0 || (number <= count && RuleOf(arguments[number - 1]).integral);
}

// printf's positional "N$" after the '%': false when it names no argument we
// can have (0); digits without a '$' are left for the width.
bool ReadPosition(const char*& cursor, std::size_t& named) {
    if (*cursor < '0' || *cursor > '9') return true;
    const char* digits = cursor;
    const std::size_t number = ReadNumber(digits);
    if (*digits != '$') return true;
    if (number == 0) return false;
    named = number;
    cursor = digits + 1;
    return true;
}

// How a format names its arguments: Format's bare placeholders %1..%N beside
// printf's conversions, or printf's alone (where "%1d" is a width).
enum class Syntax : std::uint8_t { Placeholders, Printf };

void Run(Output& out, const char* format, const Argument* arguments, std::size_t count,
         Syntax syntax = Syntax::Placeholders) {
    if (format == nullptr) return;
    std::size_t sequence = 1;
    const char* cursor = format;
    for (;;) {
        const char* literal = cursor;
        while (*cursor != 0 && *cursor != '%') ++cursor;
        out.append(literal, cursor - literal);
        if (out.full() || *cursor == 0) return;
        ++cursor;
        if (*cursor == '%') {
            out.append("%", 1);
            ++cursor;
            continue;
        }
        std::size_t named = 0;
        if (syntax == Syntax::Printf) {
            if (!ReadPosition(cursor, named)) return;
        } else if (*cursor >= '1' && *cursor <= '9') {
            const char* digits = cursor;
            const std::size_t number = ReadNumber(digits);
            if (number <= count) {
                cursor = digits;
                const Argument& argument = arguments[number - 1];
                if (*cursor != '$') {  // a bare placeholder
                    RuleOf(argument).renderBare(out, argument);
                    if (out.full()) return;
                    continue;
                }
                named = number;
                ++cursor;
            }
        }
        Specification spec;
        spec.argument = named;
        if (!ReadSpecification(cursor, spec, sequence)) return;
        if (spec.argument == 0) spec.argument = sequence++;
        if (spec.argument > count) return;
        if (!ValidAmountArgument(spec.widthArgument, arguments, count) ||
            !ValidAmountArgument(spec.precisionArgument, arguments, count)) {
            return;
        }
        const Argument& argument = arguments[spec.argument - 1];
        const KindRule& rule = RuleOf(argument);
        char& conversion = spec.text[spec.length - 1];
        const bool accepted = spec.length > 1 && rule.accepted.find(conversion) != std::string_view::npos;
        if (syntax == Syntax::Printf) {
            // The argument was read as its first conversion asked; another
            // reading of it (or no conversion at all) ends the text.
            if (!accepted) return;
            rule.render(out, Interpret(spec, arguments), argument);
        } else if (spec.length == 1) {
            rule.renderBare(out, argument);
        } else {
            // A conversion the kind does not accept becomes its default one.
            if (!accepted) conversion = rule.accepted.front();
            rule.render(out, Interpret(spec, arguments), argument);
        }
        if (out.full()) return;
    }
}

// ---------------------------------------------------------------------------
// printf argument lists

constexpr std::size_t kPrintfArgumentLimit = 128;

// The C type a conversion reads from the argument list.
enum class CType : std::uint8_t {
    None,  // not rendered here: stops the format
    Int,
    UnsignedInt,
    Long,
    UnsignedLong,
    LongLong,
    UnsignedLongLong,
    Size,
    Double,
    LongDouble,
    CString,
    Pointer,
};

CType IntegerType(char modifier, char second, bool isSigned) {
    switch (modifier) {
        case 'h':
        case 0:
            return isSigned ? CType::Int : CType::UnsignedInt;
        case 'l':
            if (second != 'l') return isSigned ? CType::Long : CType::UnsignedLong;
            [[fallthrough]];
        case 'L':  // as the GNU C library reads it on an integer conversion
        case 'j':
            return isSigned ? CType::LongLong : CType::UnsignedLongLong;
        case 'z':
        case 't':
            return CType::Size;
        default:
            return CType::None;
    }
}

// From the specification's text: its conversion letter and the length
// modifier just before it.
CType ConversionType(const Specification& spec) {
    if (spec.length < 2) return CType::None;
    const char conversion = spec.text[spec.length - 1];
    char modifier = spec.length > 2 ? spec.text[spec.length - 2] : 0;
    char second = 0;
    if (modifier != 0 && std::strchr("hlLjzt", modifier) == nullptr) modifier = 0;
    if ((modifier == 'h' || modifier == 'l') && spec.length > 3 && spec.text[spec.length - 3] == modifier) {
        second = modifier;
    }
    switch (conversion) {
        case 'd':
        case 'i':
            return IntegerType(modifier, second, true);
        case 'o':
        case 'u':
        case 'x':
        case 'X':
            return IntegerType(modifier, second, false);
        case 'c':
            return modifier == 0 ? CType::Int : CType::None;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (modifier == 'L') return CType::LongDouble;
            return modifier == 0 || (modifier == 'l' && second == 0) ? CType::Double : CType::None;
        case 's':
            return modifier == 0 ? CType::CString : CType::None;
        case 'p':
            return modifier == 0 ? CType::Pointer : CType::None;
        default:
            return CType::None;
    }
}

// Records the type an argument is read as; its first use decides.
bool NoteType(CType* types, std::size_t number, CType type) {
    if (number == 0) return true;
    if (number > kPrintfArgumentLimit || type == CType::None) return false;
    if (types[number - 1] == CType::None) types[number - 1] = type;
    return true;
}

// Walks the format as Run does and learns every argument's type; returns how
// many leading arguments have one (an argument list cannot be read past a gap).
std::size_t CollectTypes(const char* format, CType* types) {
    std::size_t sequence = 1;
    const char* cursor = format;
    while (cursor != nullptr) {
        while (*cursor != 0 && *cursor != '%') ++cursor;
        if (*cursor == 0) break;
        ++cursor;
        if (*cursor == '%') {
            ++cursor;
            continue;
        }
        Specification spec;
        if (!ReadPosition(cursor, spec.argument)) break;
        if (!ReadSpecification(cursor, spec, sequence)) break;
        if (spec.argument == 0) spec.argument = sequence++;
        if (!NoteType(types, spec.widthArgument, CType::Int) || !NoteType(types, spec.precisionArgument, CType::Int) ||
            !NoteType(types, spec.argument, ConversionType(spec))) {
            break;
        }
    }
    std::size_t count = 0;
    while (count < kPrintfArgumentLimit && types[count] != CType::None) ++count;
    return count;
}

Argument Integer(ArgumentKind kind, std::int64_t value) {
    Argument argument{};
    argument.kind = kind;
    argument.integer = value;
    return argument;
}

}  // namespace

std::size_t FormatArguments(char* buffer, std::size_t capacity, const char* format, const Argument* arguments,
                            std::size_t count) {
    if (capacity == 0) return 0;
    Output out(buffer, capacity);
    Run(out, format, arguments, count);
    buffer[out.size()] = 0;
    return out.size();
}

std::string FormatArgumentsToString(const char* format, const Argument* arguments, std::size_t count) {
    char buffer[kFormatCapacity];
    const std::size_t size = FormatArguments(buffer, sizeof buffer, format, arguments, count);
    return std::string(buffer, size);
}

}  // namespace FormatDetail

std::size_t FormatPrintfInto(char* buffer, std::size_t capacity, const char* format, std::va_list arguments) {
    using namespace FormatDetail;
    if (capacity == 0) return 0;
    CType types[kPrintfArgumentLimit] = {};
    const std::size_t count = format == nullptr ? 0 : CollectTypes(format, types);
    Argument values[kPrintfArgumentLimit];
    std::va_list list;
    va_copy(list, arguments);
    for (std::size_t i = 0; i < count; ++i) {
        Argument& value = values[i];
        switch (types[i]) {
            case CType::Int:
                value = Integer(ArgumentKind::Int32, va_arg(list, int));
                break;
            case CType::UnsignedInt:
                value = Integer(ArgumentKind::UInt32, va_arg(list, unsigned int));
                break;
            case CType::Long:
                value = Integer(ArgumentKind::Int64, va_arg(list, long));
                break;
            case CType::UnsignedLong:
                value = Integer(ArgumentKind::UInt64, static_cast<std::int64_t>(va_arg(list, unsigned long)));
                break;
            case CType::LongLong:
                value = Integer(ArgumentKind::Int64, va_arg(list, long long));
                break;
            case CType::UnsignedLongLong:
                value = Integer(ArgumentKind::UInt64, static_cast<std::int64_t>(va_arg(list, unsigned long long)));
                break;
            case CType::Size:  // the length modifier narrows it to its width again
                value = Integer(ArgumentKind::UInt64, static_cast<std::int64_t>(va_arg(list, std::size_t)));
                break;
            case CType::Double:
                value.kind = ArgumentKind::Double;
                value.real = va_arg(list, double);
                break;
            case CType::LongDouble:
                value.kind = ArgumentKind::Double;
                value.real = static_cast<double>(va_arg(list, long double));
                break;
            case CType::CString:
                value.kind = ArgumentKind::CString;
                value.cString = va_arg(list, const char*);
                break;
            case CType::Pointer:
                value.kind = ArgumentKind::Pointer;
                value.pointer = va_arg(list, const void*);
                break;
            case CType::None:
                break;
        }
    }
    va_end(list);
    Output out(buffer, capacity);
    Run(out, format, values, count, Syntax::Printf);
    buffer[out.size()] = 0;
    return out.size();
}

std::string Join(const std::vector<std::string>& items, std::string_view separator, std::string_view quote) {
    std::string joined;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i != 0) joined += separator;
        joined += quote;
        joined += items[i];
        joined += quote;
    }
    return joined;
}

}  // namespace Norv
