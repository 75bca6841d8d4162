// Static type identity: a 32-bit code and a printable name for every native
// type the binding system handles, without run-time type information. The code
// hashes the type's spelled-out text, so a type has the same code in every
// module and every build; the registry keys native types by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/text_hash.h"

namespace Norv {

class BindingProperty;

// One record per native type, built at compile time and never freed. `name`
// points either at `anonymousName` (identity record) or at the signature text
// (signature record, diagnostics only; its buffer stays zero).
struct StaticTypeInfo {
    std::uint32_t hashCode;
    const char* name;
    char anonymousName[10];

    // Identity record: the name is "#" and the code as eight upper-case hex digits.
    constexpr explicit StaticTypeInfo(std::uint32_t code) : hashCode(code), name(anonymousName), anonymousName{} {
        constexpr char kDigits[] = "0123456789ABCDEF";
        anonymousName[0] = '#';
        for (int i = 0; i < 8; ++i) {
            anonymousName[1 + i] = kDigits[(code >> (28 - 4 * i)) & 0xFu];
        }
    }
    // Signature record.
    constexpr StaticTypeInfo(std::uint32_t code, const char* signature)
        : hashCode(code), name(signature), anonymousName{} {}

    StaticTypeInfo(const StaticTypeInfo&) = delete;
    StaticTypeInfo& operator=(const StaticTypeInfo&) = delete;
};

// A text of fixed length usable in constant expressions; `size()` excludes the
// terminating NUL that `data()` always carries.
template <std::size_t N>
struct FixedText {
    char chars[N + 1] = {};

