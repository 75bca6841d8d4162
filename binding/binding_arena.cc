#include "binding/binding_arena.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <iterator>
#include <new>
#include <stdexcept>
#include <utility>

#include "binding/binding_page_pool.h"
#include "binding/keyed_text_hash.h"

namespace Norv {

namespace {

constexpr bool EveryClassFitsItsBuiltinPage() {
    for (std::size_t size = BindingArena::kSlotGranularity; size <= BindingArena::kMaxSlotSize;
         size += BindingArena::kSlotGranularity) {
        if (UsableSlotCount(kBuiltinSlotPageSize, size) == 0) return false;
    }
    return true;
}
static_assert(EveryClassFitsItsBuiltinPage(), "each size class needs a slot in its built-in page");
static_assert(BindingArena::kMaxSlotSize < 128 && BindingArena::kMaxChunkedArray == 128 << 4 &&
                  BindingArena::kArrayChunkSize % BindingArena::kMaxChunkedArray == 0,
              "chunked arrays start past the slot classes, in five classes that tile a chunk");
static_assert(std::has_single_bit(BindingArena::kOwnPageSize) &&
                  UsableSlotCount(BindingArena::kOwnPageSize, BindingArena::kMaxSlotSize) > 1,
              "an own page is a power of two that holds slots of every class");

}  // namespace

BindingArena::BindingArena() noexcept : buckets_(initialBuckets_) {}

BindingArena::~BindingArena() {
    if (buckets_ != initialBuckets_) ::operator delete(buckets_);
    while (heapBlocks_ != nullptr) ::operator delete(std::exchange(heapBlocks_, heapBlocks_->next));
    if (heldWindows_.empty()) return;
    // Pages go back from the record of where they are, in batches under one
    // lock of the pool, without touching the pages themselves.
    BindingPagePool& pool = BindingPagePool::Instance();
    void* batch[64];
    std::size_t count = 0;
    for (std::size_t i = 0; i < heldWindows_.size(); ++i) {
        const HeldWindow& window = heldWindows_[i];
        for (std::uint32_t pages = window.pages; pages != 0; pages &= pages - 1) {
            batch[count++] = reinterpret_cast<void*>(window.base + std::countr_zero(pages) * kSlotPageSize);
            if (count == std::size(batch)) {
                pool.releasePages(batch, count);
                count = 0;
            }
        }
    }
    pool.releasePages(batch, count);
}

BindingArena::HeldWindow* BindingArena::findWindow(std::uintptr_t base) noexcept {
    // Pages come in address order mostly, so the window sought is usually the last.
    for (std::size_t i = heldWindows_.size(); i-- > 0;) {
        if (heldWindows_[i].base == base) return &heldWindows_[i];
    }
    return nullptr;
}

void BindingArena::reserveWindow() {
    heldWindows_.reserve(heldWindows_.size() + 1);
}

void BindingArena::recordPage(void* page, bool held) noexcept {
    const auto address = reinterpret_cast<std::uintptr_t>(page);
    const std::uintptr_t base = address & ~(kWindowSize - 1);
    const auto bit = static_cast<std::uint16_t>(1u << ((address - base) / kSlotPageSize));
    HeldWindow* window = findWindow(base);
    if (held) {
        if (window == nullptr) {
            // Room was reserved before the page was taken, so this cannot throw.
            window = &heldWindows_.push_back(HeldWindow{base, 0});
        }
        window->pages = static_cast<std::uint16_t>(window->pages | bit);
        return;
    }
    window->pages = static_cast<std::uint16_t>(window->pages & ~bit);
    if (window->pages != 0) return;
    *window = heldWindows_.back();
    heldWindows_.pop_back();
}

void* BindingArena::allocateHeapBlock(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    auto* link = static_cast<HeapLink*>(::operator new(sizeof(HeapLink) + bytes));
    link->previous = nullptr;
    link->next = heapBlocks_;
    if (heapBlocks_ != nullptr) heapBlocks_->previous = link;
    heapBlocks_ = link;
    return link + 1;
}

void* BindingArena::allocateChunkedArray(std::size_t bytes) {
    const std::size_t sizeClass = ArrayClassOf(bytes);
    if (FreeArray* reused = freeArrays_[sizeClass]) {
        freeArrays_[sizeClass] = reused->next;
        return reused;
    }
    const std::size_t size = kSmallestChunkedArray << sizeClass;
    if (static_cast<std::size_t>(chunkEnd_ - chunkNext_) < size) {
        // The old chunk's rest, less than one array, stays unused.
        chunkNext_ = static_cast<unsigned char*>(allocateHeapBlock(kArrayChunkSize));
        chunkEnd_ = chunkNext_ + kArrayChunkSize;
    }
    void* block = chunkNext_;
    chunkNext_ += size;
    return block;
}

void BindingArena::freeHeapBlock(void* block) noexcept {
    if (block == nullptr) return;
    HeapLink* link = static_cast<HeapLink*>(block) - 1;
    if (link->previous != nullptr) {
        link->previous->next = link->next;
    } else {
        heapBlocks_ = link->next;
    }
    if (link->next != nullptr) link->next->previous = link->previous;
    ::operator delete(link);
}

void BindingArena::Unlink(SlotPageHeader* page, SlotPageHeader*& head) noexcept {
    if (page->previous != nullptr) {
        page->previous->next = page->next;
    } else {
        head = page->next;
    }
    if (page->next != nullptr) page->next->previous = page->previous;
    page->next = page->previous = nullptr;
}

void BindingArena::PushFront(SlotPageHeader* page, SlotPageHeader*& head) noexcept {
    page->previous = nullptr;
    page->next = head;
    if (head != nullptr) head->previous = page;
    head = page;
}

SlotPageHeader* BindingArena::addPage(SizeClass& sizeClass, std::size_t size) {
    const std::uint32_t builtinBit = 1u << (size / kSlotGranularity - 1);
    SlotPageHeader* page;
    if ((builtinFormatted_ & builtinBit) == 0) {
        page = FormatSlotPage(sizeClass.builtinPage, kBuiltinSlotPageSize, size);
        builtinFormatted_ |= builtinBit;
    } else if (ownPagesTaken_ < kOwnPageCount) {
        page = FormatSlotPage(ownPages_[ownPagesTaken_++], kOwnPageSize, size);
    } else {
        reserveWindow();
        void* taken = BindingPagePool::Instance().acquirePage();
        recordPage(taken, true);
        page = FormatSlotPage(taken, kSlotPageSize, size);
        ++pagesHeld_;
    }
    PushFront(page, sizeClass.withFree);
    return page;
}

void BindingArena::returnPage(SizeClass& sizeClass, SlotPageHeader* page) noexcept {
    Unlink(page, sizeClass.withFree);
    recordPage(page, false);
    BindingPagePool::Instance().releasePage(page);
    --pagesHeld_;
}

std::size_t BindingArena::findBucket(std::string_view text, std::uint32_t tag, std::uint64_t prefix) const noexcept {
    const std::size_t mask = bucketCount_ - 1;
    for (std::size_t bucket = tag & mask;; bucket = (bucket + 1) & mask) {
        const std::uint32_t found = buckets_[bucket].tag;
        if (found == 0) return bucket;
        if (found != tag) continue;
        const InternedString* entry = buckets_[bucket].entry;
        if (entry->length_ == text.size() && entry->prefix() == prefix &&
            (text.size() <= 8 || std::memcmp(entry->c_str() + 8, text.data() + 8, text.size() - 8) == 0)) {
            return bucket;
        }
    }
}

const InternedString* BindingArena::internTagged(std::string_view text, std::uint32_t tag) {
    if (text.size() > UINT32_MAX) throw std::length_error("string too long");
    const std::uint64_t prefix = TextPrefix(text);
    std::size_t bucket = findBucket(text, tag, prefix);
    if (buckets_[bucket].tag != 0) {
        auto* entry = const_cast<InternedString*>(buckets_[bucket].entry);
        ++entry->refCount_;
        return entry;
    }
    if ((stringCount_ + 1) * 4 > bucketCount_ * 3) {
        rehash(bucketCount_ * 2);
        bucket = findBucket(text, tag, prefix);
    }
    const std::size_t size = InternedString::AllocationSize(text.size());
    auto* entry = new (allocateArray(size)) InternedString(tag, static_cast<std::uint32_t>(text.size()));
    std::memcpy(entry->textBuffer(), text.data(), text.size());
    std::memset(entry->textBuffer() + text.size(), 0, size - sizeof(InternedString) - text.size());
    entry->refCount_ = 1;
    buckets_[bucket] = {tag, entry};
    ++stringCount_;
    return entry;
}

void BindingArena::release(const InternedString* entry) noexcept {
    if (entry == nullptr || entry == &InternedString::Empty()) return;
    auto* counted = const_cast<InternedString*>(entry);
    if (--counted->refCount_ != 0) return;
    const std::uint32_t tag = counted->tag_;
    const std::size_t mask = bucketCount_ - 1;
    std::size_t bucket = tag & mask;
    while (buckets_[bucket].entry != counted) bucket = (bucket + 1) & mask;
    eraseBucket(bucket);
    --stringCount_;
    freeArray(counted, InternedString::AllocationSize(counted->length_));
}

// Backward-shift deletion: later entries of the probe run move up so that no
// lookup stops early at the freed bucket.
void BindingArena::eraseBucket(std::size_t bucket) noexcept {
    const std::size_t mask = bucketCount_ - 1;
    std::size_t hole = bucket;
    for (std::size_t next = (hole + 1) & mask; buckets_[next].tag != 0; next = (next + 1) & mask) {
        const std::size_t home = buckets_[next].tag & mask;
        // The entry at `next` may fill the hole unless its home lies cyclically in (hole, next].
        const bool homeBetween = hole <= next ? (home > hole && home <= next) : (home > hole || home <= next);
        if (homeBetween) continue;
        buckets_[hole] = buckets_[next];
        hole = next;
    }
    buckets_[hole] = {};
}

const InternedString* BindingArena::findString(std::string_view text) const noexcept {
    if (text.empty()) return &InternedString::Empty();
    const std::size_t bucket = findBucket(text, TagOf(KeyedTextHash(text)), TextPrefix(text));
    return buckets_[bucket].tag != 0 ? buckets_[bucket].entry : nullptr;
}

void BindingArena::reserveStrings(std::size_t count) {
    std::size_t buckets = bucketCount_;
    while (count * 4 > buckets * 3) buckets *= 2;
    if (buckets != bucketCount_) rehash(buckets);
}

std::size_t BindingArena::stringDisplacement() const noexcept {
    const std::size_t mask = bucketCount_ - 1;
    std::size_t total = 0;
    for (std::size_t bucket = 0; bucket < bucketCount_; ++bucket) {
        if (buckets_[bucket].tag != 0) total += (bucket - buckets_[bucket].tag) & mask;
    }
    return total;
}

void BindingArena::rehash(std::size_t bucketCount) {
    auto* buckets = static_cast<Bucket*>(::operator new(bucketCount * sizeof(Bucket)));
    std::fill_n(buckets, bucketCount, Bucket{});
    const std::size_t mask = bucketCount - 1;
    for (std::size_t old = 0; old < bucketCount_; ++old) {
        if (buckets_[old].tag == 0) continue;
        std::size_t bucket = buckets_[old].tag & mask;
        while (buckets[bucket].tag != 0) bucket = (bucket + 1) & mask;
        buckets[bucket] = buckets_[old];
    }
    if (buckets_ != initialBuckets_) ::operator delete(buckets_);
    buckets_ = buckets;
    bucketCount_ = bucketCount;
}

}  // namespace Norv
