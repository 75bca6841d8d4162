#include "binding/slot_page.h"

#include <cstring>
#include <new>

namespace Norv {

namespace {

std::uint16_t NextIndexOf(const unsigned char* slot) noexcept {
    std::uint16_t next;
    std::memcpy(&next, slot, sizeof next);
    return next;
}

void SetNextIndex(unsigned char* slot, std::uint16_t next) noexcept {
    std::memcpy(slot, &next, sizeof next);
}

}  // namespace

SlotPageHeader* FormatSlotPage(void* page, std::size_t pageSize, std::size_t slotSize) noexcept {
    auto* header = new (page) SlotPageHeader{};
    header->pageSize = static_cast<std::uint16_t>(pageSize);
    const std::size_t first = FirstSlotIndex(slotSize);
    const std::size_t end = pageSize / slotSize;
    auto* bytes = static_cast<unsigned char*>(page);
    for (std::size_t index = first; index < end; ++index) {
        SetNextIndex(bytes + index * slotSize, static_cast<std::uint16_t>(index + 1 < end ? index + 1 : 0));
    }
    header->firstFree = static_cast<std::uint16_t>(first < end ? first : 0);
    return header;
}

void* PopSlot(SlotPageHeader* page, std::size_t slotSize) noexcept {
    unsigned char* slot = reinterpret_cast<unsigned char*>(page) + page->firstFree * slotSize;
    page->firstFree = NextIndexOf(slot);
    ++page->slotsInUse;
    return slot;
}

void PushSlot(SlotPageHeader* page, void* slot, std::size_t slotSize) noexcept {
    auto* bytes = static_cast<unsigned char*>(slot);
    SetNextIndex(bytes, page->firstFree);
    page->firstFree =
        static_cast<std::uint16_t>(static_cast<std::size_t>(bytes - reinterpret_cast<unsigned char*>(page)) / slotSize);
    --page->slotsInUse;
}

}  // namespace Norv
