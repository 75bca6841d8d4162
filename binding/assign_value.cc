#include "binding/assign_value.h"

#include <array>
#include <cmath>
#include <cstring>
#include <limits>

#include "binding/binding_registry.h"
#include "binding/native_type_traits.h"
#include "binding/number_parse.h"
#include "diagnostics/format.h"
#include "formats/base64.h"

namespace Norv {
namespace {

using Kind = BindingValueKind;
namespace Message = AssignMessage;

// Powers of two at which a double stops fitting a 64-bit integer: the bounds
// INT64_MAX and UINT64_MAX round up to them when converted to double, so the
// bound tests alone would let them through to an undefined conversion.
constexpr double kTwoTo63 = 9223372036854775808.0;
constexpr double kTwoTo64 = 18446744073709551616.0;

bool IsBase64Text(std::string_view text) {
    for (char c : text) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '+' && c != '/' && c != '=') return false;
    }
    return true;
}

void Fail(BindingResult& result, const std::string& message) {
    result.setError(message);
}

template <class T>
T ConvertInteger(BindingResult& result, const BindingProperty& input, std::string_view name) {
    constexpr const char* kTypeNames[2][4] = {{"uint8", "uint16", "uint32", "uint64"},
                                              {"int8", "int16", "int32", "int64"}};
    constexpr int kWidthIndex = sizeof(T) == 1 ? 0 : sizeof(T) == 2 ? 1 : sizeof(T) == 4 ? 2 : 3;
    const char* typeName = kTypeNames[std::is_signed_v<T> ? 1 : 0][kWidthIndex];
    if constexpr (std::is_signed_v<T>) {
        return static_cast<T>(
            convertSigned(result, input, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), name, typeName));
    } else {
        return static_cast<T>(convertUnsigned(result, input, std::numeric_limits<T>::max(), name, typeName));
    }
}

void StoreEnum(void* target, std::uint32_t width, std::int32_t value) {
    switch (width) {
        case 1: {
            const auto narrow = static_cast<std::int8_t>(value);
            std::memcpy(target, &narrow, 1);
            break;
        }
        case 2: {
            const auto narrow = static_cast<std::int16_t>(value);
            std::memcpy(target, &narrow, 2);
            break;
        }
        case 4:
            std::memcpy(target, &value, 4);
            break;
        case 8: {
            const auto wide = static_cast<std::int64_t>(value);
            std::memcpy(target, &wide, 8);
            break;
        }
        default:
            break;  // no native width: leave the target alone
    }
}

// The members of a small input structure in a little open-addressed table,
// keyed by length and first and last byte, so that most fields are found with
// one probe and one text comparison instead of a walk down the member tree
// with a text comparison at every node. Larger inputs use the tree.
class MemberLookup {
public:
    explicit MemberLookup(const BindingProperty& input) : input_(input) {
        if (input.size() > kMaxIndexed) return;
        slots_.fill(0);
        std::uint8_t count = 0;
        for (const BindingMember member : input.members()) {
            const std::uint32_t key = Key(member.name);
            std::size_t slot = Slot(key);
            while (slots_[slot] != 0) slot = (slot + 1) % kSlots;
            entries_[count] = {key, member.name.size(), member.name.data(), &member.value};
            slots_[slot] = ++count;
        }
        indexed_ = true;
    }

    const BindingProperty& find(const BindingFieldDescriptor& field) const {
        if (!indexed_) return input_.get(field.name);
        const std::string_view name = field.name;
        const std::uint32_t key = Key(name);
        for (std::size_t slot = Slot(key); slots_[slot] != 0; slot = (slot + 1) % kSlots) {
            const Entry& entry = entries_[slots_[slot] - 1];
            if (entry.key == key && SameText(std::string_view(entry.text, entry.size), name)) return *entry.value;
        }
        return BindingProperty::EmptyValue();
    }

private:
    static constexpr std::size_t kMaxIndexed = 32;
    static constexpr std::size_t kSlots = 128;  // at most a quarter full
    // Trivial, so that the array below costs nothing until an entry is set.
    struct Entry {
        std::uint32_t key;
        std::size_t size;
        const char* text;
        const BindingProperty* value;
    };

