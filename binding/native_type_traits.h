// What both conversion directions need to know about native types: which
// containers they are, which types are registered structures, and the native
// type behind each kind that has a built-in rule.
#pragma once

#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_type_descriptor.h"
#include "binding/static_type.h"

namespace Norv::NativeType {

template <class T>
struct IsVector : std::false_type {};
template <class E>
struct IsVector<std::vector<E>> : std::true_type {};

template <class T>
struct IsMap : std::false_type {};
template <class E>
struct IsMap<std::unordered_map<std::string, E>> : std::true_type {};

// Vectors and maps; a byte vector is a blob, not a container.
template <class T>
concept Container = (IsVector<T>::value && !std::same_as<T, BindingBlob>) || IsMap<T>::value;

// A registered structure: a class with a type text that no built-in rule covers.
template <class T>
concept Structure = std::is_class_v<T> && HasStaticTypeText<T> && !std::same_as<T, std::string> &&
                    !std::same_as<T, BindingProperty> && !IsVector<T>::value && !IsMap<T>::value;

// Calls `visit.template operator()<T>()` with the native type of a kind that
// has a built-in rule (bool to blob) and returns true; false for other kinds.
template <class Visit>
bool WithScalarType(BindingTypeKind kind, Visit&& visit) {
    switch (kind) {
        case BindingTypeKind::Bool:
            visit.template operator()<bool>();
            return true;
        case BindingTypeKind::Int8:
            visit.template operator()<std::int8_t>();
            return true;
        case BindingTypeKind::UInt8:
            visit.template operator()<std::uint8_t>();
            return true;
        case BindingTypeKind::Int16:
            visit.template operator()<std::int16_t>();
            return true;
        case BindingTypeKind::UInt16:
            visit.template operator()<std::uint16_t>();
            return true;
        case BindingTypeKind::Int32:
            visit.template operator()<std::int32_t>();
            return true;
        case BindingTypeKind::UInt32:
            visit.template operator()<std::uint32_t>();
            return true;
        case BindingTypeKind::Int64:
            visit.template operator()<std::int64_t>();
            return true;
        case BindingTypeKind::UInt64:
            visit.template operator()<std::uint64_t>();
            return true;
        case BindingTypeKind::Float:
            visit.template operator()<float>();
            return true;
        case BindingTypeKind::Double:
            visit.template operator()<double>();
            return true;
        case BindingTypeKind::String:
            visit.template operator()<std::string>();
            return true;
        case BindingTypeKind::Object:
            visit.template operator()<BindingProperty>();
            return true;
        case BindingTypeKind::Blob:
            visit.template operator()<BindingBlob>();
            return true;
        default:
            return false;
    }
}

}  // namespace Norv::NativeType
