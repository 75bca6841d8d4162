// Declaring a native structure or enumeration for a registry from the C++
// type itself: the member pointer gives the offset, the static type, the kind
// and the converter, so a declaration reads like the structure it describes:
//
//   registry.registerType<Point>("Point")
//       .description("A point.")
//       .addTag("geometry")
//       .addField("x", &Point::x, "Abscissa")
//       .addField("y", &Point::y, "Ordinate", kBindingFieldRequired);
//
//   registry.registerType<Color>("Color").addEnumValue("Red", Color::Red).addEnumValue("Blue", Color::Blue);
//
// T needs a type text (see binding/static_type.h). Struct and enum members and
// elements refer to their registered descriptors, so register element types
// first: one registered later leaves the field with a null descriptor.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/native_field_converter.h"
#include "binding/static_type.h"

namespace Norv {

namespace BindingTypeDetail {

template <class M>
struct VectorElement {
    using type = void;
};
template <class E>
struct VectorElement<std::vector<E>> {
    using type = E;
};
template <class M>
struct MapElement {
    using type = void;
};
template <class E>
struct MapElement<std::unordered_map<std::string, E>> {
    using type = E;
};

template <class M>
constexpr BindingTypeKind IntegerKind() {
    constexpr bool isSigned = std::is_signed_v<M>;
    if constexpr (sizeof(M) == 1) return isSigned ? BindingTypeKind::Int8 : BindingTypeKind::UInt8;
    if constexpr (sizeof(M) == 2) return isSigned ? BindingTypeKind::Int16 : BindingTypeKind::UInt16;
    if constexpr (sizeof(M) == 4) return isSigned ? BindingTypeKind::Int32 : BindingTypeKind::UInt32;
    if constexpr (sizeof(M) == 8) return isSigned ? BindingTypeKind::Int64 : BindingTypeKind::UInt64;
    return BindingTypeKind::None;
}

template <class M>
inline constexpr bool kAlwaysFalse = false;

}  // namespace BindingTypeDetail

// The binding kind of a native member type; a compile error for types the
// conversions cannot handle.
template <class M>
constexpr BindingTypeKind NativeBindingKind() {
    using namespace BindingTypeDetail;
    if constexpr (std::is_same_v<M, bool>) {
        return BindingTypeKind::Bool;
    } else if constexpr (std::is_integral_v<M>) {
        return IntegerKind<M>();
    } else if constexpr (std::is_same_v<M, float>) {
        return BindingTypeKind::Float;
    } else if constexpr (std::is_same_v<M, double>) {
        return BindingTypeKind::Double;
    } else if constexpr (std::is_same_v<M, std::string>) {
        return BindingTypeKind::String;
    } else if constexpr (std::is_same_v<M, BindingProperty>) {
        return BindingTypeKind::Object;
    } else if constexpr (std::is_same_v<M, std::vector<std::uint8_t>>) {
        return BindingTypeKind::Blob;
    } else if constexpr (!std::is_void_v<typename VectorElement<M>::type>) {
        return BindingTypeKind::Vector;
    } else if constexpr (!std::is_void_v<typename MapElement<M>::type>) {
        return BindingTypeKind::Map;
    } else if constexpr (std::is_enum_v<M> && HasStaticTypeText<M>) {
        return BindingTypeKind::Enum;
    } else if constexpr (std::is_class_v<M> && HasStaticTypeText<M>) {
        return BindingTypeKind::Struct;
    } else {
        static_assert(kAlwaysFalse<M>, "no binding kind for this member type (does it have a type text?)");
        return BindingTypeKind::None;
    }
}

namespace BindingTypeDetail {

// The element type of a vector or map; M itself for anything else.
template <class M>
struct ElementOf {
    using type = M;
};
template <class M>
requires(IsBindingContainerKind(NativeBindingKind<M>())) struct ElementOf<M> {
    using type = std::conditional_t<NativeBindingKind<M>() == BindingTypeKind::Vector, typename VectorElement<M>::type,
                                    typename MapElement<M>::type>;
};

// What containers nested in M hold at the bottom.
template <class M>
struct Innermost {
    using type = M;
};
template <class M>
requires(IsBindingContainerKind(NativeBindingKind<M>())) struct Innermost<M> {
    using type = typename Innermost<typename ElementOf<M>::type>::type;
};

// The kinds of M, its element, the element's element and so on, down to the
// first kind that is not a container.
template <class M>
constexpr std::size_t KindChainLength() {
    if constexpr (IsBindingContainerKind(NativeBindingKind<M>())) {
        return 1 + KindChainLength<typename ElementOf<M>::type>();
    } else {
        return 1;
    }
}
template <class M>
constexpr std::array<BindingTypeKind, KindChainLength<M>()> KindChain() {
    std::array<BindingTypeKind, KindChainLength<M>()> chain{};
    chain[0] = NativeBindingKind<M>();
    if constexpr (IsBindingContainerKind(NativeBindingKind<M>())) {
        const auto rest = KindChain<typename ElementOf<M>::type>();
        for (std::size_t i = 0; i < rest.size(); ++i) chain[i + 1] = rest[i];
    }
    return chain;
}
template <class M>
inline constexpr auto kKindChain = KindChain<M>();

}  // namespace BindingTypeDetail

// The type identifier of a native member type. Struct and enum descriptors,
// of the member itself or of the innermost elements of (nested) vectors and
// maps, are looked up by static type code and stay null while that type is
// not registered.
template <class M>
BindingTypeIdentifier NativeTypeIdentifier(const BindingRegistry& registry) {
    using namespace BindingTypeDetail;
    constexpr BindingTypeKind kind = NativeBindingKind<M>();
    BindingTypeIdentifier type{kind, BindingTypeKind::None, nullptr};
    if constexpr (kind == BindingTypeKind::Enum || kind == BindingTypeKind::Struct) {
        type.descriptor = registry.findTypeByHash(StaticType::HashCode<M>());
    } else if constexpr (IsBindingContainerKind(kind)) {
        using Element = typename ElementOf<M>::type;
        using Inner = typename Innermost<M>::type;
        type.elementKind = NativeBindingKind<Element>();
        if constexpr (NativeBindingKind<Inner>() == BindingTypeKind::Enum ||
                      NativeBindingKind<Inner>() == BindingTypeKind::Struct) {
            type.descriptor = registry.findTypeByHash(StaticType::HashCode<Inner>());
        }
        if constexpr (IsBindingContainerKind(NativeBindingKind<Element>())) {
            type.nestedKinds = kKindChain<Element>.data() + 1;
        }
    }
    return type;
}

// Byte offset of a data member, computed without constructing a T.
template <class T, class M>
std::uint32_t MemberOffset(M T::*member) {
    alignas(T) static const unsigned char storage[sizeof(T)] = {};
    const T* object = reinterpret_cast<const T*>(storage);
    return static_cast<std::uint32_t>(reinterpret_cast<const unsigned char*>(&(object->*member)) - storage);
}

// Typed view of a BindingTypeBuilder for the native type T.
template <class T>
class BindingTypeBuilderFor {
public:
    explicit BindingTypeBuilderFor(BindingTypeBuilder builder) : builder_(builder) {}