    static std::uint32_t Key(std::string_view name) {
        if (name.empty()) return 0;
        return static_cast<std::uint32_t>(name.size()) << 16 ^ static_cast<std::uint32_t>(name.front()) << 8 ^
               static_cast<std::uint8_t>(name.back());
    }
    static std::size_t Slot(std::uint32_t key) { return (key * 2654435761u) >> 25; }

    template <class Word>
    static Word WordAt(std::string_view text, std::size_t at) {
        Word word;
        std::memcpy(&word, text.data() + at, sizeof(Word));
        return word;
    }
    // Member names are short: two overlapping words cover 4 to 16 bytes.
    static bool SameText(std::string_view a, std::string_view b) {
        const std::size_t n = a.size();
        if (n != b.size()) return false;
        if (n >= 8 && n <= 16) {
            return WordAt<std::uint64_t>(a, 0) == WordAt<std::uint64_t>(b, 0) &&
                   WordAt<std::uint64_t>(a, n - 8) == WordAt<std::uint64_t>(b, n - 8);
        }
        if (n >= 4 && n < 8) {
            return WordAt<std::uint32_t>(a, 0) == WordAt<std::uint32_t>(b, 0) &&
                   WordAt<std::uint32_t>(a, n - 4) == WordAt<std::uint32_t>(b, n - 4);
        }
        return a == b;
    }

    const BindingProperty& input_;
    std::array<std::uint8_t, kSlots> slots_;  // entry number + 1; 0 is free
    std::array<Entry, kMaxIndexed> entries_;  // only those the slots name are set
    bool indexed_ = false;
};

bool NamesEnumerator(const BindingTypeDescriptor& descriptor, std::int64_t number) {
    return number >= std::numeric_limits<std::int32_t>::min() && number <= std::numeric_limits<std::int32_t>::max() &&
           descriptor.findValue(static_cast<std::int32_t>(number)) != nullptr;
}

}  // namespace

std::int64_t convertSigned(BindingResult& result, const BindingProperty& input, std::int64_t min, std::int64_t max,
                           std::string_view name, std::string_view typeName) {
    if (!result.ok()) return 0;
    switch (input.kind()) {
        case Kind::Empty:
            Fail(result, Format(Message::kRequired, name));
            return 0;
        case Kind::Signed: {
            const std::int64_t value = input.getSigned();
            if (value >= min && value <= max) return value;
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0;
        }
        case Kind::Unsigned: {
            const std::uint64_t value = input.getUnsigned();
            if (max >= 0 && value <= static_cast<std::uint64_t>(max)) return static_cast<std::int64_t>(value);
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0;
        }
        case Kind::Float: {
            const double value = input.getFloat();
            // Written so that NaN fails too.
            if (value >= static_cast<double>(min) && value <= static_cast<double>(max) && value < kTwoTo63) {
                return static_cast<std::int64_t>(value);
            }
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0;
        }
        case Kind::String: {
            const std::string_view text = input.getString();
            std::int64_t value = 0;
            const NumberParseStatus status = ParseSigned(text, value);
            if (status == NumberParseStatus::Format) {
                Fail(result, Format(Message::kFormat, text, name, typeName));
                return 0;
            }
            if (status == NumberParseStatus::Range || value < min || value > max) {
                Fail(result, Format(Message::kOutOfRange, text, name, typeName));
                return 0;
            }
            return value;
        }
        case Kind::Enum: {
            const std::int32_t value = input.getEnum().value;
            if (value >= min && value <= max) return value;
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0;
        }
        default:
            Fail(result, Format(Message::kInvalidType, name, typeName, input.kindName()));
            return 0;
    }
}

