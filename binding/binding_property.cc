#include "binding/binding_property.h"

#include <charconv>
#include <memory>
#include <new>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "formats/base64.h"

namespace Norv {

namespace {

constinit const BindingProperty kEmptyValue;

bool IsScalar(BindingValueKind kind) noexcept {
    static_assert(BindingValueKind::Empty < BindingValueKind::Float &&
                  BindingValueKind::Float < BindingValueKind::String);
    return kind <= BindingValueKind::Float;
}

template <class T>
std::string NumberText(T value) {
    char buffer[32];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    return std::string(buffer, end);
}

// "%f": fixed notation with six decimals, whatever the process locale says.
std::string FixedText(double value) {
    char buffer[400];  // the largest double has 309 integer digits
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6).ptr;
    return std::string(buffer, end);
}

std::size_t GrownCapacity(std::size_t capacity, std::size_t required) {
    if (required > kMaxBindingElements) throw std::length_error("vector<T> too long");
    if (capacity > kMaxBindingElements - capacity / 2) return kMaxBindingElements;
    const std::size_t grown = capacity + capacity / 2;
    return grown < required ? required : grown;
}

}  // namespace

// ---- construction and assignment ------------------------------------------

BindingProperty::BindingProperty(const BindingProperty& other) {
    *this = other;
}

BindingProperty::BindingProperty(BindingProperty&& other) {
    if (other.ownsArena_) {
        payload_ = other.payload_;
        arena_ = std::exchange(other.arena_, nullptr);
        kind_ = std::exchange(other.kind_, BindingValueKind::Empty);
        return;
    }
    *this = std::move(other);
}

void BindingProperty::destroy() noexcept {
    if (ownsArena_ && arena_ != nullptr) {
        // Records, nodes, texts and element arrays go with the arena, not one
        // by one; only the bytes of blobs need a walk of the tree.
        if (arena_->blobCount() != 0) freeHeapParts();
        delete arena_;
    } else {
        reset();
    }
}

BindingProperty& BindingProperty::operator=(const BindingProperty& other) {
    if (this == &other) return *this;
    // Built aside first: `other` may lie inside this value, or this value inside `other`.
    BindingProperty copy(InTree{other.needsStorage() ? &ensureArena() : arena_});
    // A whole root copied into a fresh arena needs exactly the texts of the source.
    if (other.ownsArena_ && other.arena_ != nullptr && arena_ != nullptr && arena_->stringCount() == 0) {
        arena_->reserveStrings(other.arena_->stringCount());
    }
    other.copyPayloadInto(copy);
    releasePayload();
    takePayload(copy);
    return *this;
}

BindingProperty& BindingProperty::operator=(BindingProperty&& other) {
    if (this == &other) return *this;
    if (ownsArena_ && other.ownsArena_) {
        std::swap(payload_, other.payload_);
        std::swap(arena_, other.arena_);
        std::swap(kind_, other.kind_);
        other.reset();
        return *this;
    }
    // Resetting `other` before releasing this payload keeps `v = std::move(v.member("x"))` sound.
    BindingProperty copy(InTree{other.needsStorage() ? &ensureArena() : arena_});
    other.copyPayloadInto(copy);
    other.reset();
    releasePayload();
    takePayload(copy);
    return *this;
}

void BindingProperty::setScalar(BindingValueKind kind, Payload payload) noexcept {
    if (!IsScalar(kind_)) releasePayload();
    payload_ = payload;
    kind_ = kind;
}

BindingProperty& BindingProperty::operator=(bool value) {
    setScalar(BindingValueKind::Bool, Payload{.boolean = value});
    return *this;
}

BindingProperty& BindingProperty::operator=(std::int32_t value) {
    return *this = static_cast<std::int64_t>(value);
}

BindingProperty& BindingProperty::operator=(std::uint32_t value) {
    return *this = static_cast<std::uint64_t>(value);
}

BindingProperty& BindingProperty::operator=(std::int64_t value) {
    setScalar(BindingValueKind::Signed, Payload{.signedValue = value});
    return *this;
}

BindingProperty& BindingProperty::operator=(std::uint64_t value) {
    setScalar(BindingValueKind::Unsigned, Payload{.unsignedValue = value});
    return *this;
}

BindingProperty& BindingProperty::operator=(double value) {
    setScalar(BindingValueKind::Float, Payload{.floatValue = value});
    return *this;
}

