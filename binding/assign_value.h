// Filling native values from BindingProperty trees: scalars, strings, blobs,
// enumerations, registered structures, vectors and maps. Conversions never
// throw on bad input; the first failure goes into the BindingResult with its
// fixed message and every later step does nothing.
#pragma once

#include <concepts>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_registry.h"
#include "binding/binding_type_descriptor.h"
#include "binding/native_type_traits.h"
#include "binding/static_type.h"
#include "diagnostics/format.h"

namespace Norv {

// The messages of the conversions (format texts for Format).
namespace AssignMessage {
inline constexpr const char* kRequired = "A value for '%1' is required.";
inline constexpr const char* kBoolInvalidType =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";
inline constexpr const char* kBoolFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", \"1\", \"0\".";
inline constexpr const char* kInvalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";
inline constexpr const char* kOutOfRange = "Value %1 for '%2' of type %3 is out of range";
inline constexpr const char* kFormat = "Value %1 for '%2' of type %3 is in an incorrect format";
inline constexpr const char* kNotEnumValue = "%1 is not a valid %2 enumeration value for '%3'.";
inline constexpr const char* kEnumInvalidType =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";
inline constexpr const char* kNotString = "Couldn't assign value to '%1' because the input is not a string.";
inline constexpr const char* kNoEnumerator = "%1 is not a valid enumeration value for '%2'.";
inline constexpr const char* kNotBlob = "Couldn't assign value to '%1' of type blob because the input is not a blob.";
inline constexpr const char* kInvalidBase64 =
    "Couldn't assign string value to '%1' of type blob because the input has invalid base64 characters.";
inline constexpr const char* kUnregisteredStructure =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a structure at all.";
inline constexpr const char* kNotStructure =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";
inline constexpr const char* kMissingField =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required field '%3'.";
inline constexpr const char* kNotCollection =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
inline constexpr const char* kMapNotStructure =
    "Couldn't assign value to '%1' of type map because the input not a structure.";
}  // namespace AssignMessage

// The number rules with caller-given bounds and type name, for readers that
// convert text with them (a YAML int, say). Each returns 0 after a failure.
std::int64_t convertSigned(BindingResult& result, const BindingProperty& input, std::int64_t min, std::int64_t max,
                           std::string_view name, std::string_view typeName);
std::uint64_t convertUnsigned(BindingResult& result, const BindingProperty& input, std::uint64_t max,
                              std::string_view name, std::string_view typeName);
double convertFloating(BindingResult& result, const BindingProperty& input, double max, std::string_view name,
                       std::string_view typeName);

// Typed entries, one per native scalar type. `name` is what messages call the value.
void assignValue(BindingResult& result, bool& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, std::int8_t& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, std::uint8_t& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, std::int16_t& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, std::uint16_t& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, std::int32_t& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, std::uint32_t& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, std::int64_t& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, std::uint64_t& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, float& target, const BindingProperty& input, std::string_view name);
void assignValue(BindingResult& result, double& target, const BindingProperty& input, std::string_view name);
// An Enum input becomes its enumerator's name, found through `registry`.
void assignValue(BindingResult& result, std::string& target, const BindingProperty& input, std::string_view name,
                 const BindingRegistry* registry = nullptr);
void assignValue(BindingResult& result, BindingBlob& target, const BindingProperty& input, std::string_view name);
// Never fails: a deep copy.
void assignValue(BindingResult& result, BindingProperty& target, const BindingProperty& input, std::string_view name);

// Integer types that are none of the fixed-width ones (long on some targets)
// take the rule of the fixed-width type of their size and signedness.
template <std::integral T>
requires(!std::same_as<T, bool> && !std::same_as<T, std::int8_t> && !std::same_as<T, std::uint8_t> &&
         !std::same_as<T, std::int16_t> && !std::same_as<T, std::uint16_t> && !std::same_as<T, std::int32_t> &&
         !std::same_as<T, std::uint32_t> && !std::same_as<T, std::int64_t> &&
         !std::same_as<T, std::uint64_t>) void assignValue(BindingResult& result, T& target,
                                                           const BindingProperty& input, std::string_view name) {
    using Fixed = std::conditional_t<
        sizeof(T) == 1, std::conditional_t<std::is_signed_v<T>, std::int8_t, std::uint8_t>,
        std::conditional_t<
            sizeof(T) == 2, std::conditional_t<std::is_signed_v<T>, std::int16_t, std::uint16_t>,
            std::conditional_t<sizeof(T) == 4, std::conditional_t<std::is_signed_v<T>, std::int32_t, std::uint32_t>,
                               std::conditional_t<std::is_signed_v<T>, std::int64_t, std::uint64_t>>>>;
    Fixed value{};
    assignValue(result, value, input, name);
    target = static_cast<T>(value);
}

// The descriptor-driven rules, on native memory laid out as the descriptor says.

// Top-level entry for a registered structure: an Empty input is "required".
void assignStruct(BindingResult& result, void* target, const BindingProperty& input,
                  const BindingTypeDescriptor* descriptor, std::string_view name);
// The structure rule without the top-level Empty test (fields, elements).
void assignStructFields(BindingResult& result, void* target, const BindingProperty& input,
                        const BindingTypeDescriptor* descriptor, std::string_view name);
// The enum rule; the number is stored with the width of the descriptor's size.
void assignEnum(BindingResult& result, void* target, const BindingProperty& input,
                const BindingTypeDescriptor* descriptor, std::string_view name);
// The enum rule's verdict without storing: the number to store, 0 after a failure.
std::int32_t convertEnum(BindingResult& result, const BindingProperty& input, const BindingTypeDescriptor* descriptor,
                         std::string_view name);

// Dispatch by the target's type. `field` (optional) supplies the converter
// object for custom fields and for kinds without a built-in rule.
void assignValue(BindingResult& result, void* target, const BindingProperty& input, const BindingTypeIdentifier& type,
                 std::string_view name, const BindingRegistry* registry, const BindingFieldDescriptor* field = nullptr);

template <class E>
void assignValue(BindingResult& result, std::vector<E>& target, const BindingProperty& input, std::string_view name,
                 const BindingRegistry* registry = nullptr, const BindingTypeDescriptor* elementDescriptor = nullptr);
template <class E>
void assignValue(BindingResult& result, std::unordered_map<std::string, E>& target, const BindingProperty& input,
                 std::string_view name, const BindingRegistry* registry = nullptr,
                 const BindingTypeDescriptor* elementDescriptor = nullptr);

// One native value of any supported type, as a converter object or a vector
// element sees it: `descriptor` is the struct or enum descriptor (of the
// elements, for vectors and maps).
template <class M>
void assignNative(BindingResult& result, M& target, const BindingProperty& input, std::string_view name,
                  const BindingRegistry* registry, const BindingTypeDescriptor* descriptor) {
    if constexpr (std::is_enum_v<M>) {
        target = static_cast<M>(convertEnum(result, input, descriptor, name));
    } else if constexpr (NativeType::Structure<M>) {
        assignStructFields(result, &target, input, descriptor, name);
    } else if constexpr (NativeType::Container<M>) {
        assignValue(result, target, input, name, registry, descriptor);
    } else if constexpr (std::same_as<M, std::string>) {
        assignValue(result, target, input, name, registry);
    } else {
        assignValue(result, target, input, name);
    }
}

template <class E>
void assignValue(BindingResult& result, std::vector<E>& target, const BindingProperty& input, std::string_view name,
                 const BindingRegistry* registry, const BindingTypeDescriptor* elementDescriptor) {
    target.clear();
    if (!result.ok()) return;
    if (input.kind() != BindingValueKind::Collection) {
        // A missing list of flags reads as a missing value rather than a wrong one.
        const bool required = std::same_as<E, bool> && input.isEmpty();
        result.setError(Format(required ? AssignMessage::kRequired : AssignMessage::kNotCollection, name));
        return;
    }
    const std::span<const BindingProperty> elements = input.elements();
    target.resize(elements.size());
    for (std::size_t i = 0; i < elements.size() && result.ok(); ++i) {
        if (elements[i].isEmpty()) continue;
        if constexpr (std::same_as<E, bool>) {
            bool flag = false;
            assignValue(result, flag, elements[i], name);
            target[i] = flag;
        } else {
            assignNative(result, target[i], elements[i], name, registry, elementDescriptor);
        }
    }
}

template <class E>
void assignValue(BindingResult& result, std::unordered_map<std::string, E>& target, const BindingProperty& input,
                 std::string_view name, const BindingRegistry* registry,
                 const BindingTypeDescriptor* elementDescriptor) {
    target.clear();
    if (!result.ok()) return;
    if (input.kind() != BindingValueKind::Structure) {
        result.setError(Format(AssignMessage::kMapNotStructure, name));
        return;
    }
    target.reserve(input.size());
    for (const BindingMember member : input.members()) {
        if (!result.ok()) break;
        if (member.value.isEmpty()) continue;
        assignNative(result, target[std::string(member.name)], member.value, name, registry, elementDescriptor);
    }
}

// A registered structure found by its static type in `registry`; a type that
// is not registered fails as an unregistered structure.
template <NativeType::Structure S>
void assignStruct(BindingResult& result, S& target, const BindingProperty& input, const BindingRegistry& registry,
                  std::string_view name) {
    assignStruct(result, &target, input, registry.findTypeByHash(StaticType::HashCode<S>()), name);
}

}  // namespace Norv
