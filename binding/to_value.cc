#include "binding/to_value.h"

#include <cstring>

namespace Norv {
namespace ToValueDetail {
namespace {

// The enumerator number, read with the width of the enumeration's native
// size and the signedness of its underlying type, the way its enumerators and
// the elements of its vectors became numbers.
std::int32_t ReadEnum(const void* source, std::uint32_t width, bool isUnsigned) {
    switch (width) {
        case 1: {
            std::uint8_t value;
            std::memcpy(&value, source, 1);
            return isUnsigned ? value : static_cast<std::int8_t>(value);
        }
        case 2: {
            std::uint16_t value;
            std::memcpy(&value, source, 2);
            return isUnsigned ? value : static_cast<std::int16_t>(value);
        }
        case 4:
        case 8: {
            // Little-endian: the low 32 bits of an 8-byte enumeration come first.
            std::int32_t value;
            std::memcpy(&value, source, 4);
            return value;
        }
        default:
            return 0;
    }
}

bool HasBuiltInRule(const BindingTypeIdentifier& type) {
    const auto builtIn = [](BindingTypeKind kind) {
        return kind >= BindingTypeKind::Bool && kind <= BindingTypeKind::Blob;
    };
    switch (type.kind) {
        case BindingTypeKind::Enum:
        case BindingTypeKind::Struct:
            return true;
        case BindingTypeKind::Vector:
        case BindingTypeKind::Map:
            return builtIn(type.elementKind);
        default:
            return builtIn(type.kind);
    }
}

// Through the field's converter object, which fills a result of its own.
void ConverterInto(BindingResult& result, BindingProperty& out, const void* source, const BindingTypeIdentifier& type,
                   const BindingFieldDescriptor* field) {
    if (!field || !field->converter) {
        result.setError(ToValueMessage::kUnregisteredStructure);
        return;
    }
    BindingResult inner;
    field->converter->toValue(inner, source, type);
    if (!inner.ok()) {
        result.setError(inner.error());
        return;
    }
    out = std::move(inner.value);
}

}  // namespace

void valueInto(BindingResult& result, BindingProperty& out, const void* source, const BindingTypeIdentifier& type,
               const BindingFieldDescriptor* field) {
    if ((field && field->custom) || !HasBuiltInRule(type)) {
        ConverterInto(result, out, source, type, field);
        return;
    }
    switch (type.kind) {
        case BindingTypeKind::Enum:
            if (!type.descriptor) {
                result.setError(ToValueMessage::kUnregisteredStructure);
                return;
            }
            out = BindingEnum{ReadEnum(source, type.descriptor->size, type.descriptor->isUnsigned),
                              type.descriptor->staticType};
            return;
        case BindingTypeKind::Struct:
            structInto(result, out, source, type.descriptor);
            return;
        case BindingTypeKind::Vector:
            NativeType::WithScalarType(type.elementKind, [&]<class E>() {
                nativeInto(result, out, *static_cast<const std::vector<E>*>(source), nullptr);
            });
            return;
        case BindingTypeKind::Map:
            NativeType::WithScalarType(type.elementKind, [&]<class E>() {
                nativeInto(result, out, *static_cast<const std::unordered_map<std::string, E>*>(source), nullptr);
            });
            return;
        default:
            NativeType::WithScalarType(
                type.kind, [&]<class T>() { nativeInto(result, out, *static_cast<const T*>(source), nullptr); });
            return;
    }
}

void structInto(BindingResult& result, BindingProperty& out, const void* source,
                const BindingTypeDescriptor* descriptor) {
    if (!descriptor) {
        result.setError(ToValueMessage::kUnregisteredStructure);
        return;
    }
    out.reset();
    out.makeStructure();
    const auto* base = static_cast<const unsigned char*>(source);
    // Optional fields are produced aside first: only a value that is not zero
    // becomes a member. One scratch root serves every such field.
    BindingProperty scratch;
    for (const BindingFieldDescriptor& field : descriptor->fields) {
        const void* fieldSource = base + field.offset;
        const HashedName name(field.name, field.nameHash);
        if (!field.isOptional()) {
            valueInto(result, out.member(name), fieldSource, field.type, &field);
            if (!result.ok()) return;
            continue;
        }
        valueInto(result, scratch, fieldSource, field.type, &field);
        if (!result.ok()) return;
        if (!scratch.isZero()) out.member(name) = scratch;
        scratch.reset();
    }
}

}  // namespace ToValueDetail

void toValue(BindingResult& result, const void* source, const BindingTypeIdentifier& type,
             const BindingFieldDescriptor* field) {
    if (!result.ok()) return;
    ToValueDetail::valueInto(result, result.value, source, type, field);
}

void structToValue(BindingResult& result, const void* source, const BindingTypeDescriptor* descriptor) {
    if (!result.ok()) return;
    ToValueDetail::structInto(result, result.value, source, descriptor);
}

void toValue(BindingResult& result, const char* source) {
    if (!result.ok()) return;
    result.value = source;
}

bool structToValue(BindingProperty& output, const void* source, const StaticTypeInfo& type,
                   const BindingRegistry& registry, std::string* error) {
    const BindingTypeDescriptor* descriptor = registry.findTypeByHash(type.hashCode);
    if (!descriptor) return false;
    BindingResult converted;
    structToValue(converted, source, descriptor);
    if (!converted.ok()) {
        if (error) error->assign(converted.error());
        return false;
    }
    output = std::move(converted.value);
    return true;
}

}  // namespace Norv
