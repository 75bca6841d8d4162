#include "diagnostics/log_groups.h"

#include <cstring>

namespace Norv {

namespace {
constinit LogGroupTable g_logGroups;

bool SameTag(const char* stored, const char* tag) {
    return std::strncmp(stored, tag, 3) == 0;
}
}  // namespace

LogGroupTable& LogGroups() {
    return g_logGroups;
}

std::uint64_t LogGroupTable::Register(const char* tag) {
    if (tag == nullptr) return 0;
    int highest = highest_.load();
    for (int i = 0; i <= highest && i < kCapacity; ++i) {
        if (SameTag(tags_[i], tag)) return 1ull << i;
    }
    // Claim the next index without ever moving the counter past the table.
    while (highest < kCapacity - 1) {
        if (highest_.compare_exchange_weak(highest, highest + 1)) {
            int index = highest + 1;
            std::strncpy(tags_[index], tag, 3);
            tags_[index][3] = '\0';
            return 1ull << index;
        }
    }
    return 0;
}

std::size_t LogGroupTable::AppendNames(std::uint64_t mask, char* buffer, std::size_t length,
                                       std::size_t capacity) const {
    bool first = true;
    for (int i = 0; i < kCapacity && mask != 0; ++i, mask >>= 1) {
        if ((mask & 1) == 0) continue;
        if (!first && length + 1 < capacity) buffer[length++] = ';';
        first = false;
        for (const char* c = tags_[i]; *c != '\0' && length + 1 < capacity; ++c) buffer[length++] = *c;
    }
    if (length < capacity) buffer[length] = '\0';
    return length;
}

std::string LogGroupTable::Names(std::uint64_t mask) const {
    char buffer[64 * 4 + 1];
    std::size_t length = AppendNames(mask, buffer, 0, sizeof buffer);
    return std::string(buffer, length);
}

}  // namespace Norv
