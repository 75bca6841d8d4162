#include "binding/slot_page.h"

#include <new>

namespace Norv {

SlotPageHeader* FormatSlotPage(void* page, std::size_t pageSize, std::size_t slotSize) noexcept {
    auto* header = new (page) SlotPageHeader{};
    header->pageSize = static_cast<std::uint16_t>(pageSize);
    const std::uint16_t first = FirstSlotIndex(slotSize);
    header->freshIndex = first;
    header->firstFree = (first + 1u) * slotSize <= pageSize ? first : 0;
    return header;
}

}  // namespace Norv
