// Turning native values into BindingProperty trees: scalars, strings, blobs,
// enumerations (with their static type), registered structures, vectors and
// maps. The only failure of its own is a structure nobody registered; failures
// of converter objects pass through unchanged.
#pragma once

#include <concepts>
#include <cstdint>
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

namespace Norv {

namespace ToValueMessage {
inline constexpr const char* kUnregisteredStructure =
    "Couldn't convert native value because it's an unregistered structure.";
}  // namespace ToValueMessage

// The descriptor-driven rules. Every entry does nothing on a result that has
// already failed; on success result.value holds the produced value.
void toValue(BindingResult& result, const void* source, const BindingTypeIdentifier& type,
             const BindingFieldDescriptor* field = nullptr);
void structToValue(BindingResult& result, const void* source, const BindingTypeDescriptor* descriptor);

namespace ToValueDetail {

// These write into `out`, a value that may sit inside result.value. After a
// failure result.value has been reset, so `out` must not be touched again.
void valueInto(BindingResult& result, BindingProperty& out, const void* source, const BindingTypeIdentifier& type,
               const BindingFieldDescriptor* field);
void structInto(BindingResult& result, BindingProperty& out, const void* source,
                const BindingTypeDescriptor* descriptor);

template <class M>
void nativeInto(BindingResult& result, BindingProperty& out, const M& source, const BindingTypeDescriptor* descriptor) {
    if constexpr (std::same_as<M, float>) {
        out = static_cast<double>(source);
    } else if constexpr (std::is_arithmetic_v<M> || std::same_as<M, std::string> || std::same_as<M, BindingBlob> ||
                         std::same_as<M, BindingProperty>) {
        out = source;
    } else if constexpr (std::is_enum_v<M>) {
        out = BindingEnum{static_cast<std::int32_t>(source), &StaticType::Identity<M>()};
    } else if constexpr (NativeType::IsVector<M>::value) {
        out.reset();
        out.makeCollection();
        out.reserve(source.size());
        for (auto&& item : source) {
            const typename M::value_type& element = item;  // a vector<bool> item is a proxy
            nativeInto(result, out.append(), element, descriptor);
            if (!result.ok()) return;
        }
    } else if constexpr (NativeType::IsMap<M>::value) {
        out.reset();
        out.makeStructure();
        for (const auto& [key, value] : source) {
            nativeInto(result, out.member(key), value, descriptor);
            if (!result.ok()) return;
        }
    } else {
        static_assert(NativeType::Structure<M>, "no conversion for this native type");
        structInto(result, out, &source, descriptor);
    }
}

}  // namespace ToValueDetail

// Typed entries: any supported native type. `descriptor` is the structure's
// descriptor (of the elements, for vectors and maps of structures).
template <class M>
void toValue(BindingResult& result, const M& source, const BindingTypeDescriptor* descriptor = nullptr) {
    if (!result.ok()) return;
    ToValueDetail::nativeInto(result, result.value, source, descriptor);
}
// A C string is text, not a bool.
void toValue(BindingResult& result, const char* source);

// A registered structure known by its static type. False, with no message and
// `output` untouched, when the type is not registered or the conversion fails;
// `error`, when given, receives the failure's message.
bool structToValue(BindingProperty& output, const void* source, const StaticTypeInfo& type,
                   const BindingRegistry& registry, std::string* error = nullptr);
template <NativeType::Structure S>
bool structToValue(BindingProperty& output, const S& source, const BindingRegistry& registry,
                   std::string* error = nullptr) {
    return structToValue(output, &source, StaticType::Identity<S>(), registry, error);
}

}  // namespace Norv
