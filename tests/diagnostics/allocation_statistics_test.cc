#include "diagnostics/allocation_statistics.h"

#include "platform/platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace Norv {
namespace {

// Only explicit Memory:: calls are counted in this binary, so deltas are exact.
struct Delta {
    AllocationStatistics before = CurrentAllocationStatistics();

    std::uint64_t Of(std::size_t counter) const {
        return CurrentAllocationStatistics().counters[counter] - before.counters[counter];
    }
    // Bytes allocated, allocations, bytes freed, releases.
    std::vector<std::uint64_t> Counts() const { return {Of(2), Of(3), Of(4), Of(5)}; }
};

TEST(AllocationStatistics, AllocateAndReleaseCountUsableSizes) {
    Delta delta;
    void* block = Memory::Allocate(100);
    ASSERT_NE(block, nullptr);
    std::size_t usable = Platform::HeapBlockUsableSize(block);
    EXPECT_GE(usable, 100u);
    EXPECT_EQ(Memory::UsableSize(block), usable);
    EXPECT_EQ(delta.Counts(), (std::vector<std::uint64_t>{usable, 1, 0, 0}));
    Memory::Release(block);
    Memory::Release(nullptr);
    EXPECT_EQ(delta.Counts(), (std::vector<std::uint64_t>{usable, 1, usable, 1}));
    EXPECT_EQ(CurrentAllocationStatistics().counters[6], 0u);
    // A duplicated string is one allocation; no string, none. Some length
    // crosses a size class of any allocator, so a short copy shows.
    EXPECT_EQ(Memory::DuplicateString(nullptr), nullptr);
    for (std::size_t length = 0; length < 64; ++length) {
        const std::string text(length, 'x');
        char* copy = Memory::DuplicateString(text.c_str());
        EXPECT_EQ(copy, text);
        EXPECT_GT(Memory::UsableSize(copy), length) << length;
        Memory::Release(copy);
    }
    EXPECT_EQ(delta.Of(3), 65u);
}

TEST(AllocationStatistics, ReallocationCountsOldAndNewSizesFromNullAndToZero) {
    const Delta fromNull;
    void* block = Memory::Reallocate(nullptr, 16);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(fromNull.Counts(), (std::vector<std::uint64_t>{Memory::UsableSize(block), 1, 0, 0}));
    std::memset(block, 0x5A, 16);
    std::size_t oldSize = Memory::UsableSize(block);
    Delta delta;
    void* moved = Memory::Reallocate(block, 64 * 1024);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(delta.Counts(), (std::vector<std::uint64_t>{Memory::UsableSize(moved), 1, oldSize, 1}));
    EXPECT_EQ(static_cast<unsigned char*>(moved)[15], 0x5A);
    EXPECT_EQ(Memory::Reallocate(moved, 0), nullptr);
    EXPECT_EQ(delta.Of(5), 2u);
    EXPECT_EQ(fromNull.Of(2), fromNull.Of(4));
}

TEST(AllocationStatistics, PeakFollowsLiveBytesAndRemembersLiveBlocks) {
    AllocationStatistics before = CurrentAllocationStatistics();
    // Larger than anything live so far, so it must raise the peak.
    std::size_t bytes = static_cast<std::size_t>(before.PeakBytes()) + 4 * 1024 * 1024;
    void* big = Memory::Allocate(bytes);
    ASSERT_NE(big, nullptr);
    AllocationStatistics raised = CurrentAllocationStatistics();
    EXPECT_EQ(raised.PeakBytes(), raised.BytesAllocated() - raised.BytesFreed());
    EXPECT_EQ(raised.BlocksAtPeak(), raised.Allocations() - raised.Releases());
    Memory::Release(big);
    void* small = Memory::Allocate(8);
    AllocationStatistics after = CurrentAllocationStatistics();
    EXPECT_EQ(after.PeakBytes(), raised.PeakBytes());
    EXPECT_EQ(after.BlocksAtPeak(), raised.BlocksAtPeak());
    Memory::Release(small);
}

TEST(AllocationStatistics, CountersStayExactAndThePeakTrueAcrossThreads) {
    Delta delta;
    const AllocationStatistics before = CurrentAllocationStatistics();
    auto work = [] {
        for (int i = 0; i < 20000; ++i) Memory::Release(Memory::Allocate(static_cast<std::size_t>(i % 200)));
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i) threads.emplace_back(work);
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(delta.Counts(), (std::vector<std::uint64_t>{delta.Of(4), 160000, delta.Of(4), 160000}));
    // At most one block a thread was live beside what was live before; a
    // peak worked out from two separate reads can exceed that, or wrap.
    const std::uint64_t liveBefore = before.BytesAllocated() - before.BytesFreed();
    EXPECT_LE(CurrentAllocationStatistics().PeakBytes(), std::max(before.PeakBytes(), liveBefore + 8 * 256));
}

}  // namespace
}  // namespace Norv