void BindingProperty::assignText(std::string_view text) {
    // Interned before the old payload goes, since the text may be that payload.
    const InternedString* entry = text.empty() ? &InternedString::Empty() : ensureArena().intern(text);
    releasePayload();
    payload_.string = entry;
    kind_ = BindingValueKind::String;
}

BindingProperty& BindingProperty::operator=(const char* text) {
    assignText(text == nullptr ? std::string_view() : std::string_view(text));
    return *this;
}

BindingProperty& BindingProperty::operator=(std::string_view text) {
    assignText(text);
    return *this;
}

BindingProperty& BindingProperty::operator=(const std::string& text) {
    assignText(text);
    return *this;
}

BindingProperty& BindingProperty::operator=(std::string&& text) {
    // The entry keeps its text beside its record, so the buffer is copied there.
    assignText(text);
    return *this;
}

template <class Bytes>
void BindingProperty::assignBlob(Bytes&& bytes) {
    BindingArena& arena = ensureArena();
    void* slot = arena.allocateSlot(sizeof(BindingBlob));
    BindingBlob* blob;
    try {
        blob = new (slot) BindingBlob(std::forward<Bytes>(bytes));
    } catch (...) {
        arena.releaseSlot(slot, sizeof(BindingBlob));
        throw;
    }
    releasePayload();
    arena.countBlob(+1);
    payload_.blob = blob;
    kind_ = BindingValueKind::Blob;
}

BindingProperty& BindingProperty::operator=(const BindingBlob& bytes) {
    assignBlob(bytes);
    return *this;
}

BindingProperty& BindingProperty::operator=(BindingBlob&& bytes) {
    assignBlob(std::move(bytes));
    return *this;
}

BindingProperty& BindingProperty::operator=(std::span<const std::uint8_t> bytes) {
    assignBlob(BindingBlob(bytes.begin(), bytes.end()));
    return *this;
}

BindingProperty& BindingProperty::operator=(const BindingEnum& value) {
    auto* record = new (ensureArena().allocateSlot(sizeof(BindingEnum))) BindingEnum(value);
    releasePayload();
    payload_.enumValue = record;
    kind_ = BindingValueKind::Enum;
    return *this;
}

// ---- queries ----------------------------------------------------------------

bool BindingProperty::getBool(bool defaultValue) const noexcept {
    return kind_ == BindingValueKind::Bool ? payload_.boolean : defaultValue;
}

std::int64_t BindingProperty::getSigned(std::int64_t defaultValue) const noexcept {
    return kind_ == BindingValueKind::Signed ? payload_.signedValue : defaultValue;
}

std::uint64_t BindingProperty::getUnsigned(std::uint64_t defaultValue) const noexcept {
    return kind_ == BindingValueKind::Unsigned ? payload_.unsignedValue : defaultValue;
}

double BindingProperty::getFloat(double defaultValue) const noexcept {
    return kind_ == BindingValueKind::Float ? payload_.floatValue : defaultValue;
}

std::string_view BindingProperty::getString(std::string_view defaultValue) const noexcept {
    return kind_ == BindingValueKind::String ? payload_.string->text() : defaultValue;
}

const BindingBlob& BindingProperty::getBlob(const BindingBlob& defaultValue) const noexcept {
    return kind_ == BindingValueKind::Blob ? *payload_.blob : defaultValue;
}

BindingEnum BindingProperty::getEnum(BindingEnum defaultValue) const noexcept {
    return kind_ == BindingValueKind::Enum ? *payload_.enumValue : defaultValue;
}

const InternedString* BindingProperty::getInternedString() const noexcept {
    return kind_ == BindingValueKind::String ? payload_.string : nullptr;
}

std::size_t BindingProperty::size() const noexcept {
    switch (kind_) {
        case BindingValueKind::Empty:
            return 0;
        case BindingValueKind::String:
            return payload_.string->size();
        case BindingValueKind::Blob:
            return payload_.blob->size();
        case BindingValueKind::Collection:
            return static_cast<std::size_t>(payload_.collection->end - payload_.collection->begin);
        case BindingValueKind::Structure:
            return payload_.structure->size();
        default:
            return 1;
    }
}

bool BindingProperty::isZero() const noexcept {
    switch (kind_) {
        case BindingValueKind::Empty:
            return true;
        case BindingValueKind::Bool:
            return !payload_.boolean;
        case BindingValueKind::Signed:
            return payload_.signedValue == 0;
        case BindingValueKind::Unsigned:
            return payload_.unsignedValue == 0;
        case BindingValueKind::Float:
            return payload_.floatValue == 0.0;
        case BindingValueKind::Enum:
            return payload_.enumValue->value == 0;
        default:
            return size() == 0;
    }
}

