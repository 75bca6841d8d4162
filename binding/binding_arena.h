// Per-tree storage of a value tree: 18 slot-size classes (4 to 72 bytes) for
// the small records of the tree, each with a built-in page so that a small
// document needs no page from the pool, and the string table that interns
// every member name and string value once per tree.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <vector>

#include "binding/hashed_name.h"
#include "binding/interned_string.h"
#include "binding/keyed_text_hash.h"
#include "binding/slot_page.h"
#include "binding/small_stack.h"

namespace Norv {

class BindingArena {
public:
    static constexpr std::size_t kSlotGranularity = 4;
    static constexpr std::size_t kSizeClassCount = 18;
    static constexpr std::size_t kMaxSlotSize = kSlotGranularity * kSizeClassCount;  // 72

    BindingArena() noexcept;
    // Gives back every page and entry still held: a root being destroyed leaves
    // its records and texts to this instead of releasing them one by one.
    ~BindingArena();
    BindingArena(const BindingArena&) = delete;
    BindingArena& operator=(const BindingArena&) = delete;

    // A slot of `size` bytes (1 to kMaxSlotSize, rounded up to a multiple of 4).
    void* allocateSlot(std::size_t size) {
        size = RoundToSlotSize(size);
        SizeClass& sizeClass = sizeClassFor(size);
        SlotPageHeader* page = sizeClass.withFree;
        if (page == nullptr) page = addPage(sizeClass, size);
        const SlotTaken taken = PopSlot(page, size);
        if (taken.pageFull) Move(page, sizeClass.withFree, sizeClass.full);
        return taken.slot;
    }
    void releaseSlot(void* slot, std::size_t size) noexcept {
        size = RoundToSlotSize(size);
        SizeClass& sizeClass = sizeClassFor(size);
        const auto address = reinterpret_cast<std::uintptr_t>(slot);
        const std::uintptr_t ownOffset = address - reinterpret_cast<std::uintptr_t>(ownPages_);
        SlotPageHeader* page;
        bool pooled = false;
        if (address - reinterpret_cast<std::uintptr_t>(sizeClass.builtinPage) < kBuiltinSlotPageSize) {
            page = reinterpret_cast<SlotPageHeader*>(sizeClass.builtinPage);
        } else if (ownOffset < sizeof(ownPages_)) {
            page = reinterpret_cast<SlotPageHeader*>(ownPages_[ownOffset / kOwnPageSize]);
        } else {
            page = reinterpret_cast<SlotPageHeader*>(address & ~(std::uintptr_t{kSlotPageSize} - 1));
            pooled = true;
        }
        const SlotReturned returned = PushSlot(page, slot, size);
        if (returned.pageWasFull) Move(page, sizeClass.full, sizeClass.withFree);
        if (returned.pageEmpty && pooled) returnPage(sizeClass, page);
    }

    // A slot when `size` fits a class, the general heap otherwise.
    void* allocate(std::size_t size) { return size <= kMaxSlotSize ? allocateSlot(size) : ::operator new(size); }
    void deallocate(void* block, std::size_t size) noexcept {
        if (size <= kMaxSlotSize) {
            releaseSlot(block, size);
        } else {
            ::operator delete(block);
        }
    }

    // Blocks on the general heap for the tree's element arrays and its texts
    // too long for a slot, each with a link to the others, so destroying the
    // arena frees them without walking the tree. Null for zero bytes.
    void* allocateHeapBlock(std::size_t bytes);
    void freeHeapBlock(void* block) noexcept;
    // An element array or an entry of the string table: a slot when it fits
    // one, a block of an array chunk up to kMaxChunkedArray bytes, else a heap
    // block of its own.
    void* allocateArray(std::size_t bytes) {
        if (bytes == 0) return nullptr;
        if (bytes <= kMaxSlotSize) return allocateSlot(bytes);
        return bytes <= kMaxChunkedArray ? allocateChunkedArray(bytes) : allocateHeapBlock(bytes);
    }
    void freeArray(void* block, std::size_t bytes) noexcept {
        if (block == nullptr) return;
        if (bytes <= kMaxSlotSize) {
            releaseSlot(block, bytes);
        } else if (bytes <= kMaxChunkedArray) {
            // The block waits for the next array of its size class.
            FreeArray*& head = freeArrays_[ArrayClassOf(bytes)];
            head = new (block) FreeArray{head};
        } else {
            freeHeapBlock(block);
        }
    }

    // Arrays and texts past the slot classes and up to this size come in
    // power-of-two sizes from chunks of kArrayChunkSize: a document of many
    // mid-sized lists or long texts takes a heap block per chunk, not one each.
    static constexpr std::size_t kMaxChunkedArray = 2048;
    static constexpr std::size_t kArrayChunkSize = 16384;
    // Blobs alive in the tree: their bytes can only be freed by a walk.
    void countBlob(int change) noexcept { blobCount_ += static_cast<std::size_t>(change); }
    std::size_t blobCount() const noexcept { return blobCount_; }

    // Finds or adds the entry for a text and takes one reference on it. The
    // empty text gives the shared empty entry, which is never counted.
    const InternedString* intern(std::string_view text) {
        return text.empty() ? &InternedString::Empty() : internTagged(text, TagOf(KeyedTextHash(text)));
    }
    // An entry of this or another arena: the keyed hash is the same in every arena.
    const InternedString* intern(const InternedString& entry) {
        return entry.size() == 0 ? &InternedString::Empty() : internTagged(entry.text(), entry.tag_);
    }
    const InternedString* intern(const HashedName& name) { return intern(name.text()); }
    const InternedString* intern(const char* text) { return intern(text == nullptr ? std::string_view() : text); }
    // Takes one more reference on an entry of this arena.
    const InternedString* retain(const InternedString* entry) noexcept {
        if (entry->size() != 0) ++const_cast<InternedString*>(entry)->refCount_;
        return entry;
    }
    // Drops one reference; the last one erases and frees the entry.
    void release(const InternedString* entry) noexcept;