    constexpr FixedText() = default;
    constexpr FixedText(const char (&text)[N + 1]) {
        for (std::size_t i = 0; i < N; ++i) chars[i] = text[i];
    }
    constexpr const char* data() const { return chars; }
    static constexpr std::size_t size() { return N; }
    constexpr std::string_view view() const { return {chars, N}; }
    constexpr char back() const { return N == 0 ? '\0' : chars[N - 1]; }
};
template <std::size_t M>
FixedText(const char (&)[M]) -> FixedText<M - 1>;

template <std::size_t A, std::size_t B>
constexpr FixedText<A + B> operator+(const FixedText<A>& a, const FixedText<B>& b) {
    FixedText<A + B> joined;
    for (std::size_t i = 0; i < A; ++i) joined.chars[i] = a.chars[i];
    for (std::size_t i = 0; i < B; ++i) joined.chars[A + i] = b.chars[i];
    return joined;
}
template <std::size_t A, std::size_t M>
constexpr auto operator+(const FixedText<A>& a, const char (&b)[M]) {
    return a + FixedText<M - 1>(b);
}
template <std::size_t M, std::size_t B>
constexpr auto operator+(const char (&a)[M], const FixedText<B>& b) {
    return FixedText<M - 1>(a) + b;
}

// The type text of T: the form the Windows compiler prints for T inside a
// function signature ("int", "struct Norv::Resource", "class std::vector<int,
// class std::allocator<int> >"). The codes published to the host hash these
// texts, so they are spelled out here rather than taken from the local compiler.
//
// A structure, class or enumeration gets its text in one of two ways:
//   - a member `static constexpr FixedText kStaticTypeText{"struct Norv::Foo"};`
//   - a specialisation of StaticTypeText (the only way for enumerations):
//       template <> struct StaticTypeText<Foo> { static constexpr FixedText value{"enum Norv::Foo"}; };
template <class T>
struct StaticTypeText;

template <class T>
concept HasStaticTypeText = requires {
    StaticTypeText<std::remove_cv_t<T>>::value.view();
};

template <class T>
concept DeclaresStaticTypeText = requires {
    T::kStaticTypeText.view();
};

template <DeclaresStaticTypeText T>
struct StaticTypeText<T> {
    static constexpr auto value = T::kStaticTypeText;
};

namespace StaticTypeDetail {

// Integers are named by width and signedness as the Windows compiler names the
// type of that width, so std::int64_t has one text (and code) on every target
// whether the local compiler calls it long or long long.
template <class T>
constexpr auto FundamentalText() {
    constexpr bool isSigned = std::is_signed_v<T>;
    if constexpr (std::is_void_v<T>) {
        return FixedText("void");
    } else if constexpr (std::is_same_v<T, bool>) {
        return FixedText("bool");
    } else if constexpr (std::is_same_v<T, char>) {
        return FixedText("char");
    } else if constexpr (std::is_same_v<T, wchar_t>) {
        return FixedText("wchar_t");
    } else if constexpr (std::is_same_v<T, char8_t>) {
        return FixedText("char8_t");
    } else if constexpr (std::is_same_v<T, char16_t>) {
        return FixedText("char16_t");
    } else if constexpr (std::is_same_v<T, char32_t>) {
        return FixedText("char32_t");
    } else if constexpr (std::is_same_v<T, float>) {
        return FixedText("float");
    } else if constexpr (std::is_same_v<T, double>) {
        return FixedText("double");
    } else if constexpr (std::is_same_v<T, long double>) {
        return FixedText("long double");
    } else if constexpr (sizeof(T) == 1 && isSigned) {
        return FixedText("signed char");
    } else if constexpr (sizeof(T) == 1) {
        return FixedText("unsigned char");
    } else if constexpr (sizeof(T) == 2 && isSigned) {
        return FixedText("short");
    } else if constexpr (sizeof(T) == 2) {
        return FixedText("unsigned short");
    } else if constexpr (std::is_same_v<T, long> && sizeof(T) == 4) {
        return FixedText("long");
    } else if constexpr (std::is_same_v<T, unsigned long> && sizeof(T) == 4) {
        return FixedText("unsigned long");
    } else if constexpr (sizeof(T) == 4 && isSigned) {
        return FixedText("int");
    } else if constexpr (sizeof(T) == 4) {
        return FixedText("unsigned int");
    } else if constexpr (sizeof(T) == 8 && isSigned) {
        return FixedText("__int64");
    } else {
        static_assert(sizeof(T) == 8, "no type text for this fundamental type");
        return FixedText("unsigned __int64");
    }
}

// "name<a,b>" with a blank between two closing angle brackets.
template <FixedText Open, FixedText Arguments>
constexpr auto CloseTemplate() {
    if constexpr (Arguments.back() == '>') {
        return Open + Arguments + " >";
    } else {
        return Open + Arguments + ">";
    }
}

}  // namespace StaticTypeDetail

template <class T>
concept PlainFundamental = (std::is_arithmetic_v<T> || std::is_void_v<T>)&&!std::is_const_v<T> &&
                           !std::is_volatile_v<T>;

template <PlainFundamental T>
struct StaticTypeText<T> {
    static constexpr auto value = StaticTypeDetail::FundamentalText<T>();
};

template <>
struct StaticTypeText<std::string> {
    static constexpr FixedText value{
        "class std::basic_string<char,struct std::char_traits<char>,class std::allocator<char> >"};
};

template <>
struct StaticTypeText<BindingProperty> {
    static constexpr FixedText value{"class Norv::BindingProperty"};
};

template <HasStaticTypeText T>
struct StaticTypeText<std::vector<T>> {
    static constexpr auto value = [] {
        using namespace StaticTypeDetail;
        constexpr auto element = StaticTypeText<T>::value;
        constexpr auto allocator = CloseTemplate<FixedText("class std::allocator<"), element>();
        return CloseTemplate<FixedText("class std::vector<"), element + "," + allocator>();
    }();
};

// The map kind: string keys, any registered element type.
template <HasStaticTypeText T>
struct StaticTypeText<std::unordered_map<std::string, T>> {
    static constexpr auto value = [] {
        using namespace StaticTypeDetail;
        constexpr auto key = StaticTypeText<std::string>::value;
        constexpr auto element = StaticTypeText<T>::value;
        constexpr auto hash = CloseTemplate<FixedText("struct std::hash<"), key>();
        constexpr auto equal = CloseTemplate<FixedText("struct std::equal_to<"), key>();
        // The Windows compiler writes a const-qualified key as "<type> const ".
        constexpr auto pair = CloseTemplate<FixedText("struct std::pair<"), key + " const ," + element>();
        constexpr auto allocator = CloseTemplate<FixedText("class std::allocator<"), pair>();
        return CloseTemplate<FixedText("class std::unordered_map<"),
                             key + "," + element + "," + hash + "," + equal + "," + allocator>();
    }();
};

namespace StaticType {

// The code of a type text: FNV-1a of "unsigned int __cdecl StaticType::HashCode<" + text + ">(void)".
constexpr std::uint32_t HashCodeOfText(std::string_view typeText) {
    constexpr std::string_view kPrefix = "unsigned int __cdecl StaticType::HashCode<";
    constexpr std::string_view kSuffix = ">(void)";
    std::uint32_t hash = kTextHashBasis;
    for (std::string_view part : {kPrefix, typeText, kSuffix}) {
        for (char c : part) hash = (hash ^ static_cast<std::uint8_t>(c)) * kTextHashPrime;
    }
    return hash;
}

template <HasStaticTypeText T>
inline constexpr std::uint32_t kHashCode = HashCodeOfText(StaticTypeText<std::remove_cv_t<T>>::value.view());

template <HasStaticTypeText T>
inline constexpr auto kNameText =
    "const char *__cdecl StaticType::Name<" + StaticTypeText<std::remove_cv_t<T>>::value + ">(void)";

template <HasStaticTypeText T>
constexpr std::uint32_t HashCode() {
    return kHashCode<T>;
}

// The signature text of T, for diagnostics.
template <HasStaticTypeText T>
constexpr const char* Name() {
    return kNameText<std::remove_cv_t<T>>.data();
}

template <HasStaticTypeText T>
inline constinit const StaticTypeInfo kIdentity{kHashCode<T>};

template <HasStaticTypeText T>
inline constinit const StaticTypeInfo kSignature{kHashCode<T>, kNameText<T>.data()};

// The identity record of T (name "#XXXXXXXX"), used by the registry, type
// identifiers, enum values and conversions. Two calls give the same record.
template <HasStaticTypeText T>
constexpr const StaticTypeInfo& Identity() {
    return kIdentity<std::remove_cv_t<T>>;
}

// The signature record of T (name = the signature text), for messages.
template <HasStaticTypeText T>
constexpr const StaticTypeInfo& Signature() {
    return kSignature<std::remove_cv_t<T>>;
}

}  // namespace StaticType

// Shorthand for the identity record's address, the form descriptors store.
template <class T>
constexpr const StaticTypeInfo* StaticTypeOf() {
    return &StaticType::Identity<T>();
}

}  // namespace Norv
