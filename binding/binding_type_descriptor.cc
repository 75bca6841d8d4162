#include "binding/binding_type_descriptor.h"

#include <algorithm>
#include <iterator>

namespace Norv {

const char* BindingTypeKindName(BindingTypeKind kind) {
    static constexpr const char* kNames[] = {"",       "bool",   "int8",   "uint8",  "int16",    "uint16", "int32",
                                             "uint32", "int64",  "uint64", "float",  "double",   "string", "object",
                                             "blob",   "vector", "enum",   "struct", "callback", "map"};
    const auto index = static_cast<std::uint32_t>(kind);
    return index < std::size(kNames) ? kNames[index] : "";
}

const BindingFieldDescriptor* BindingTypeDescriptor::findField(std::string_view fieldName) const {
    for (const BindingFieldDescriptor& field : fields) {
        if (field.name == fieldName) return &field;
    }
    return nullptr;
}

const BindingEnumValue* BindingTypeDescriptor::findValue(std::string_view valueName) const {
    auto found =
        std::lower_bound(values.begin(), values.end(), valueName,
                         [](const BindingEnumValue& value, std::string_view name) { return value.name < name; });
    return found != values.end() && found->name == valueName ? &*found : nullptr;
}

const BindingEnumValue* BindingTypeDescriptor::findValue(std::int32_t number) const {
    for (const BindingEnumValue& value : values) {
        if (value.value == number) return &value;
    }
    return nullptr;
}

bool BindingTypeDescriptor::hasTag(std::string_view tag) const {
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

}  // namespace Norv
