// The one dynamic value of the system: a small tagged variant. A tree of values
// shares the arena of its root, which interns every text and serves the small
// records of the tree; members of a Structure are kept in unsigned byte order
// of their names. `BindingResult` pairs a value with a success flag.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "binding/binding_arena.h"
#include "binding/hashed_name.h"
#include "binding/interned_string.h"

namespace Norv {

struct StaticTypeInfo;
class BindingProperty;
class BindingResult;

enum class BindingValueKind : std::uint8_t {
    Empty = 0,
    Bool = 1,
    Signed = 2,
    Unsigned = 3,
    Float = 4,
    String = 5,
    Blob = 6,
    Enum = 7,
    Collection = 8,
    Structure = 9,
};

using BindingBlob = std::vector<std::uint8_t>;

// An enumerator held by value: its number and the enumeration's identity record.
struct BindingEnum {
    std::int32_t value = 0;
    const StaticTypeInfo* type = nullptr;

    friend bool operator==(const BindingEnum&, const BindingEnum&) = default;
};

namespace detail {

// A name to look up, with its prefix computed once for the whole walk.
struct MemberKey {
    explicit MemberKey(std::string_view name) noexcept : text(name), prefix(TextPrefix(name)) {}
    std::string_view text;
    std::uint64_t prefix;
};

// Orders member names by their unsigned bytes.
struct MemberNameLess {
    using is_transparent = void;
    bool operator()(const InternedString* a, const InternedString* b) const noexcept {
        return CompareTexts(a->text(), a->prefix(), b->text(), b->prefix()) < 0;
    }
    bool operator()(const InternedString* a, const MemberKey& b) const noexcept {
        return CompareTexts(a->text(), a->prefix(), b.text, b.prefix) < 0;
    }
    bool operator()(const MemberKey& a, const InternedString* b) const noexcept {
        return CompareTexts(a.text, a.prefix, b->text(), b->prefix()) < 0;
    }
};

using MemberMap = std::map<const InternedString*, BindingProperty, MemberNameLess,
                           BindingArenaAllocator<std::pair<const InternedString* const, BindingProperty>>>;

struct ElementArray {
    BindingProperty* begin;
    BindingProperty* end;
    BindingProperty* capacity;
};

}  // namespace detail

class BindingMemberRange;

class alignas(8) BindingProperty {
public:
    constexpr BindingProperty() noexcept = default;
    BindingProperty(const BindingProperty& other);
    // Takes a root's payload and arena in constant time; a value inside a tree is deep-copied.
    BindingProperty(BindingProperty&& other);
    // Inline for the common case of a value inside a tree that holds nothing
    // (an element or member already taken, or never set).
    ~BindingProperty() {
        if (kind_ != BindingValueKind::Empty || ownsArena_) destroy();
    }

    // Deep copy: never shares storage with `other`, which may live in another arena.
    BindingProperty& operator=(const BindingProperty& other);
    // Between two roots: swap, then `other` is reset and keeps this value's old
    // arena. Otherwise a deep copy into this value's arena, then `other` is reset.
    BindingProperty& operator=(BindingProperty&& other);

    BindingProperty& operator=(bool value);
    BindingProperty& operator=(std::int32_t value);
    BindingProperty& operator=(std::uint32_t value);
    BindingProperty& operator=(std::int64_t value);
    BindingProperty& operator=(std::uint64_t value);
    BindingProperty& operator=(double value);
    // Other integer types (long on Windows, short, ...) by their signedness.
    template <std::integral T>
    requires(!std::same_as<T, bool>) BindingProperty& operator=(T value) {
        if constexpr (std::is_signed_v<T>) {
            return *this = static_cast<std::int64_t>(value);
        } else {
            return *this = static_cast<std::uint64_t>(value);
        }
    }
    // Texts keep every byte, embedded NULs included; a null pointer is the empty text.
    BindingProperty& operator=(const char* text);
    BindingProperty& operator=(std::string_view text);
    BindingProperty& operator=(const std::string& text);
    BindingProperty& operator=(std::string&& text);
    BindingProperty& operator=(const BindingBlob& bytes);
    BindingProperty& operator=(BindingBlob&& bytes);
    BindingProperty& operator=(std::span<const std::uint8_t> bytes);
    BindingProperty& operator=(const BindingEnum& value);