    const InternedString* findString(std::string_view text) const noexcept;
    std::size_t stringCount() const noexcept { return stringCount_; }
    // Makes room for `count` entries in all, so that adding them does not rehash.
    void reserveStrings(std::size_t count);
    // Over all entries, their distance from the bucket their hash names: the
    // probes that finding each entry once takes beyond the first.
    std::size_t stringDisplacement() const noexcept;

    // Past its built-in page, a class takes pages of this size from the arena's
    // own room, as long as some are left, before it takes any from the pool:
    // a small tree's nodes and texts outgrow the built-in pages at once, and a
    // pool page costs a lock and its bookkeeping twice per tree.
    static constexpr std::size_t kOwnPageSize = 512;
    static constexpr std::size_t kOwnPageCount = 8;

    // Pool pages this arena holds right now, over all classes.
    std::size_t pagesHeld() const noexcept { return pagesHeld_; }

private:
    // A page is in one of two lists of its class: pages with a free slot (the
    // first is the one allocations take from) and full pages.
    struct SizeClass {
        SlotPageHeader* withFree = nullptr;
        SlotPageHeader* full = nullptr;
        alignas(8) unsigned char builtinPage[kBuiltinSlotPageSize];
    };

    // The string table: open addressing with linear probing. A bucket holds an
    // entry and its tag (the keyed hash, never 0; 0 marks a free bucket) side by
    // side, so a probe reads one cache line and reads the entry only when the
    // tag matches. The entry's own hash is FNV-1a, which an outsider can collide
    // at will; the table never uses it.
    struct Bucket {
        std::uint32_t tag = 0;
        const InternedString* entry = nullptr;
    };
    // Enough for the names and texts of a document of a few hundred bytes.
    static constexpr std::size_t kInitialBuckets = 32;
    static std::uint32_t TagOf(std::uint32_t hash) noexcept { return hash == 0 ? 1 : hash; }
    const InternedString* internTagged(std::string_view text, std::uint32_t tag);
    std::size_t findBucket(std::string_view text, std::uint32_t tag, std::uint64_t prefix) const noexcept;
    void rehash(std::size_t bucketCount);
    void eraseBucket(std::size_t bucket) noexcept;

    static constexpr std::size_t RoundToSlotSize(std::size_t size) noexcept {
        return (size + kSlotGranularity - 1) / kSlotGranularity * kSlotGranularity;
    }
    SizeClass& sizeClassFor(std::size_t roundedSize) noexcept { return classes_[roundedSize / kSlotGranularity - 1]; }
    static void Move(SlotPageHeader* page, SlotPageHeader*& from, SlotPageHeader*& to) noexcept {
        Unlink(page, from);
        PushFront(page, to);
    }
    static void Unlink(SlotPageHeader* page, SlotPageHeader*& head) noexcept;
    static void PushFront(SlotPageHeader* page, SlotPageHeader*& head) noexcept;
    SlotPageHeader* addPage(SizeClass& sizeClass, std::size_t size);
    // Where the pool pages of the arena are: per 64 KiB-aligned window of
    // addresses, one bit per page, so the arena gives its pages back without
    // reading each page's header.
    static constexpr std::uintptr_t kWindowSize = 16 * kSlotPageSize;
    struct HeldWindow {
        std::uintptr_t base;
        std::uint16_t pages;
    };
    HeldWindow* findWindow(std::uintptr_t base) noexcept;
    void reserveWindow();
    void recordPage(void* page, bool held) noexcept;
    void returnPage(SizeClass& sizeClass, SlotPageHeader* page) noexcept;

    struct FreeArray {
        FreeArray* next;
    };
    static constexpr std::size_t kSmallestChunkedArray = 128;
    static constexpr std::size_t kArrayClassCount = 5;  // 128 to 2048 bytes
    static std::size_t ArrayClassOf(std::size_t bytes) noexcept {
        return static_cast<std::size_t>(std::bit_width(bytes - 1)) - std::bit_width(kSmallestChunkedArray - 1);
    }
    void* allocateChunkedArray(std::size_t bytes);

    struct alignas(8) HeapLink {
        HeapLink* previous;
        HeapLink* next;
    };

    SizeClass classes_[kSizeClassCount];
    HeapLink* heapBlocks_ = nullptr;
    FreeArray* freeArrays_[kArrayClassCount] = {};
    unsigned char* chunkNext_ = nullptr;  // the unused rest of the newest array chunk
    unsigned char* chunkEnd_ = nullptr;
    // A small tree's pages lie in a window or two.
    // Four inline: the pool's chunks are not window-aligned, so even a small
    // tree's few pages can lie in up to four windows, and a spill would make
    // its heap allocations depend on where the system placed the chunks.
    SmallStack<HeldWindow, 4> heldWindows_;
    std::size_t blobCount_ = 0;
    Bucket* buckets_;
    std::size_t bucketCount_ = kInitialBuckets;
    std::size_t stringCount_ = 0;
    std::size_t pagesHeld_ = 0;
    std::uint32_t builtinFormatted_ = 0;  // one bit per class
    std::size_t ownPagesTaken_ = 0;
    Bucket initialBuckets_[kInitialBuckets] = {};
    // Never written before a class takes a page of it.
    alignas(8) unsigned char ownPages_[kOwnPageCount][kOwnPageSize];
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
