// Fixed-size slot pages of an arena's size classes. A page starts with this
// header; slots are numbered from the page start in units of the slot size, the
// ones overlapping the header are never used, and each free slot keeps the index
// of the next free slot in its first two bytes (0 ends the chain, since slot 0
// always lies in the header). Slots from `freshIndex` on have never been handed
// out; they join the chain as they are reached, so formatting a page writes
// only its header and untouched memory stays untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Norv {

struct SlotPageHeader {
    SlotPageHeader* next;      // next page of the class in the same list
    SlotPageHeader* previous;  // previous page in that list
    std::uint16_t pageSize;
    std::uint16_t slotsInUse;
    std::uint16_t firstFree;   // 0 when the page is full
    std::uint16_t freshIndex;  // first slot never handed out
};

constexpr std::size_t kSlotPageSize = 4096;
constexpr std::size_t kBuiltinSlotPageSize = 144;
constexpr std::size_t kSlotPageHeaderSize = sizeof(SlotPageHeader);
static_assert(sizeof(void*) != 4 || kSlotPageHeaderSize == 16, "a slot page header is 16 bytes on 32-bit targets");

// Index of the first slot that lies wholly after the header.
constexpr std::uint16_t FirstSlotIndex(std::size_t slotSize) noexcept {
    return static_cast<std::uint16_t>((kSlotPageHeaderSize + slotSize - 1) / slotSize);
}
// Slots a page of `pageSize` bytes offers for `slotSize`-byte slots.
constexpr std::size_t UsableSlotCount(std::size_t pageSize, std::size_t slotSize) noexcept {
    return pageSize / slotSize - FirstSlotIndex(slotSize);
}

// Writes the header of an empty page; every usable slot is free.
SlotPageHeader* FormatSlotPage(void* page, std::size_t pageSize, std::size_t slotSize) noexcept;

// Takes the first free slot of a page that has one; says whether the page is now full.
// Header fields are read before anything is written, since a write through the
// slot may alias them as far as the compiler knows.
struct SlotTaken {
    void* slot;
    bool pageFull;
};
inline SlotTaken PopSlot(SlotPageHeader* page, std::size_t slotSize) noexcept {
    const std::uint16_t index = page->firstFree;
    const std::uint16_t fresh = page->freshIndex;
    const std::uint16_t inUse = page->slotsInUse;
    const std::uint16_t pageSize = page->pageSize;
    unsigned char* slot = reinterpret_cast<unsigned char*>(page) + index * slotSize;
    std::uint16_t next;
    if (index == fresh) {
        next = static_cast<std::uint16_t>(fresh + 1);
        page->freshIndex = next;
        if ((next + 1u) * slotSize > pageSize) next = 0;
    } else {
        std::memcpy(&next, slot, sizeof next);
    }
    page->firstFree = next;
    page->slotsInUse = static_cast<std::uint16_t>(inUse + 1);
    return {slot, next == 0};
}

// Puts a slot back at the front of its page's free chain.
struct SlotReturned {
    bool pageWasFull;
    bool pageEmpty;
};
inline SlotReturned PushSlot(SlotPageHeader* page, void* slot, std::size_t slotSize) noexcept {
    const std::uint16_t first = page->firstFree;
    const auto inUse = static_cast<std::uint16_t>(page->slotsInUse - 1);
    auto* bytes = static_cast<unsigned char*>(slot);
    const auto index =
        static_cast<std::uint16_t>(static_cast<std::size_t>(bytes - reinterpret_cast<unsigned char*>(page)) / slotSize);
    std::memcpy(bytes, &first, sizeof first);
    page->firstFree = index;
    page->slotsInUse = inUse;
    return {first == 0, inUse == 0};
}

}  // namespace Norv
