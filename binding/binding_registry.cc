#include "binding/binding_registry.h"

#include <algorithm>
#include <mutex>

namespace Norv {

namespace {

void AppendTag(std::vector<std::string>& tags, std::string_view tag) {
    if (!tag.empty()) tags.emplace_back(tag);
}

}  // namespace

BindingTypeBuilder& BindingTypeBuilder::description(std::string_view text) {
    if (!inactive_) descriptor_->description = text;
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::nameSpace(std::string_view text) {
    if (!inactive_) descriptor_->nameSpace = text;
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::addTag(std::string_view tag) {
    if (!inactive_) AppendTag(descriptor_->tags, tag);
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::addEnumValue(std::string_view name, std::int32_t value,
                                                     std::string_view description) {
    if (inactive_) return *this;
    std::vector<BindingEnumValue>& values = descriptor_->values;
    auto place = std::lower_bound(values.begin(), values.end(), name,
                                  [](const BindingEnumValue& entry, std::string_view key) { return entry.name < key; });
    if (place == values.end() || place->name != name) {
        place = values.insert(place, BindingEnumValue{});
        place->name = name;
    }
    place->value = value;
    place->description = description;
    place->owner = descriptor_;
    return *this;
}

BindingTypeBuilder& BindingTypeBuilder::addField(std::string_view name, std::string_view description,
                                                 std::uint32_t offset, const StaticTypeInfo* staticType,
                                                 const BindingTypeIdentifier& type,
                                                 const BindingTypeIdentifier& describedType, std::uint32_t flags,
                                                 std::unique_ptr<BindingFieldConverter> converter, bool custom) {
    if (inactive_) return *this;
    BindingFieldDescriptor& field = descriptor_->fields.emplace_back();
    field.name = name;
    field.nameHash = HashText(name);
    field.description = description;
    field.staticType = staticType;
    field.offset = offset;
    field.type = type;
    if (describedType.kind != BindingTypeKind::None) field.describedType = describedType;
    field.flags = flags;
    field.converter = std::move(converter);
    field.owner = descriptor_;
    field.custom = custom;
    return *this;
}

BindingEventBuilder& BindingEventBuilder::description(std::string_view text) {
    if (!existed_) event_->description = text;
    return *this;
}

BindingEventBuilder& BindingEventBuilder::nameSpace(std::string_view text) {
    if (!existed_) event_->nameSpace = text;
    return *this;
}

BindingEventBuilder& BindingEventBuilder::addTag(std::string_view tag) {
    if (!existed_) AppendTag(event_->tags, tag);
    return *this;
}

BindingRegistry::BindingRegistry() = default;

BindingRegistry::~BindingRegistry() {
    clear();
}

BindingTypeBuilder BindingRegistry::registerType(std::string_view name, std::uint32_t size,
                                                 const StaticTypeInfo* staticType, bool isEnum, bool isUnsigned) {
    std::lock_guard lock(mutex_);
    if (auto found = types_.find(name); found != types_.end()) {
        return BindingTypeBuilder(this, found->second.get(), true);
    }
    auto descriptor = std::make_unique<BindingTypeDescriptor>();
    descriptor->size = size;
    descriptor->isEnum = isEnum;
    descriptor->isUnsigned = isEnum && isUnsigned;
    descriptor->name = name;
    descriptor->hashCode = staticType ? staticType->hashCode : 0;
    descriptor->staticType = staticType;
    descriptor->registry = this;
    BindingTypeDescriptor* created = descriptor.get();
    types_.emplace(std::string(name), std::move(descriptor));
    if (staticType && staticType->hashCode != StaticType::HashCode<void>()) {
        typesByHash_[staticType->hashCode] = created;
    }
    return BindingTypeBuilder(this, created, false);
}

BindingEventBuilder BindingRegistry::registerEvent(std::string_view name, const BindingTypeDescriptor* payload) {
    std::lock_guard lock(mutex_);
    if (auto found = events_.find(name); found != events_.end()) {
        return BindingEventBuilder(found->second.get(), true);
    }
    auto event = std::make_unique<BindingEventDescriptor>();
    event->name = name;
    event->type = payload;
    BindingEventDescriptor* created = event.get();
    events_.emplace(std::string(name), std::move(event));
    return BindingEventBuilder(created, false);
}

BindingEventBuilder BindingRegistry::registerEvent(std::string_view name, const StaticTypeInfo* payloadType) {
    return registerEvent(name, payloadType ? findTypeByHash(payloadType->hashCode) : nullptr);
}

BindingFunctionDescriptor* BindingRegistry::registerFunction(std::unique_ptr<BindingFunctionDescriptor> function) {
    std::lock_guard lock(mutex_);
    function->registry = this;
    BindingFunctionDescriptor* entered = function.get();
    std::string name = function->name;
    functions_.emplace(std::move(name), std::move(function));
    return entered;
}

const BindingTypeDescriptor* BindingRegistry::findType(std::string_view name) const {
    std::lock_guard lock(mutex_);
    auto found = types_.find(name);
    return found != types_.end() ? found->second.get() : nullptr;
}

const BindingTypeDescriptor* BindingRegistry::findTypeByHash(std::uint32_t hashCode) const {
    std::lock_guard lock(mutex_);
    auto found = typesByHash_.find(hashCode);
    return found != typesByHash_.end() ? found->second : nullptr;
}

const BindingEventDescriptor* BindingRegistry::findEvent(std::string_view name) const {
    std::lock_guard lock(mutex_);
    auto found = events_.find(name);
    return found != events_.end() ? found->second.get() : nullptr;
}

const BindingFunctionDescriptor* BindingRegistry::findFunction(std::string_view name) const {
    std::lock_guard lock(mutex_);
    auto found = functions_.find(name);
    return found != functions_.end() ? found->second.get() : nullptr;
}

namespace {

template <class Value, class Map>
std::vector<const Value*> Snapshot(const Map& entries) {
    std::vector<const Value*> copy;
    copy.reserve(entries.size());
    for (const auto& entry : entries) copy.push_back(entry.second.get());
    return copy;
}

}  // namespace

std::vector<const BindingTypeDescriptor*> BindingRegistry::types() const {
    std::lock_guard lock(mutex_);
    return Snapshot<BindingTypeDescriptor>(types_);
}

std::vector<const BindingEventDescriptor*> BindingRegistry::events() const {
    std::lock_guard lock(mutex_);
    return Snapshot<BindingEventDescriptor>(events_);
}

std::vector<const BindingFunctionDescriptor*> BindingRegistry::functions() const {
    std::lock_guard lock(mutex_);
    return Snapshot<BindingFunctionDescriptor>(functions_);
}

const BindingEnumValue* BindingRegistry::findEnumValue(const StaticTypeInfo* enumType, std::int32_t value) const {
    if (!enumType) return nullptr;
    const BindingTypeDescriptor* descriptor = findTypeByHash(enumType->hashCode);
    return descriptor ? descriptor->findValue(value) : nullptr;
}

std::optional<std::string_view> BindingRegistry::enumValueName(const StaticTypeInfo* enumType,
                                                               std::int32_t value) const {
    const BindingEnumValue* found = findEnumValue(enumType, value);
    if (!found) return std::nullopt;
    return std::string_view(found->name);
}

bool BindingRegistry::removeType(std::string_view name) {
    std::lock_guard lock(mutex_);
    auto found = types_.find(name);
    if (found == types_.end()) return false;
    BindingTypeDescriptor* descriptor = found->second.get();
    // The index may by now hold a later type with the same code; that entry is
    // kept on purpose, since erasing it would leave a registered type that its
    // code no longer finds.
    if (auto indexed = typesByHash_.find(descriptor->hashCode);
        indexed != typesByHash_.end() && indexed->second == descriptor) {
        typesByHash_.erase(indexed);
    }
    types_.erase(found);
    return true;
}

bool BindingRegistry::removeEvent(std::string_view name) {
    std::lock_guard lock(mutex_);
    auto found = events_.find(name);
    if (found == events_.end()) return false;
    events_.erase(found);
    return true;
}

std::size_t BindingRegistry::removeFunction(std::string_view name) {
    std::lock_guard lock(mutex_);
    auto [first, last] = functions_.equal_range(name);
    const auto removed = static_cast<std::size_t>(std::distance(first, last));
    if (removed == 0) return 0;
    functions_.erase(first, last);
    ++changeCount_;
    return removed;
}

void BindingRegistry::clear() {
    std::lock_guard lock(mutex_);
    events_.clear();
    typesByHash_.clear();
    types_.clear();
    // One change per function name, as removing them one name at a time counts.
    while (!functions_.empty()) {
        const std::string name = functions_.begin()->first;
        functions_.erase(name);
        ++changeCount_;
    }
    builtinsRegistered_ = false;
}

std::uint32_t BindingRegistry::changeCount() const {
    std::lock_guard lock(mutex_);
    return changeCount_;
}

}  // namespace Norv
