// The memory-statistics callback as the host reads it: fourteen words, each
// 64-bit counter low word first. Checked against sizes the test adds up itself.
#include "diagnostics/allocation_statistics.h"
#include "plugin/host_plugin.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>

namespace Norv {
namespace {

// One word more than the callback may write, to see that it does not.
using Words = std::array<std::uint32_t, NORV_MEMORY_STATISTICS_WORDS + 1>;

Words ReadWords(const PluginCallbacks& callbacks) {
    Words words;
    words.fill(0xDEADBEEFu);
    callbacks.memoryStatistics(nullptr, words.data());
    EXPECT_EQ(words.back(), 0xDEADBEEFu);
    return words;
}

std::uint64_t Counter(const Words& words, std::size_t index) {
    return words[2 * index] | std::uint64_t{words[2 * index + 1]} << 32;
}

// Blocks of 256 MiB, allocated and released at once (the pages are never
// touched), until more than 4 GiB have passed through the counters.
TEST(MemoryStatistics, CountersPassFourGibibytesIntact) {
    HostPlugin plugin;
    const PluginCallbacks& callbacks = plugin.Callbacks();
    const Words before = ReadWords(callbacks);

    constexpr std::size_t kBlock = std::size_t{256} << 20;
    constexpr int kBlocks = 17;
    std::uint64_t bytes = 0;
    for (int i = 0; i < kBlocks; ++i) {
        void* block = Memory::Allocate(kBlock);
        ASSERT_NE(block, nullptr) << i;
        const std::size_t usable = Memory::UsableSize(block);
        ASSERT_GE(usable, kBlock);
        bytes += usable;
        Memory::Release(block);
    }
    ASSERT_GT(bytes, std::uint64_t{1} << 32);

    const Words after = ReadWords(callbacks);
    EXPECT_EQ(Counter(after, NORV_MEMORY_BYTES_ALLOCATED) - Counter(before, NORV_MEMORY_BYTES_ALLOCATED), bytes);
    EXPECT_EQ(Counter(after, NORV_MEMORY_BYTES_FREED) - Counter(before, NORV_MEMORY_BYTES_FREED), bytes);
    EXPECT_EQ(Counter(after, NORV_MEMORY_ALLOCATIONS) - Counter(before, NORV_MEMORY_ALLOCATIONS), kBlocks);
    EXPECT_EQ(Counter(after, NORV_MEMORY_RELEASES) - Counter(before, NORV_MEMORY_RELEASES), kBlocks);
    // One block at a time was ever live on top of what was live before.
    EXPECT_GE(Counter(after, NORV_MEMORY_PEAK_BYTES), kBlock);
}

}  // namespace
}  // namespace Norv