const BindingProperty& BindingProperty::at(std::size_t index) const noexcept {
    if (kind_ != BindingValueKind::Collection || index >= size()) return kEmptyValue;
    return payload_.collection->begin[index];
}

const BindingProperty& BindingProperty::get(const char* name) const noexcept {
    return get(name == nullptr ? std::string_view() : std::string_view(name));
}

const BindingProperty& BindingProperty::get(std::string_view name) const noexcept {
    if (kind_ != BindingValueKind::Structure) return kEmptyValue;
    const auto found = payload_.structure->find(detail::MemberKey(name));
    return found == payload_.structure->end() ? kEmptyValue : found->second;
}

BindingMemberRange BindingProperty::members() const noexcept {
    return BindingMemberRange(kind_ == BindingValueKind::Structure ? payload_.structure : nullptr);
}

std::span<const BindingProperty> BindingProperty::elements() const noexcept {
    if (kind_ != BindingValueKind::Collection) return {};
    return {payload_.collection->begin, payload_.collection->end};
}

std::string BindingProperty::toString() const {
    switch (kind_) {
        case BindingValueKind::Bool:
            return payload_.boolean ? "true" : "false";
        case BindingValueKind::Signed:
            return NumberText(payload_.signedValue);
        case BindingValueKind::Unsigned:
            return NumberText(payload_.unsignedValue);
        case BindingValueKind::Float:
            return FixedText(payload_.floatValue);
        case BindingValueKind::String:
            return std::string(payload_.string->text());
        case BindingValueKind::Blob:
            return Base64Encode(payload_.blob->data(), payload_.blob->size());
        case BindingValueKind::Enum:
            return NumberText(payload_.enumValue->value);
        default:
            return std::string();
    }
}

const char* BindingProperty::kindName(BindingValueKind kind) noexcept {
    static constexpr const char* kNames[] = {"empty",  "bool", "signed", "unsigned",   "float",
                                             "string", "blob", "enum",   "collection", "structure"};
    const auto index = static_cast<std::size_t>(kind);
    return index < std::size(kNames) ? kNames[index] : "";
}

const BindingProperty& BindingProperty::EmptyValue() noexcept {
    return kEmptyValue;
}

const BindingBlob& BindingProperty::EmptyBlob() noexcept {
    static const BindingBlob empty;
    return empty;
}

// ---- mutation ---------------------------------------------------------------

BindingArena& BindingProperty::ensureArena() {
    // Only a root can lack an arena: containers hand theirs to every element and member.
    if (arena_ == nullptr) arena_ = new BindingArena();
    return *arena_;
}

bool BindingProperty::needsStorage() const noexcept {
    if (IsScalar(kind_)) return false;
    return kind_ != BindingValueKind::String || payload_.string->size() != 0;
}

BindingProperty& BindingProperty::makeCollection() {
    if (kind_ == BindingValueKind::Collection) return *this;
    void* slot = ensureArena().allocateSlot(sizeof(detail::ElementArray));
    releasePayload();
    payload_.collection = new (slot) detail::ElementArray{nullptr, nullptr, nullptr};
    kind_ = BindingValueKind::Collection;
    return *this;
}

BindingProperty& BindingProperty::makeStructure() {
    if (kind_ == BindingValueKind::Structure) return *this;
    BindingArena& arena = ensureArena();
    void* slot = arena.allocateSlot(sizeof(detail::MemberMap));
    releasePayload();
    payload_.structure = new (slot) detail::MemberMap(detail::MemberMap::allocator_type(&arena));
    kind_ = BindingValueKind::Structure;
    return *this;
}

void BindingProperty::growTo(std::size_t capacity) {
    detail::ElementArray& array = *payload_.collection;
    auto* elements = static_cast<BindingProperty*>(arena_->allocateArray(capacity * sizeof(BindingProperty)));
    BindingProperty* target = elements;
    for (BindingProperty* source = array.begin; source != array.end; ++source, ++target) {
        new (target) BindingProperty(InTree{arena_});
        target->takePayload(*source);
        source->~BindingProperty();
    }
    arena_->freeArray(array.begin, static_cast<std::size_t>(array.capacity - array.begin) * sizeof(BindingProperty));
    array.begin = elements;
    array.end = target;
    array.capacity = elements + capacity;
}

