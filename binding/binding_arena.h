// Per-tree storage of a value tree: 18 slot-size classes (4 to 72 bytes) for
// the small records of the tree, each with a built-in page so that a small
// document needs no page from the pool, and the string table that interns
// every member name and string value once per tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/hashed_name.h"
#include "binding/interned_string.h"
#include "binding/slot_page.h"

namespace Norv {

class BindingArena {
public:
    static constexpr std::size_t kSlotGranularity = 4;
    static constexpr std::size_t kSizeClassCount = 18;
    static constexpr std::size_t kMaxSlotSize = kSlotGranularity * kSizeClassCount;  // 72

    BindingArena() noexcept;
    ~BindingArena();
    BindingArena(const BindingArena&) = delete;
    BindingArena& operator=(const BindingArena&) = delete;

    // A slot of `size` bytes (1 to kMaxSlotSize, rounded up to a multiple of 4).
    void* allocateSlot(std::size_t size);
    void releaseSlot(void* slot, std::size_t size) noexcept;

    // A slot when `size` fits a class, the general heap otherwise.
    void* allocate(std::size_t size) { return size <= kMaxSlotSize ? allocateSlot(size) : ::operator new(size); }
    void deallocate(void* block, std::size_t size) noexcept {
        if (size <= kMaxSlotSize) {
            releaseSlot(block, size);
        } else {
            ::operator delete(block);
        }
    }

    // Finds or adds the entry for a text and takes one reference on it. The
    // empty text gives the shared empty entry, which is never counted.
    const InternedString* intern(const HashedName& name);
    const InternedString* intern(std::string_view text) { return intern(HashedName(text)); }
    const InternedString* intern(const char* text) { return intern(HashedName(text)); }
    // Drops one reference; the last one erases and frees the entry.
    void release(const InternedString* entry) noexcept;

    const InternedString* findString(std::string_view text) const noexcept;
    std::size_t stringCount() const noexcept { return stringCount_; }

    // Pool pages this arena holds right now, over all classes.
    std::size_t pagesHeld() const noexcept { return pagesHeld_; }

private:
    struct SizeClass {
        SlotPageHeader* firstWithFree = nullptr;
        alignas(8) unsigned char builtinPage[kBuiltinSlotPageSize];
    };

    static constexpr std::size_t kInitialBuckets = 8;

    SizeClass& sizeClassFor(std::size_t size) noexcept {
        return classes_[(size + kSlotGranularity - 1) / kSlotGranularity - 1];
    }
    void growBuckets();

    SizeClass classes_[kSizeClassCount];
    InternedString** buckets_;
    std::size_t bucketCount_ = kInitialBuckets;
    std::size_t stringCount_ = 0;
    std::size_t pagesHeld_ = 0;
    std::uint32_t builtinFormatted_ = 0;  // one bit per class
    InternedString* initialBuckets_[kInitialBuckets] = {};
};

// Standard allocator over an arena, for the structure maps of a tree.
template <class T>
class BindingArenaAllocator {
public:
    using value_type = T;

    explicit BindingArenaAllocator(BindingArena* arena) noexcept : arena_(arena) {}
    template <class U>
    BindingArenaAllocator(const BindingArenaAllocator<U>& other) noexcept : arena_(other.arena()) {}

    T* allocate(std::size_t count) { return static_cast<T*>(arena_->allocate(count * sizeof(T))); }
    void deallocate(T* block, std::size_t count) noexcept { arena_->deallocate(block, count * sizeof(T)); }

    BindingArena* arena() const noexcept { return arena_; }

    template <class U>
    bool operator==(const BindingArenaAllocator<U>& other) const noexcept {
        return arena_ == other.arena();
    }

private:
    BindingArena* arena_;
};

}  // namespace Norv
