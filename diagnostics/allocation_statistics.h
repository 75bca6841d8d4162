// The counting allocator: every allocation of the runtime goes through these
// functions (the shipping module routes the global operator new and delete
// here), and seven process-wide counters record it for the host.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Norv {

// The seven counters in the host's order (see NORV_MEMORY_* in norv_plugin.h).
struct AllocationStatistics {
    std::array<std::uint64_t, 7> counters{};

    std::uint64_t PeakBytes() const { return counters[0]; }
    std::uint64_t BlocksAtPeak() const { return counters[1]; }
    std::uint64_t BytesAllocated() const { return counters[2]; }
    std::uint64_t Allocations() const { return counters[3]; }
    std::uint64_t BytesFreed() const { return counters[4]; }
    std::uint64_t Releases() const { return counters[5]; }
};

// Each counter is read atomically; the set as a whole is not a snapshot.
AllocationStatistics CurrentAllocationStatistics();

namespace Memory {

// Never returns null for a successful request; null when the heap is exhausted.
// A request of 0 bytes yields a distinct block, as operator new must.
void* Allocate(std::size_t bytes);
// Null is accepted and ignored.
void Release(void* block);
// Counts as one release of the old block and one allocation of the new one.
// A null block allocates; 0 bytes releases and returns null. On failure the old
// block is left untouched and uncounted, and null is returned.
void* Reallocate(void* block, std::size_t bytes);
// A counted copy of a NUL-terminated text; null for null.
char* DuplicateString(const char* text);
std::size_t UsableSize(void* block);

}  // namespace Memory

}  // namespace Norv