BindingProperty& BindingProperty::appendUnchecked() {
    detail::ElementArray& array = *payload_.collection;
    if (array.end == array.capacity) {
        const auto size = static_cast<std::size_t>(array.end - array.begin);
        growTo(GrownCapacity(static_cast<std::size_t>(array.capacity - array.begin), size + 1));
    }
    return *new (array.end++) BindingProperty(InTree{arena_});
}

BindingProperty& BindingProperty::append() {
    makeCollection();
    return appendUnchecked();
}

BindingProperty& BindingProperty::appendTaken(BindingProperty& source) {
    // The payload is taken before appending, which may move `source` when it is one of the elements.
    BindingProperty taken(InTree{arena_});
    if (source.arena_ != nullptr && source.arena_ == arena_ && !source.ownsArena_) {
        taken.takePayload(source);
    } else {
        taken.arena_ = &ensureArena();
        taken = std::move(source);
    }
    makeCollection();
    BindingProperty& element = appendUnchecked();
    element.takePayload(taken);
    return element;
}

void BindingProperty::appendTaken(BindingProperty* first, std::size_t count) {
    makeCollection();
    reserve(size() + count);
    detail::ElementArray& array = *payload_.collection;
    for (BindingProperty* source = first; source != first + count; ++source) {
        if (source->arena_ == arena_ && !source->ownsArena_) {
            // Room is reserved, so this cannot throw.
            new (array.end) BindingProperty(InTree{arena_});
            (array.end++)->takePayload(*source);
        } else {
            appendTaken(*source);
        }
    }
}

BindingProperty& BindingProperty::element(std::size_t index) {
    makeCollection();
    detail::ElementArray& array = *payload_.collection;
    if (index >= static_cast<std::size_t>(array.end - array.begin)) {
        if (index >= static_cast<std::size_t>(array.capacity - array.begin)) {
            if (index >= kMaxBindingElements) throw std::length_error("vector<T> too long");
            growTo(GrownCapacity(static_cast<std::size_t>(array.capacity - array.begin), index + 1));
        }
        while (static_cast<std::size_t>(array.end - array.begin) <= index) {
            new (array.end++) BindingProperty(InTree{arena_});
        }
    }
    return array.begin[index];
}

void BindingProperty::reserve(std::size_t capacity) {
    if (kind_ != BindingValueKind::Collection) return;
    if (capacity > kMaxBindingElements) throw std::length_error("vector<T> too long");
    const detail::ElementArray& array = *payload_.collection;
    if (capacity > static_cast<std::size_t>(array.capacity - array.begin)) growTo(capacity);
}

BindingProperty& BindingProperty::member(const char* name) {
    return member(name == nullptr ? std::string_view() : std::string_view(name));
}

BindingProperty& BindingProperty::member(std::string_view name) {
    return insertMember(name);
}

BindingProperty& BindingProperty::member(const HashedName& name) {
    return insertMember(name.text());
}

BindingProperty& BindingProperty::memberInterned(const InternedString& name) {
    makeStructure();
    detail::MemberMap& map = *payload_.structure;
    // Writers often give members in order: a name past the last one is new and goes last.
    if (!map.empty() && map.key_comp()(std::prev(map.end())->first, &name)) {
        return emplaceMember(map, map.end(), arena_->retain(&name))->second;
    }
    auto position = map.lower_bound(detail::MemberKey(name.text()));
    // A text has one entry per arena, so the entry itself tells the member.
    if (position != map.end() && position->first == &name) return position->second;
    return emplaceMember(map, position, arena_->retain(&name))->second;
}

BindingProperty& BindingProperty::insertMember(std::string_view name) {
    makeStructure();
    detail::MemberMap& map = *payload_.structure;
    const detail::MemberKey key(name);
    if (!map.empty() && map.key_comp()(std::prev(map.end())->first, key)) {
        return emplaceMember(map, map.end(), arena_->intern(name))->second;
    }
    auto position = map.lower_bound(key);
    if (position != map.end() && position->first->text() == name) return position->second;
    return emplaceMember(map, position, arena_->intern(name))->second;
}

detail::MemberMap::iterator BindingProperty::emplaceMember(detail::MemberMap& map, detail::MemberMap::iterator hint,
                                                           const InternedString* key) {
    try {
        return map.emplace_hint(hint, std::piecewise_construct, std::forward_as_tuple(key),
                                std::forward_as_tuple(InTree{arena_}));
    } catch (...) {
        arena_->release(key);
        throw;
    }
}

void BindingProperty::reset() noexcept {
    releasePayload();
}

