#include "binding/host_value.h"

#include <cstring>
#include <new>
#include <span>

#include "binding/binding_limits.h"
#include "binding/binding_registry.h"
#include "diagnostics/allocation_statistics.h"
#include "diagnostics/format.h"

namespace Norv {
namespace {

using Tag = HostValueTag;

void Clear(HostValue& value) {
    std::memset(&value, 0, sizeof(HostValue));
}

void* AllocateZeroed(std::size_t bytes) {
    void* block = Memory::Allocate(bytes);
    if (!block) throw std::bad_alloc();
    std::memset(block, 0, bytes);
    return block;
}

// An owned copy that keeps every byte and adds the terminating NUL.
const char* OwnedText(std::string_view text) {
    auto* copy = static_cast<char*>(AllocateZeroed(text.size() + 1));
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    return copy;
}

void Release(const void* block) {
    Memory::Release(const_cast<void*>(block));
}

void WriteText(HostValue& target, std::string_view text) {
    target.tag = HOST_VALUE_OWNED_STRING;
    target.payload.string.text = OwnedText(text);
    target.payload.string.length = static_cast<std::uint32_t>(text.size());
}

// `depth` counts the collections and structures around `source`: the host
// decides how deep its records go, and each level costs a native stack frame.
bool ReadValue(HostResult& failure, BindingProperty& target, const HostValue& source, std::string_view name,
               std::size_t depth) {
    const auto tag = static_cast<Tag>(source.tag);
    if ((tag == Tag::Collection || tag == Tag::Structure) && depth >= kMaxNestingDepth) {
        setHostError(failure, Format(kHostValueTooDeep, name, kMaxNestingDepth));
        return false;
    }
    switch (tag) {
        case Tag::Empty:
            target.reset();
            return true;
        case Tag::Bool:
            target = source.payload.boolean != 0;
            return true;
        case Tag::Signed:
            target = static_cast<std::int64_t>(source.payload.signedNumber);
            return true;
        case Tag::Unsigned:
            target = static_cast<std::uint64_t>(source.payload.unsignedNumber);
            return true;
        case Tag::Float:
            target = static_cast<double>(source.payload.floatNumber);
            return true;
        case Tag::String:
        case Tag::OwnedString:
            // Up to the NUL: the length word is not trusted. A null text reads as empty.
            target = source.payload.string.text;
            return true;
        case Tag::Blob:
        case Tag::OwnedBlob: {
            const std::uint8_t* bytes = source.payload.blob.bytes;
            target = std::span<const std::uint8_t>(bytes, bytes ? source.payload.blob.count : 0);
            return true;
        }
        case Tag::Collection: {
            const HostValue* items = source.payload.collection.items;
            const std::uint32_t count = items ? source.payload.collection.count : 0;
            target.reset();
            target.makeCollection();
            target.reserve(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                if (!ReadValue(failure, target.append(), items[i], name, depth + 1)) return false;
            }
            return true;
        }
        case Tag::Structure: {
            const HostValueMember* members = source.payload.structure.members;
            const std::uint32_t count = members ? source.payload.structure.count : 0;
            target.reset();
            target.makeStructure();
            for (std::uint32_t i = 0; i < count; ++i) {
                const char* key = members[i].key;
                if (!ReadValue(failure, target.member(key ? key : ""), members[i].value, name, depth + 1)) {
                    return false;
                }
            }
            return true;
        }
    }
    setHostError(failure, Format(kHostValueIncompatibleType, name, ""));
    return false;
}

}  // namespace

bool readHostValue(HostResult& failure, BindingProperty& target, const HostValue& source, std::string_view name) {
    return ReadValue(failure, target, source, name, 0);
}

void setHostError(HostResult& result, std::string_view message) {
    resetHostValue(result.value);
    const char* previous = result.error;
    result.error = OwnedText(message);
    result.failed = 1;
    Release(previous);
}

void writeHostValue(HostValue& target, const BindingProperty& source, const BindingRegistry* registry) {
    Clear(target);
    switch (source.kind()) {
        case BindingValueKind::Empty:
            return;
        case BindingValueKind::Bool:
            target.tag = HOST_VALUE_BOOL;
            target.payload.boolean = source.getBool() ? 1 : 0;
            return;
        case BindingValueKind::Signed:
            target.tag = HOST_VALUE_SIGNED;
            target.payload.signedNumber = source.getSigned();
            return;
        case BindingValueKind::Unsigned:
            target.tag = HOST_VALUE_UNSIGNED;
            target.payload.unsignedNumber = source.getUnsigned();
            return;
        case BindingValueKind::Float:
            target.tag = HOST_VALUE_FLOAT;
            target.payload.floatNumber = source.getFloat();
            return;
        case BindingValueKind::String:
            WriteText(target, source.getString());
            return;
        case BindingValueKind::Blob: {
            const BindingBlob& bytes = source.getBlob();
            auto* copy = static_cast<std::uint8_t*>(AllocateZeroed(bytes.size()));
            if (!bytes.empty()) std::memcpy(copy, bytes.data(), bytes.size());
            target.tag = HOST_VALUE_OWNED_BLOB;
            target.payload.blob.bytes = copy;
            target.payload.blob.count = static_cast<std::uint32_t>(bytes.size());
            return;
        }
        case BindingValueKind::Enum: {
            const BindingEnum value = source.getEnum();
            if (registry) {
                if (auto name = registry->enumValueName(value.type, value.value)) {
                    WriteText(target, *name);
                    return;
                }
            }
            target.tag = HOST_VALUE_SIGNED;
            target.payload.signedNumber = value.value;
            return;
        }
        case BindingValueKind::Collection: {
            const std::span<const BindingProperty> elements = source.elements();
            auto* items = static_cast<HostValue*>(AllocateZeroed(elements.size() * sizeof(HostValue)));
            // Owned from here on, so a reset after a failed allocation frees what was written.
            target.tag = HOST_VALUE_COLLECTION;
            target.payload.collection.items = items;
            target.payload.collection.count = static_cast<std::uint32_t>(elements.size());
            for (std::size_t i = 0; i < elements.size(); ++i) writeHostValue(items[i], elements[i], registry);
            return;
        }
        case BindingValueKind::Structure: {
            const BindingMemberRange members = source.members();
            auto* records = static_cast<HostValueMember*>(AllocateZeroed(members.size() * sizeof(HostValueMember)));
            target.tag = HOST_VALUE_STRUCTURE;
            target.payload.structure.members = records;
            target.payload.structure.count = static_cast<std::uint32_t>(members.size());
            HostValueMember* record = records;
            for (const BindingMember member : members) {
                record->key = OwnedText(member.name);
                record->ownsKey = 1;
                writeHostValue(record->value, member.value, registry);
                ++record;
            }
            return;
        }
    }
}

void resetHostValue(HostValue& value) {
    switch (static_cast<Tag>(value.tag)) {
        case Tag::OwnedString:
            Release(value.payload.string.text);
            break;
        case Tag::OwnedBlob:
            Release(value.payload.blob.bytes);
            break;
        case Tag::Collection: {
            HostValue* items = value.payload.collection.items;
            const std::uint32_t count = items ? value.payload.collection.count : 0;
            for (std::uint32_t i = 0; i < count; ++i) resetHostValue(items[i]);
            Release(items);
            break;
        }
        case Tag::Structure: {
            HostValueMember* members = value.payload.structure.members;
            const std::uint32_t count = members ? value.payload.structure.count : 0;
            for (std::uint32_t i = 0; i < count; ++i) {
                if (members[i].ownsKey) Release(members[i].key);
                resetHostValue(members[i].value);
            }
            Release(members);
            break;
        }
        default:
            break;
    }
    Clear(value);
}

void resetHostResult(HostResult& result) {
    resetHostValue(result.value);
    Release(result.error);
    result.error = nullptr;
    result.failed = 0;
}

}  // namespace Norv
