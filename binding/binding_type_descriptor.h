// Descriptors of the native types, fields, enumerators and events that a
// BindingRegistry holds. Conversions walk them to move data between native
// memory and BindingProperty trees; help and the host's API table print them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/static_type.h"

namespace Norv {

class BindingProperty;
class BindingResult;
class BindingRegistry;
struct BindingTypeDescriptor;

// The kind of a field, parameter or return value. The numbers cross the host
// boundary unchanged.
enum class BindingTypeKind : std::uint32_t {
    None = 0,
    Bool = 1,
    Int8 = 2,
    UInt8 = 3,
    Int16 = 4,
    UInt16 = 5,
    Int32 = 6,
    UInt32 = 7,
    Int64 = 8,
    UInt64 = 9,
    Float = 10,
    Double = 11,
    String = 12,
    Object = 13,  // a BindingProperty held as is
    Blob = 14,    // a byte vector
    Vector = 15,
    Enum = 16,
    Struct = 17,
    Callback = 18,
    Map = 19,  // string keys
};

// "bool" ... "map"; "" for 0 and for numbers above 19.
const char* BindingTypeKindName(BindingTypeKind kind);

constexpr bool IsBindingContainerKind(BindingTypeKind kind) {
    return kind == BindingTypeKind::Vector || kind == BindingTypeKind::Map;
}

// The type of a field, parameter or return value. `descriptor` names the struct
// or enum type, or the element type of a vector or map of them (the innermost
// element's, when containers nest); vector and map types are never registered
// themselves.
struct BindingTypeIdentifier {
    BindingTypeKind kind = BindingTypeKind::None;
    BindingTypeKind elementKind = BindingTypeKind::None;
    const BindingTypeDescriptor* descriptor = nullptr;
    // Only when elementKind is itself a vector or map: the kinds below it,
    // outermost first, ending with the innermost element's kind. Static data,
    // shared by every registry; without it a map of vectors could not say
    // what the vectors hold.
    const BindingTypeKind* nestedKinds = nullptr;

    // The identifier of one element of a vector or map.
    BindingTypeIdentifier elementType() const {
        if (!nestedKinds) return {elementKind, BindingTypeKind::None, descriptor};
        return {elementKind, nestedKinds[0], descriptor,
                IsBindingContainerKind(nestedKinds[0]) ? nestedKinds + 1 : nullptr};
    }
    friend bool operator==(const BindingTypeIdentifier&, const BindingTypeIdentifier&) = default;
};

// Field flags.
constexpr std::uint32_t kBindingFieldOptional = 1u << 0;  // left out of a value when it isZero
constexpr std::uint32_t kBindingFieldRequired = 1u << 1;  // an input without it fails

// Moves one field between its native form and a BindingProperty. Every field
// owns one; conversions use it for custom fields and for kinds without a
// built-in rule. Both operations follow the conversion rules: nothing happens
// to the message of an already failed result, and a failure is recorded with
// BindingResult::setError.
class BindingFieldConverter {
public:
    BindingFieldConverter() = default;
    BindingFieldConverter(const BindingFieldConverter&) = delete;
    BindingFieldConverter& operator=(const BindingFieldConverter&) = delete;

    // Assigns `input` to the native field at `target`; `name` is the value's
    // name in messages, `registry` finds enumerator names (may be null).
    virtual void assign(BindingResult& result, void* target, const BindingProperty& input,
                        const BindingTypeIdentifier& type, std::string_view name,
                        const BindingRegistry* registry) const = 0;
    // Converts the native field at `source` into result's value.
    virtual void toValue(BindingResult& result, const void* source, const BindingTypeIdentifier& type) const = 0;

    virtual ~BindingFieldConverter() = default;
};

struct BindingFieldDescriptor {
    std::string name;
    std::uint32_t nameHash = 0;
    std::string description;
    const StaticTypeInfo* staticType = nullptr;
    std::uint32_t offset = 0;
    BindingTypeIdentifier type;
    // When its kind is non-zero, what the host's API table shows instead of
    // `type`; conversions and help always use `type`.
    BindingTypeIdentifier describedType;
    std::uint32_t flags = 0;
    std::unique_ptr<BindingFieldConverter> converter;
    const BindingTypeDescriptor* owner = nullptr;
    // Both conversions go through `converter` instead of the built-in rules.
    bool custom = false;

    bool isOptional() const { return (flags & kBindingFieldOptional) != 0; }
    bool isRequired() const { return (flags & kBindingFieldRequired) != 0; }
};

struct BindingEnumValue {
    std::int32_t value = 0;
    std::string name;
    std::string description;
    const BindingTypeDescriptor* owner = nullptr;
};

// One registered structure or enumeration, owned by its registry.
struct BindingTypeDescriptor {
    BindingTypeDescriptor() = default;
    BindingTypeDescriptor(const BindingTypeDescriptor&) = delete;
    BindingTypeDescriptor& operator=(const BindingTypeDescriptor&) = delete;

    std::uint32_t size = 0;  // native size in bytes
    bool isEnum = false;
    // An enumeration with an unsigned underlying type: its 1- and 2-byte values
    // are read zero-extended, as the enumerators were registered.
    bool isUnsigned = false;
    std::string name;
    std::uint32_t hashCode = 0;
    const StaticTypeInfo* staticType = nullptr;
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
    std::vector<BindingFieldDescriptor> fields;  // registration order
    std::vector<BindingEnumValue> values;        // ascending by name, byte-wise
    BindingRegistry* registry = nullptr;

    const BindingFieldDescriptor* findField(std::string_view fieldName) const;
    const BindingEnumValue* findValue(std::string_view valueName) const;
    // The first enumerator with that number, or null.
    const BindingEnumValue* findValue(std::int32_t number) const;
    bool hasTag(std::string_view tag) const;
};

struct BindingEventDescriptor {
    BindingEventDescriptor() = default;
    BindingEventDescriptor(const BindingEventDescriptor&) = delete;
    BindingEventDescriptor& operator=(const BindingEventDescriptor&) = delete;

    std::string name;
    const BindingTypeDescriptor* type = nullptr;  // null when the payload type is not registered
    std::string nameSpace;
    std::string description;
    std::vector<std::string> tags;
};

}  // namespace Norv