    BindingValueKind kind() const noexcept { return kind_; }
    bool isEmpty() const noexcept { return kind_ == BindingValueKind::Empty; }

    // Each returns the payload only when the kind is exactly that kind, else the default.
    bool getBool(bool defaultValue = false) const noexcept;
    std::int64_t getSigned(std::int64_t defaultValue = 0) const noexcept;
    std::uint64_t getUnsigned(std::uint64_t defaultValue = 0) const noexcept;
    double getFloat(double defaultValue = 0.0) const noexcept;
    // The interned text (NUL-terminated in the arena) or the default.
    std::string_view getString(std::string_view defaultValue = {}) const noexcept;
    const BindingBlob& getBlob(const BindingBlob& defaultValue = EmptyBlob()) const noexcept;
    BindingEnum getEnum(BindingEnum defaultValue = {}) const noexcept;
    // The entry behind a String value; null for other kinds.
    const InternedString* getInternedString() const noexcept;

    std::size_t size() const noexcept;
    bool isZero() const noexcept;

    // The element or member, or the shared read-only Empty value when there is none.
    const BindingProperty& at(std::size_t index) const noexcept;
    const BindingProperty& get(const char* name) const noexcept;
    const BindingProperty& get(const std::string& name) const noexcept { return get(std::string_view(name)); }
    const BindingProperty& get(std::string_view name) const noexcept;
    const BindingProperty& get(const HashedName& name) const noexcept { return get(name.text()); }

    // Read-only views of the contents; empty for other kinds.
    BindingMemberRange members() const noexcept;
    std::span<const BindingProperty> elements() const noexcept;

    std::string toString() const;

    static const char* kindName(BindingValueKind kind) noexcept;
    const char* kindName() const noexcept { return kindName(kind_); }

    BindingProperty& makeCollection();
    BindingProperty& makeStructure();
    // Makes this a Collection and pads it with Empty elements up to `index`.
    BindingProperty& element(std::size_t index);
    BindingProperty& append();
    // On a Collection only; "vector<T> too long" beyond the largest possible array.
    void reserve(std::size_t capacity);
    // Makes this a Structure and finds or inserts the member.
    BindingProperty& member(const char* name);
    BindingProperty& member(const std::string& name) { return member(std::string_view(name)); }
    BindingProperty& member(std::string_view name);
    BindingProperty& member(const HashedName& name);
    // The same by an entry of this tree's arena, which the caller keeps alive
    // (a reader's cache of the names it saw last): no hash, no table probe.
    BindingProperty& memberInterned(const InternedString& name);

    // Releases the payload and becomes Empty; the arena stays.
    void reset() noexcept;

    // Null until the tree first needs storage.
    const BindingArena* arena() const noexcept { return arena_; }
    bool ownsArena() const noexcept { return ownsArena_; }

    // The shared read-only Empty value.
    static const BindingProperty& EmptyValue() noexcept;
    static const BindingBlob& EmptyBlob() noexcept;

    // Where a value of a tree is to be made: a container's elements and members,
    // or a reader's values kept aside until their Collection is complete.
    struct InTree {
        BindingArena* arena;
    };
    // The tree of a value that already holds a Collection or Structure.
    InTree tree() const noexcept { return {arena_}; }
    // An Empty value borrowing the tree's arena.
    explicit BindingProperty(InTree slot) noexcept : arena_(slot.arena), ownsArena_(false) {}
    // Appends `source` to this Collection: in constant time when it belongs to
    // this tree (it is left Empty), as a deep copy otherwise.
    BindingProperty& appendTaken(BindingProperty& source);
    // The same for `count` values from `first` on, none of them this value or
    // one of its elements; room is made once for all of them.
    void appendTaken(BindingProperty* first, std::size_t count);

private:
    friend class BindingMemberRange;