void BindingProperty::releasePayload() noexcept {
    switch (kind_) {
        case BindingValueKind::String:
            if (arena_ != nullptr) arena_->release(payload_.string);
            break;
        case BindingValueKind::Blob:
            payload_.blob->~BindingBlob();
            arena_->releaseSlot(payload_.blob, sizeof(BindingBlob));
            arena_->countBlob(-1);
            break;
        case BindingValueKind::Enum:
            arena_->releaseSlot(payload_.enumValue, sizeof(BindingEnum));
            break;
        case BindingValueKind::Collection: {
            detail::ElementArray* array = payload_.collection;
            for (BindingProperty* element = array->begin; element != array->end; ++element) {
                element->~BindingProperty();
            }
            arena_->freeArray(array->begin,
                              static_cast<std::size_t>(array->capacity - array->begin) * sizeof(BindingProperty));
            arena_->releaseSlot(array, sizeof(detail::ElementArray));
            break;
        }
        case BindingValueKind::Structure: {
            detail::MemberMap* map = payload_.structure;
            for (auto& [name, value] : *map) {
                arena_->release(name);
                value.reset();
            }
            std::destroy_at(map);
            arena_->releaseSlot(map, sizeof(detail::MemberMap));
            break;
        }
        default:
            break;
    }
    kind_ = BindingValueKind::Empty;
}

void BindingProperty::freeHeapParts() noexcept {
    switch (kind_) {
        case BindingValueKind::Blob:
            payload_.blob->~BindingBlob();
            arena_->countBlob(-1);
            break;
        case BindingValueKind::Collection:
            for (BindingProperty* element = payload_.collection->begin; element != payload_.collection->end;
                 ++element) {
                element->freeHeapParts();
            }
            break;
        case BindingValueKind::Structure:
            for (auto& member : *payload_.structure) member.second.freeHeapParts();
            break;
        default:
            break;
    }
    kind_ = BindingValueKind::Empty;
}

void BindingProperty::takePayload(BindingProperty& source) noexcept {
    payload_ = source.payload_;
    kind_ = std::exchange(source.kind_, BindingValueKind::Empty);
}

void BindingProperty::copyPayloadInto(BindingProperty& target) const {
    switch (kind_) {
        case BindingValueKind::String: {
            const InternedString* entry = payload_.string;
            target.payload_.string = entry->size() == 0 ? entry : target.arena_->intern(*entry);
            target.kind_ = BindingValueKind::String;
            return;
        }
        case BindingValueKind::Blob:
            target = *payload_.blob;
            return;
        case BindingValueKind::Enum:
            target = *payload_.enumValue;
            return;
        case BindingValueKind::Collection: {
            target.makeCollection();
            target.reserve(size());
            for (const BindingProperty& element : elements()) element.copyPayloadInto(target.appendUnchecked());
            return;
        }
        case BindingValueKind::Structure: {
            target.makeStructure();
            detail::MemberMap& map = *target.payload_.structure;
            for (const auto& [name, value] : *payload_.structure) {
                // Source order is the target order, so each member goes at the end.
                const InternedString* key = name->size() == 0 ? name : target.arena_->intern(*name);
                value.copyPayloadInto(target.emplaceMember(map, map.end(), key)->second);
            }
            return;
        }
        default:
            target.payload_ = payload_;
            target.kind_ = kind_;
            return;
    }
}

// ---- members ----------------------------------------------------------------

BindingMember BindingMemberRange::iterator::operator*() const {
    return {position_->first->text(), position_->second};
}

BindingMemberRange::iterator BindingMemberRange::begin() const {
    return map_ == nullptr ? iterator() : iterator(map_->begin());
}

BindingMemberRange::iterator BindingMemberRange::end() const {
    return map_ == nullptr ? iterator() : iterator(map_->end());
}

std::size_t BindingMemberRange::size() const {
    return map_ == nullptr ? 0 : map_->size();
}

// ---- results ----------------------------------------------------------------

BindingResult& BindingResult::operator=(BindingResult&& other) {
    if (this != &other) {
        value = std::move(other.value);
        ok_ = other.ok_;
    }
    return *this;
}

BindingResult BindingResult::Failure(std::string_view message) {
    BindingResult result;
    result.setError(message);
    return result;
}

void BindingResult::setError(std::string_view message) {
    // The message may live in the value (a member's text, or error() itself),
    // which the reset frees.
    const std::string held(message);
    value.reset();
    ok_ = false;
    value.member("error") = std::string_view(held);
}

std::string_view BindingResult::error() const noexcept {
    if (ok_) return {};
    return value.get("error").getString();
}

}  // namespace Norv
