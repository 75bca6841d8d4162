#include "diagnostics/allocation_statistics.h"

#include "platform/platform.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace Norv {

namespace {

enum Counter : std::size_t { kPeak, kBlocksAtPeak, kBytesAllocated, kAllocations, kBytesFreed, kReleases };

// Constant-initialised: counting is ready before the first allocation.
constinit std::atomic<std::uint64_t> g_counters[7] = {};

void Add(Counter counter, std::uint64_t amount) {
    g_counters[counter].fetch_add(amount, std::memory_order_relaxed);
}

// What is live now, each in one counter of its own: a value worked out from
// two counters read apart can be off by another thread's update, or wrap.
constinit std::atomic<std::uint64_t> g_liveBytes = 0;
constinit std::atomic<std::uint64_t> g_liveBlocks = 0;

void CountAllocation(void* block) {
    const std::uint64_t bytes = Platform::HeapBlockUsableSize(block);
    Add(kBytesAllocated, bytes);
    Add(kAllocations, 1);
    const std::uint64_t live = g_liveBytes.fetch_add(bytes, std::memory_order_relaxed) + bytes;
    const std::uint64_t blocks = g_liveBlocks.fetch_add(1, std::memory_order_relaxed) + 1;
    std::uint64_t peak = g_counters[kPeak].load(std::memory_order_relaxed);
    while (live > peak) {
        if (g_counters[kPeak].compare_exchange_weak(peak, live, std::memory_order_relaxed)) {
            g_counters[kBlocksAtPeak].store(blocks, std::memory_order_relaxed);
            break;
        }
    }
}

void CountRelease(std::size_t usableSize) {
    g_liveBytes.fetch_sub(usableSize, std::memory_order_relaxed);
    g_liveBlocks.fetch_sub(1, std::memory_order_relaxed);
    Add(kBytesFreed, usableSize);
    Add(kReleases, 1);
}

}  // namespace

AllocationStatistics CurrentAllocationStatistics() {
    AllocationStatistics statistics;
    for (std::size_t i = 0; i < statistics.counters.size(); ++i) {
        statistics.counters[i] = g_counters[i].load(std::memory_order_relaxed);
    }
    return statistics;
}

namespace Memory {

void* Allocate(std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block != nullptr) CountAllocation(block);
    return block;
}

void Release(void* block) {
    if (block == nullptr) return;
    CountRelease(Platform::HeapBlockUsableSize(block));
    std::free(block);
}

void* Reallocate(void* block, std::size_t bytes) {
    if (block == nullptr) return Allocate(bytes);
    if (bytes == 0) {
        Release(block);
        return nullptr;
    }
    std::size_t oldSize = Platform::HeapBlockUsableSize(block);
    void* moved = std::realloc(block, bytes);
    if (moved == nullptr) return nullptr;
    CountRelease(oldSize);
    CountAllocation(moved);
    return moved;
}

char* DuplicateString(const char* text) {
    if (text == nullptr) return nullptr;
    std::size_t length = std::strlen(text);
    auto* copy = static_cast<char*>(Allocate(length + 1));
    if (copy != nullptr) std::memcpy(copy, text, length + 1);
    return copy;
}

std::size_t UsableSize(void* block) {
    return Platform::HeapBlockUsableSize(block);
}

}  // namespace Memory

}  // namespace Norv
