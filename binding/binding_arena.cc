#include "binding/binding_arena.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include "binding/binding_page_pool.h"

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

constexpr std::size_t RoundToSlotSize(std::size_t size) noexcept {
    return (size + BindingArena::kSlotGranularity - 1) / BindingArena::kSlotGranularity *
           BindingArena::kSlotGranularity;
}

}  // namespace

BindingArena::BindingArena() noexcept : buckets_(initialBuckets_) {}

BindingArena::~BindingArena() {
    // A tree releases every entry before its arena goes; this only guards against leaks.
    for (std::size_t bucket = 0; bucket < bucketCount_; ++bucket) {
        for (InternedString* entry = buckets_[bucket]; entry != nullptr;) {
            InternedString* next = entry->next_;
            deallocate(entry, InternedString::AllocationSize(entry->length_));
            entry = next;
        }
    }
    if (buckets_ != initialBuckets_) delete[] buckets_;
}

void* BindingArena::allocateSlot(std::size_t size) {
    size = RoundToSlotSize(size);
    const std::size_t index = size / kSlotGranularity - 1;
    SizeClass& sizeClass = classes_[index];
    SlotPageHeader* page = sizeClass.firstWithFree;
    if (page == nullptr) {
        const std::uint32_t builtinBit = 1u << index;
        if ((builtinFormatted_ & builtinBit) == 0) {
            page = FormatSlotPage(sizeClass.builtinPage, kBuiltinSlotPageSize, size);
            builtinFormatted_ |= builtinBit;
        } else {
            page = FormatSlotPage(BindingPagePool::Instance().acquirePage(), kSlotPageSize, size);
            ++pagesHeld_;
        }
        sizeClass.firstWithFree = page;
    }
    void* slot = PopSlot(page, size);
    if (page->firstFree == 0) {
        // Full: it leaves the list, of which it is the head.
        sizeClass.firstWithFree = page->next;
        if (page->next != nullptr) page->next->previous = nullptr;
        page->next = nullptr;
    }
    return slot;
}

void BindingArena::releaseSlot(void* slot, std::size_t size) noexcept {
    size = RoundToSlotSize(size);
    SizeClass& sizeClass = classes_[size / kSlotGranularity - 1];
    const auto address = reinterpret_cast<std::uintptr_t>(slot);
    const auto builtinStart = reinterpret_cast<std::uintptr_t>(sizeClass.builtinPage);
    const bool builtin = address - builtinStart < kBuiltinSlotPageSize;
    auto* page = builtin ? reinterpret_cast<SlotPageHeader*>(sizeClass.builtinPage)
                         : reinterpret_cast<SlotPageHeader*>(address & ~(std::uintptr_t{kSlotPageSize} - 1));
    const bool wasFull = page->firstFree == 0;
    PushSlot(page, slot, size);
    if (wasFull) {
        page->previous = nullptr;
        page->next = sizeClass.firstWithFree;
        if (page->next != nullptr) page->next->previous = page;
        sizeClass.firstWithFree = page;
    }
    if (page->slotsInUse != 0 || builtin) return;
    if (page->previous != nullptr) {
        page->previous->next = page->next;
    } else {
        sizeClass.firstWithFree = page->next;
    }
    if (page->next != nullptr) page->next->previous = page->previous;
    BindingPagePool::Instance().releasePage(page);
    --pagesHeld_;
}

const InternedString* BindingArena::intern(const HashedName& name) {
    const std::string_view text = name.text();
    if (text.empty()) return &InternedString::Empty();
    const std::uint32_t hash = name.hash();
    for (InternedString* entry = buckets_[hash & (bucketCount_ - 1)]; entry != nullptr; entry = entry->next_) {
        if (entry->hash_ == hash && entry->text() == text) {
            ++entry->refCount_;
            return entry;
        }
    }
    if (text.size() > UINT32_MAX) throw std::length_error("string too long");
    if (stringCount_ >= bucketCount_) growBuckets();
    void* memory = allocate(InternedString::AllocationSize(text.size()));
    auto* entry = new (memory) InternedString(hash, static_cast<std::uint32_t>(text.size()));
    std::memcpy(entry->textBuffer(), text.data(), text.size());
    entry->textBuffer()[text.size()] = '\0';
    entry->refCount_ = 1;
    InternedString*& head = buckets_[hash & (bucketCount_ - 1)];
    entry->next_ = head;
    head = entry;
    ++stringCount_;
    return entry;
}

void BindingArena::release(const InternedString* entry) noexcept {
    if (entry == nullptr || entry == &InternedString::Empty()) return;
    auto* counted = const_cast<InternedString*>(entry);
    if (--counted->refCount_ != 0) return;
    InternedString** link = &buckets_[counted->hash_ & (bucketCount_ - 1)];
    while (*link != counted) link = &(*link)->next_;
    *link = counted->next_;
    --stringCount_;
    deallocate(counted, InternedString::AllocationSize(counted->length_));
}

const InternedString* BindingArena::findString(std::string_view text) const noexcept {
    if (text.empty()) return &InternedString::Empty();
    const std::uint32_t hash = HashText(text);
    for (const InternedString* entry = buckets_[hash & (bucketCount_ - 1)]; entry != nullptr; entry = entry->next_) {
        if (entry->hash_ == hash && entry->text() == text) return entry;
    }
    return nullptr;
}

void BindingArena::growBuckets() {
    const std::size_t count = bucketCount_ * 2;
    auto* buckets = new InternedString*[count]();
    for (std::size_t bucket = 0; bucket < bucketCount_; ++bucket) {
        for (InternedString* entry = buckets_[bucket]; entry != nullptr;) {
            InternedString* next = entry->next_;
            InternedString*& head = buckets[entry->hash_ & (count - 1)];
            entry->next_ = head;
            head = entry;
            entry = next;
        }
    }
    if (buckets_ != initialBuckets_) delete[] buckets_;
    buckets_ = buckets;
    bucketCount_ = count;
}

}  // namespace Norv