std::uint64_t convertUnsigned(BindingResult& result, const BindingProperty& input, std::uint64_t max,
                              std::string_view name, std::string_view typeName) {
    if (!result.ok()) return 0;
    switch (input.kind()) {
        case Kind::Empty:
            Fail(result, Format(Message::kRequired, name));
            return 0;
        case Kind::Signed: {
            const std::int64_t value = input.getSigned();
            if (value >= 0 && static_cast<std::uint64_t>(value) <= max) return static_cast<std::uint64_t>(value);
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0;
        }
        case Kind::Unsigned: {
            const std::uint64_t value = input.getUnsigned();
            if (value <= max) return value;
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0;
        }
        case Kind::Float: {
            const double value = input.getFloat();
            if (value >= 0.0 && value <= static_cast<double>(max) && value < kTwoTo64) {
                return static_cast<std::uint64_t>(value);
            }
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0;
        }
        case Kind::String: {
            const std::string_view text = input.getString();
            std::uint64_t value = 0;
            const NumberParseStatus status = ParseUnsigned(text, value);
            if (status == NumberParseStatus::Format) {
                Fail(result, Format(Message::kFormat, text, name, typeName));
                return 0;
            }
            if (status == NumberParseStatus::Range || value > max) {
                Fail(result, Format(Message::kOutOfRange, text, name, typeName));
                return 0;
            }
            return value;
        }
        case Kind::Enum: {
            const std::int32_t value = input.getEnum().value;
            if (value >= 0 && static_cast<std::uint64_t>(value) <= max) return static_cast<std::uint64_t>(value);
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0;
        }
        default:
            Fail(result, Format(Message::kInvalidType, name, typeName, input.kindName()));
            return 0;
    }
}

double convertFloating(BindingResult& result, const BindingProperty& input, double max, std::string_view name,
                       std::string_view typeName) {
    if (!result.ok()) return 0.0;
    switch (input.kind()) {
        case Kind::Empty:
            Fail(result, Format(Message::kRequired, name));
            return 0.0;
        case Kind::Signed:
            return static_cast<double>(input.getSigned());
        case Kind::Unsigned:
            return static_cast<double>(input.getUnsigned());
        case Kind::Enum:
            return input.getEnum().value;
        case Kind::Float: {
            const double value = input.getFloat();
            // NaN passes and is kept; infinities are out of range.
            if (!(value < -max || value > max)) return value;
            Fail(result, Format(Message::kOutOfRange, value, name, typeName));
            return 0.0;
        }
        case Kind::String: {
            const std::string_view text = input.getString();
            double value = 0.0;
            const NumberParseStatus status = ParseDouble(text, value);
            if (status == NumberParseStatus::Format) {
                Fail(result, Format(Message::kFormat, text, name, typeName));
                return 0.0;
            }
            if (status == NumberParseStatus::Range || value < -max || value > max) {
                Fail(result, Format(Message::kOutOfRange, text, name, typeName));
                return 0.0;
            }
            return value;
        }
        default:
            Fail(result, Format(Message::kInvalidType, name, typeName, input.kindName()));
            return 0.0;
    }
}

void assignValue(BindingResult& result, bool& target, const BindingProperty& input, std::string_view name) {
    target = false;
    if (!result.ok()) return;
    switch (input.kind()) {
        case Kind::Empty:
            Fail(result, Format(Message::kRequired, name));
            return;
        case Kind::Bool:
            target = input.getBool();
            return;
        case Kind::String: {
            const std::string_view text = input.getString();
            if (text == "1" || text == "true") {
                target = true;
            } else if (text != "0" && text != "false") {
                Fail(result, Format(Message::kBoolFormat, text, name));
            }
            return;
        }
        default:
            Fail(result, Format(Message::kBoolInvalidType, name, input.kindName()));
            return;
    }
}

