// The registry of the native types, events and functions a plugin exposes.
// Types are found by name or by the hash code of their static type identity;
// conversions, help, the dispatcher and the host's API table all read it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/binding_function_descriptor.h"
#include "binding/binding_type_descriptor.h"
#include "binding/static_type.h"
#include "platform/platform.h"

namespace Norv {

template <class T>
class BindingTypeBuilderFor;

// Returned by type registration. A builder for a name that was already
// registered is inactive: everything given to it is ignored, so the first
// registration of a name wins.
class BindingTypeBuilder {
public:
    BindingTypeBuilder(BindingRegistry* registry, BindingTypeDescriptor* descriptor, bool inactive)
        : registry_(registry), descriptor_(descriptor), inactive_(inactive) {}

    BindingRegistry* registry() const { return registry_; }
    BindingTypeDescriptor* descriptor() const { return descriptor_; }
    bool inactive() const { return inactive_; }

    BindingTypeBuilder& description(std::string_view text);
    BindingTypeBuilder& nameSpace(std::string_view text);
    // Ignores the empty tag.
    BindingTypeBuilder& addTag(std::string_view tag);
    // Inserts or replaces the enumerator of that name, keeping name order.
    BindingTypeBuilder& addEnumValue(std::string_view name, std::int32_t value, std::string_view description = {});
    // Appends a field; the typed builder fills these arguments from a member pointer.
    BindingTypeBuilder& addField(std::string_view name, std::string_view description, std::uint32_t offset,
                                 const StaticTypeInfo* staticType, const BindingTypeIdentifier& type,
                                 const BindingTypeIdentifier& describedType, std::uint32_t flags,
                                 std::unique_ptr<BindingFieldConverter> converter, bool custom = false);

private:
    BindingRegistry* registry_;
    BindingTypeDescriptor* descriptor_;
    bool inactive_;
};

// Returned by event registration: the event, and whether it existed before.
class BindingEventBuilder {
public:
    BindingEventBuilder(BindingEventDescriptor* event, bool existed) : event_(event), existed_(existed) {}

    BindingEventDescriptor* event() const { return event_; }
    bool existed() const { return existed_; }

    // These do nothing for an event that existed before, as for types.
    BindingEventBuilder& description(std::string_view text);
    BindingEventBuilder& nameSpace(std::string_view text);
    // Ignores the empty tag.
    BindingEventBuilder& addTag(std::string_view tag);

private:
    BindingEventDescriptor* event_;
    bool existed_;
};

class BindingRegistry {
public:
    // An empty registry; a registry that exposes the plugin's API calls
    // registerBuiltins() first.
    BindingRegistry();
    virtual ~BindingRegistry();
    BindingRegistry(const BindingRegistry&) = delete;
    BindingRegistry& operator=(const BindingRegistry&) = delete;

    // Gets or creates the type `name`. A new type is also entered in the hash
    // index under its static type's code (replacing an earlier type with that
    // code) unless the static type is void, which stands for no native type.
    // `isUnsigned` marks an enumeration whose underlying type is unsigned.
    BindingTypeBuilder registerType(std::string_view name, std::uint32_t size, const StaticTypeInfo* staticType,
                                    bool isEnum, bool isUnsigned = false);
    // The same for a native structure or enumeration T; its fields or
    // enumerators are then added from member pointers or enum values. Defined
    // in binding/binding_type_builder.h.
    template <class T>
    BindingTypeBuilderFor<T> registerType(std::string_view name);

    // Gets or creates the event `name` with that payload type.
    BindingEventBuilder registerEvent(std::string_view name, const BindingTypeDescriptor* payload);
    // The payload type is looked up by the code of its static type.
    BindingEventBuilder registerEvent(std::string_view name, const StaticTypeInfo* payloadType);
    template <class Payload>
    BindingEventBuilder registerEvent(std::string_view name) {
        return registerEvent(name, StaticTypeOf<Payload>());
    }

    // Enters a function; several functions may share a name.
    BindingFunctionDescriptor* registerFunction(std::unique_ptr<BindingFunctionDescriptor> function);

    // Lookups return null when nothing is registered; a pointer stays valid
    // while its entry is registered.
    const BindingTypeDescriptor* findType(std::string_view name) const;
    const BindingTypeDescriptor* findTypeByHash(std::uint32_t hashCode) const;
    const BindingEventDescriptor* findEvent(std::string_view name) const;
    const BindingFunctionDescriptor* findFunction(std::string_view name) const;

    // Copies taken under the lock, in name order.
    std::vector<const BindingTypeDescriptor*> types() const;
    std::vector<const BindingEventDescriptor*> events() const;
    std::vector<const BindingFunctionDescriptor*> functions() const;

    // The first enumerator of the registered enumeration `enumType` whose
    // number is `value`.
    const BindingEnumValue* findEnumValue(const StaticTypeInfo* enumType, std::int32_t value) const;
    std::optional<std::string_view> enumValueName(const StaticTypeInfo* enumType, std::int32_t value) const;

    // Removal: false (or 0) when nothing had that name. Removing a type also
    // drops its hash-index entry; removing functions counts as a change.
    bool removeType(std::string_view name);
    bool removeEvent(std::string_view name);
    std::size_t removeFunction(std::string_view name);
    // Removes every event, type and function, in that order.
    void clear();

    // Increases whenever functions are removed.
    std::uint32_t changeCount() const;

    // Registers the help types, the builtin types and the "OnCallback" event.
    // Called again, it first clears the registry, so the set stays the same.
    void registerBuiltins();
    bool builtinsRegistered() const { return builtinsRegistered_; }

private:
    template <class Value>
    using ByName = std::map<std::string, std::unique_ptr<Value>, std::less<>>;

    mutable Platform::Mutex mutex_;
    ByName<BindingTypeDescriptor> types_;
    std::unordered_map<std::uint32_t, BindingTypeDescriptor*> typesByHash_;
    ByName<BindingEventDescriptor> events_;
    std::multimap<std::string, std::unique_ptr<BindingFunctionDescriptor>, std::less<>> functions_;
    std::uint32_t changeCount_ = 0;
    bool builtinsRegistered_ = false;
};

}  // namespace Norv
