// The message formatter: numbered placeholders %1..%N and printf-style
// conversions, each argument rendered by its own kind so that a conversion
// letter can never make the formatter read an argument as another type.
//
// Supported arguments: every integral type (mapped by size and signedness to
// the signed/unsigned 32/64-bit kinds; `bool` renders as 0 or 1, plain `char`
// as a one-character text), `float` and `double`, C strings (null renders as
// the empty text), character arrays, `std::string` and `std::string_view` (up
// to the first NUL), and any type with a text form.
//
// Text forms: a type `T` becomes formattable when an ADL-visible free function
//     std::string FormatTextForm(const T&);
// exists (declare it beside `T`). Its text is rendered as by "%s", and it is
// only computed when a conversion actually names the argument.
#pragma once

#include <concepts>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace Norv {

namespace FormatDetail {

enum class ArgumentKind : std::uint8_t { Int32, UInt32, Int64, UInt64, Double, CString, Text, TextForm, Pointer };

// One argument, type-erased; it refers to the caller's object, which outlives
// the call.
struct Argument {
    ArgumentKind kind;
    union {
        std::int64_t integer;  // sign- or zero-extended as the kind says
        double real;
        const char* cString;
        struct {
            const char* data;
            std::size_t size;  // cut further at the first NUL
        } text;
        struct {
            const void* object;
            std::string (*render)(const void* object);
        } textForm;
        const void* pointer;  // only from a printf argument list ("%p")
    };
};

template <class T>
concept HasTextForm = requires(const T& value) {
    { FormatTextForm(value) } -> std::convertible_to<std::string>;
};

template <class T>
inline constexpr bool kUnsupported = false;

template <class T>
Argument MakeArgument(const T& value) {
    using U = std::remove_cv_t<T>;
    Argument argument{};
    if constexpr (std::is_same_v<U, char>) {
        argument.kind = ArgumentKind::Text;
        argument.text = {&value, 1};
    } else if constexpr (std::is_same_v<U, bool>) {
        argument.kind = ArgumentKind::Int32;
        argument.integer = value ? 1 : 0;
    } else if constexpr (std::is_integral_v<U>) {
        constexpr bool wide = sizeof(U) > 4;
        if constexpr (std::is_signed_v<U>) {
            argument.kind = wide ? ArgumentKind::Int64 : ArgumentKind::Int32;
        } else {
            argument.kind = wide ? ArgumentKind::UInt64 : ArgumentKind::UInt32;
        }
        argument.integer = static_cast<std::int64_t>(value);
    } else if constexpr (std::is_same_v<U, double> || std::is_same_v<U, float>) {
        argument.kind = ArgumentKind::Double;
        argument.real = value;
    } else if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) {
        argument.kind = ArgumentKind::CString;
        argument.cString = value;
    } else if constexpr (std::is_same_v<U, std::nullptr_t>) {
        argument.kind = ArgumentKind::CString;
        argument.cString = nullptr;
    } else if constexpr (std::is_array_v<U> && std::is_same_v<std::remove_cv_t<std::remove_extent_t<U>>, char>) {
        // A character array need not hold a NUL; never read past its end.
        argument.kind = ArgumentKind::Text;
        argument.text = {value, std::extent_v<U>};
    } else if constexpr (std::is_same_v<U, std::string> || std::is_same_v<U, std::string_view>) {
        argument.kind = ArgumentKind::Text;
        argument.text = {value.data(), value.size()};
    } else if constexpr (HasTextForm<U>) {
        argument.kind = ArgumentKind::TextForm;
        argument.textForm = {
            &value, [](const void* object) -> std::string { return FormatTextForm(*static_cast<const U*>(object)); }};
    } else {
        static_assert(kUnsupported<U>, "Format: no rendering for this argument type; give it a FormatTextForm");
    }
    return argument;
}

std::size_t FormatArguments(char* buffer, std::size_t capacity, const char* format, const Argument* arguments,
                            std::size_t count);
std::string FormatArgumentsToString(const char* format, const Argument* arguments, std::size_t count);

}  // namespace FormatDetail

// Formats into a 4096-character buffer: the result holds at most 4095 characters.
template <class... Args>
std::string Format(const char* format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return FormatDetail::FormatArgumentsToString(format, nullptr, 0);
    } else {
        const FormatDetail::Argument arguments[] = {FormatDetail::MakeArgument(args)...};
        return FormatDetail::FormatArgumentsToString(format, arguments, sizeof...(Args));
    }
}

// Writes at most capacity - 1 characters and a terminating NUL (nothing when
// capacity is 0); returns the number of characters written.
template <class... Args>
std::size_t FormatInto(char* buffer, std::size_t capacity, const char* format, const Args&... args) {
    if constexpr (sizeof...(Args) == 0) {
        return FormatDetail::FormatArguments(buffer, capacity, format, nullptr, 0);
    } else {
        const FormatDetail::Argument arguments[] = {FormatDetail::MakeArgument(args)...};
        return FormatDetail::FormatArguments(buffer, capacity, format, arguments, sizeof...(Args));
    }
}

// Formats a printf format and its argument list with the renderers above, so
// that the text never depends on the process locale; otherwise as vsnprintf
// with the same capacity. Arguments are named as printf names them (in order,
// or by "%N$"); there are no bare placeholders. A conversion that is not
// rendered here ("%n", wide characters, an unknown letter) ends the text
// where it stands, and so does a format naming more than 128 arguments.
std::size_t FormatPrintfInto(char* buffer, std::size_t capacity, const char* format, std::va_list arguments);

// Each item between two quotes, the separator between consecutive items.
std::string Join(const std::vector<std::string>& items, std::string_view separator, std::string_view quote);

}  // namespace Norv