    BindingTypeBuilder& untyped() { return builder_; }
    BindingTypeDescriptor* descriptor() const { return builder_.descriptor(); }
    bool inactive() const { return builder_.inactive(); }

    BindingTypeBuilderFor& description(std::string_view text) {
        builder_.description(text);
        return *this;
    }
    BindingTypeBuilderFor& nameSpace(std::string_view text) {
        builder_.nameSpace(text);
        return *this;
    }
    BindingTypeBuilderFor& addTag(std::string_view tag) {
        builder_.addTag(tag);
        return *this;
    }

    // A field converted by the built-in rules of its kind. `describedType`,
    // when its kind is non-zero, is what the host's API table shows instead.
    template <class M, std::same_as<T> U = T>
    BindingTypeBuilderFor& addField(std::string_view name, M U::*member, std::string_view description = {},
                                    std::uint32_t flags = 0, const BindingTypeIdentifier& describedType = {}) {
        if (inactive()) return *this;
        builder_.addField(name, description, MemberOffset(member), StaticTypeOf<M>(),
                          NativeTypeIdentifier<M>(*builder_.registry()), describedType, flags,
                          MakeNativeFieldConverter<M>());
        return *this;
    }

    // A field that both conversions hand to `converter` (callbacks, say).
    template <class M, std::same_as<T> U = T>
    BindingTypeBuilderFor& addCustomField(std::string_view name, M U::*member, const BindingTypeIdentifier& type,
                                          std::unique_ptr<BindingFieldConverter> converter,
                                          std::string_view description = {}, std::uint32_t flags = 0) {
        if (inactive()) return *this;
        const StaticTypeInfo* staticType = nullptr;
        if constexpr (HasStaticTypeText<M>) staticType = StaticTypeOf<M>();
        builder_.addField(name, description, MemberOffset(member), staticType, type, {}, flags, std::move(converter),
                          true);
        return *this;
    }

    BindingTypeBuilderFor& addEnumValue(std::string_view name, T value, std::string_view description = {}) {
        static_assert(std::is_enum_v<T>, "enumerators belong to enumerations");
        builder_.addEnumValue(name, static_cast<std::int32_t>(value), description);
        return *this;
    }

private:
    BindingTypeBuilder builder_;
};

template <class T>
constexpr bool IsUnsignedEnum() {
    if constexpr (std::is_enum_v<T>) {
        return std::is_unsigned_v<std::underlying_type_t<T>>;
    } else {
        return false;
    }
}

template <class T>
BindingTypeBuilderFor<T> BindingRegistry::registerType(std::string_view name) {
    static_assert(std::is_class_v<T> || std::is_enum_v<T>, "only structures and enumerations are registered");
    return BindingTypeBuilderFor<T>(registerType(name, static_cast<std::uint32_t>(sizeof(T)), StaticTypeOf<T>(),
                                                 std::is_enum_v<T>, IsUnsignedEnum<T>()));
}

}  // namespace Norv
