// Log groups: 64 three-letter tags, bit i of a record's group mask standing
// for entry i. Eight are predefined; the rest read "???" until registered.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

namespace Norv {

inline constexpr std::uint64_t kLogGroupDbg = 1ull << 0;
inline constexpr std::uint64_t kLogGroupGen = 1ull << 1;
inline constexpr std::uint64_t kLogGroupXtr = 1ull << 2;
inline constexpr std::uint64_t kLogGroupPrf = 1ull << 3;
inline constexpr std::uint64_t kLogGroupMem = 1ull << 4;
inline constexpr std::uint64_t kLogGroupDsk = 1ull << 5;
inline constexpr std::uint64_t kLogGroupNet = 1ull << 6;
inline constexpr std::uint64_t kLogGroupTst = 1ull << 7;

class LogGroupTable {
public:
    static constexpr int kCapacity = 64;

    constexpr LogGroupTable();

    // The mask of the tag (its first three characters), registering it when it
    // is new; the empty mask once all 64 entries are taken.
    std::uint64_t Register(const char* tag);
    // Tags of the set bits from bit 0 upward, joined by ';'.
    std::string Names(std::uint64_t mask) const;
    // Appends the names to a buffer; returns the new length (never past capacity - 1).
    std::size_t AppendNames(std::uint64_t mask, char* buffer, std::size_t length, std::size_t capacity) const;
    const char* Tag(int index) const { return index >= 0 && index < kCapacity ? tags_[index] : "???"; }

private:
    char tags_[kCapacity][4];
    std::atomic<int> highest_;  // highest index in use
};

constexpr LogGroupTable::LogGroupTable() : tags_{"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"}, highest_(7) {
    for (int i = 8; i < kCapacity; ++i) {
        tags_[i][0] = tags_[i][1] = tags_[i][2] = '?';
        tags_[i][3] = '\0';
    }
}

// The process-wide table, constant-initialised when the library loads.
LogGroupTable& LogGroups();

}  // namespace Norv
