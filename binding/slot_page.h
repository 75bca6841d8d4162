// Fixed-size slot pages of an arena's size classes. A page starts with this
// header; slots are numbered from the page start in units of the slot size, the
// ones overlapping the header are never used, and each free slot keeps the index
// of the next free slot in its first two bytes (0 ends the chain, since slot 0
// always lies in the header).
#pragma once

#include <cstddef>
#include <cstdint>

namespace Norv {

struct SlotPageHeader {
    SlotPageHeader* next;      // next page of the class that has a free slot
    SlotPageHeader* previous;  // previous such page
    std::uint16_t pageSize;
    std::uint16_t slotsInUse;
    std::uint16_t firstFree;  // 0 when the page is full
    std::uint16_t reserved;
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

// Writes the header and chains every usable slot in ascending order.
SlotPageHeader* FormatSlotPage(void* page, std::size_t pageSize, std::size_t slotSize) noexcept;

// Takes the first free slot of a page that has one.
void* PopSlot(SlotPageHeader* page, std::size_t slotSize) noexcept;

// Puts a slot of the page back at the front of its free chain.
void PushSlot(SlotPageHeader* page, void* slot, std::size_t slotSize) noexcept;

}  // namespace Norv