    union Payload {
        bool boolean;
        std::int64_t signedValue;
        std::uint64_t unsignedValue;
        double floatValue;
        const InternedString* string;
        BindingBlob* blob;
        BindingEnum* enumValue;
        detail::ElementArray* collection;
        detail::MemberMap* structure;
    };

    void destroy() noexcept;
    BindingArena& ensureArena();
    void releasePayload() noexcept;
    // Frees the bytes of blobs; the arena is about to take everything else.
    void freeHeapParts() noexcept;
    void assignText(std::string_view text);
    // Copies this payload into `target`, an Empty value that has the arena to use.
    void copyPayloadInto(BindingProperty& target) const;
    void takePayload(BindingProperty& source) noexcept;
    void setScalar(BindingValueKind kind, Payload payload) noexcept;
    bool needsStorage() const noexcept;
    template <class Bytes>
    void assignBlob(Bytes&& bytes);
    BindingProperty& insertMember(std::string_view name);
    // Inserts an Empty member under `key`, whose reference it takes; gives the reference back if that throws.
    detail::MemberMap::iterator emplaceMember(detail::MemberMap& map, detail::MemberMap::iterator hint,
                                              const InternedString* key);
    BindingProperty& appendUnchecked();
    void growTo(std::size_t capacity);

    Payload payload_{.unsignedValue = 0};
    BindingArena* arena_ = nullptr;
    BindingValueKind kind_ = BindingValueKind::Empty;
    bool ownsArena_ = true;
};

// A member seen through iteration: its name and its value.
struct BindingMember {
    std::string_view name;
    const BindingProperty& value;
};

// Read-only members of a Structure in byte order of their names.
class BindingMemberRange {
public:
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = BindingMember;
        using difference_type = std::ptrdiff_t;
        using reference = BindingMember;
        using pointer = void;

        iterator() = default;
        BindingMember operator*() const;
        iterator& operator++() {
            ++position_;
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            ++position_;
            return before;
        }
        friend bool operator==(const iterator&, const iterator&) = default;

    private:
        friend class BindingMemberRange;
        explicit iterator(detail::MemberMap::const_iterator position) : position_(position) {}
        detail::MemberMap::const_iterator position_;
    };

    BindingMemberRange() = default;
    explicit BindingMemberRange(const detail::MemberMap* map) : map_(map) {}

    iterator begin() const;
    iterator end() const;
    std::size_t size() const;
    bool empty() const { return size() == 0; }

private:
    const detail::MemberMap* map_ = nullptr;
};

static_assert(alignof(BindingProperty) == 8);
// Largest element count of a Collection.
constexpr std::size_t kMaxBindingElements = static_cast<std::size_t>(PTRDIFF_MAX) / sizeof(BindingProperty);
static_assert(sizeof(void*) != 4 || sizeof(BindingProperty) == 16, "BindingProperty is 16 bytes on 32-bit targets");

// A value and a success flag. A failure is a Structure whose member "error" holds the message.
class BindingResult {
public:
    BindingResult() = default;
    BindingResult(BindingProperty&& result) : value(std::move(result)) {}
    BindingResult(BindingResult&& other) : value(std::move(other.value)), ok_(other.ok_) {}
    BindingResult(const BindingResult&) = default;
    BindingResult& operator=(BindingResult&& other);
    BindingResult& operator=(const BindingResult&) = default;
    ~BindingResult() = default;

    static BindingResult Failure(std::string_view message);

    bool ok() const noexcept { return ok_; }
    void setOk(bool ok = true) noexcept { ok_ = ok; }
    // Resets the value, clears the flag and sets member "error" to the message.
    void setError(std::string_view message);
    // "" when ok; otherwise the String of member "error", or "" when it is not one.
    std::string_view error() const noexcept;

    BindingProperty value;

private:
    bool ok_ = true;
};

}  // namespace Norv