void assignValue(BindingResult& result, std::int8_t& target, const BindingProperty& input, std::string_view name) {
    target = ConvertInteger<std::int8_t>(result, input, name);
}
void assignValue(BindingResult& result, std::uint8_t& target, const BindingProperty& input, std::string_view name) {
    target = ConvertInteger<std::uint8_t>(result, input, name);
}
void assignValue(BindingResult& result, std::int16_t& target, const BindingProperty& input, std::string_view name) {
    target = ConvertInteger<std::int16_t>(result, input, name);
}
void assignValue(BindingResult& result, std::uint16_t& target, const BindingProperty& input, std::string_view name) {
    target = ConvertInteger<std::uint16_t>(result, input, name);
}
void assignValue(BindingResult& result, std::int32_t& target, const BindingProperty& input, std::string_view name) {
    target = ConvertInteger<std::int32_t>(result, input, name);
}
void assignValue(BindingResult& result, std::uint32_t& target, const BindingProperty& input, std::string_view name) {
    target = ConvertInteger<std::uint32_t>(result, input, name);
}
void assignValue(BindingResult& result, std::int64_t& target, const BindingProperty& input, std::string_view name) {
    target = ConvertInteger<std::int64_t>(result, input, name);
}
void assignValue(BindingResult& result, std::uint64_t& target, const BindingProperty& input, std::string_view name) {
    target = ConvertInteger<std::uint64_t>(result, input, name);
}

void assignValue(BindingResult& result, float& target, const BindingProperty& input, std::string_view name) {
    target = static_cast<float>(convertFloating(result, input, std::numeric_limits<float>::max(), name, "float"));
}

void assignValue(BindingResult& result, double& target, const BindingProperty& input, std::string_view name) {
    target = convertFloating(result, input, std::numeric_limits<double>::max(), name, "double");
}

void assignValue(BindingResult& result, std::string& target, const BindingProperty& input, std::string_view name,
                 const BindingRegistry* registry) {
    target.clear();
    if (!result.ok()) return;
    switch (input.kind()) {
        case Kind::Empty:
            Fail(result, Format(Message::kRequired, name));
            return;
        case Kind::String:
            target.assign(input.getString());
            return;
        case Kind::Enum: {
            const BindingEnum value = input.getEnum();
            if (registry) {
                if (auto enumerator = registry->enumValueName(value.type, value.value)) {
                    target.assign(*enumerator);
                    return;
                }
            }
            Fail(result, Format(Message::kNoEnumerator, value.value, name));
            return;
        }
        default:
            Fail(result, Format(Message::kNotString, name));
            return;
    }
}

void assignValue(BindingResult& result, BindingBlob& target, const BindingProperty& input, std::string_view name) {
    target.clear();
    if (!result.ok()) return;
    switch (input.kind()) {
        case Kind::Empty:
            Fail(result, Format(Message::kRequired, name));
            return;
        case Kind::Blob:
            target = input.getBlob();
            return;
        case Kind::String: {
            const std::string_view text = input.getString();
            if (!IsBase64Text(text)) {
                Fail(result, Format(Message::kInvalidBase64, name));
                return;
            }
            target = Base64Decode(text);
            return;
        }
        default:
            Fail(result, Format(Message::kNotBlob, name));
            return;
    }
}

void assignValue(BindingResult& result, BindingProperty& target, const BindingProperty& input, std::string_view) {
    if (!result.ok() || input.isEmpty()) {
        target.reset();
        return;
    }
    target = input;
}

std::int32_t convertEnum(BindingResult& result, const BindingProperty& input, const BindingTypeDescriptor* descriptor,
                         std::string_view name) {
    if (!result.ok()) return 0;
    if (!descriptor) {
        Fail(result, Format(Message::kUnregisteredStructure, name));
        return 0;
    }
    switch (input.kind()) {
        case Kind::Empty:
            Fail(result, Format(Message::kRequired, name));
            return 0;
        case Kind::Signed:
        case Kind::Unsigned: {
            // Only the low 32 bits name the enumerator; the message shows the whole number.
            const std::uint64_t bits =
                input.kind() == Kind::Signed ? static_cast<std::uint64_t>(input.getSigned()) : input.getUnsigned();
            const auto number = static_cast<std::int32_t>(static_cast<std::uint32_t>(bits));
            if (descriptor->findValue(number)) return number;
            if (input.kind() == Kind::Signed) {
                Fail(result, Format(Message::kNotEnumValue, input.getSigned(), descriptor->name, name));
            } else {
                Fail(result, Format(Message::kNotEnumValue, input.getUnsigned(), descriptor->name, name));
            }
            return 0;
        }
        case Kind::String: {
            const std::string_view text = input.getString();
            if (const BindingEnumValue* named = descriptor->findValue(text)) return named->value;
            std::int64_t number = 0;
            if (ParseSigned(text, number) == NumberParseStatus::Ok && NamesEnumerator(*descriptor, number)) {
                return static_cast<std::int32_t>(number);
            }
            Fail(result, Format(Message::kNotEnumValue, text, descriptor->name, name));
            return 0;
        }
        case Kind::Enum: {
            const std::int32_t number = input.getEnum().value;
            if (descriptor->findValue(number)) return number;
            Fail(result, Format(Message::kNotEnumValue, number, descriptor->name, name));
            return 0;
        }
        default:
            Fail(result, Format(Message::kEnumInvalidType, name, input.kindName()));
            return 0;
    }
}

void assignEnum(BindingResult& result, void* target, const BindingProperty& input,
                const BindingTypeDescriptor* descriptor, std::string_view name) {
    const std::int32_t number = convertEnum(result, input, descriptor, name);
    if (descriptor) StoreEnum(target, descriptor->size, number);
}

void assignStructFields(BindingResult& result, void* target, const BindingProperty& input,
                        const BindingTypeDescriptor* descriptor, std::string_view name) {
    if (!result.ok()) return;
    if (!descriptor) {
        Fail(result, Format(Message::kUnregisteredStructure, name));
        return;
    }
    if (input.kind() != Kind::Structure) {
        Fail(result, Format(Message::kNotStructure, name, descriptor->name));
        return;
    }
    auto* base = static_cast<unsigned char*>(target);
    const MemberLookup members(input);
    for (const BindingFieldDescriptor& field : descriptor->fields) {
        if (!result.ok()) return;
        const BindingProperty& member = members.find(field);
        if (!member.isEmpty()) {
            assignValue(result, base + field.offset, member, field.type, field.name, descriptor->registry, &field);
        } else if (field.isRequired()) {
            Fail(result, Format(Message::kMissingField, name, descriptor->name, field.name));
        }
    }
}

void assignStruct(BindingResult& result, void* target, const BindingProperty& input,
                  const BindingTypeDescriptor* descriptor, std::string_view name) {
    if (result.ok() && input.isEmpty()) {
        Fail(result, Format(Message::kRequired, name));
        return;
    }
    assignStructFields(result, target, input, descriptor, name);
}

void assignValue(BindingResult& result, void* target, const BindingProperty& input, const BindingTypeIdentifier& type,
                 std::string_view name, const BindingRegistry* registry, const BindingFieldDescriptor* field) {
    if (field && field->custom) {
        if (field->converter) field->converter->assign(result, target, input, type, name, registry);
        return;
    }
    switch (type.kind) {
        case BindingTypeKind::Enum:
            return assignEnum(result, target, input, type.descriptor, name);
        case BindingTypeKind::Struct:
            return assignStructFields(result, target, input, type.descriptor, name);
        case BindingTypeKind::Vector:
            if (NativeType::WithScalarType(type.elementKind, [&]<class E>() {
                    assignValue(result, *static_cast<std::vector<E>*>(target), input, name, registry);
                })) {
                return;
            }
            break;
        case BindingTypeKind::Map:
            if (NativeType::WithScalarType(type.elementKind, [&]<class E>() {
                    assignValue(result, *static_cast<std::unordered_map<std::string, E>*>(target), input, name,
                                registry);
                })) {
                return;
            }
            break;
        default:
            if (NativeType::WithScalarType(type.kind, [&]<class T>() {
                    assignNative(result, *static_cast<T*>(target), input, name, registry, nullptr);
                })) {
                return;
            }
            break;
    }
    // Elements that are structures, enumerations or containers, and callbacks:
    // only the field's converter knows their native form.
    if (field && field->converter) {
        field->converter->assign(result, target, input, type, name, registry);
    } else if (result.ok()) {
        Fail(result, Format(Message::kUnregisteredStructure, name));
    }
}

}  // namespace Norv
