// The process-wide source of 4096-byte slot pages. Memory is committed from
// the system 64 KiB at a time, and a chunk goes back as soon as all 16 of its
// pages have been returned, so an idle process holds no pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/platform.h"

namespace Norv {

class BindingPagePool {
public:
    static constexpr std::size_t kPageSize = 4096;
    static constexpr std::size_t kChunkSize = Platform::kPageChunkSize;
    static constexpr std::size_t kPagesPerChunk = kChunkSize / kPageSize;

    struct Statistics {
        std::size_t chunksCommitted = 0;  // chunks held right now
        std::size_t pagesInUse = 0;       // pages handed out and not returned
        std::uint64_t chunkCommits = 0;   // chunks ever committed
        std::uint64_t chunkReleases = 0;  // chunks ever released to the system
    };

    // Created on first use and kept for the life of the process.
    static BindingPagePool& Instance();

    // A page aligned to kPageSize; throws std::bad_alloc when the system refuses memory.
    void* acquirePage();
    // Returns a page from acquirePage.
    void releasePage(void* page);

    Statistics statistics() const;

    BindingPagePool(const BindingPagePool&) = delete;
    BindingPagePool& operator=(const BindingPagePool&) = delete;

private:
    struct Chunk;

    BindingPagePool() = default;
    ~BindingPagePool() = delete;

    void linkWithFree(Chunk* chunk) noexcept;
    void unlinkWithFree(Chunk* chunk) noexcept;
    std::vector<Chunk*>::iterator chunkAfter(std::uintptr_t address) noexcept;

    mutable Platform::Mutex mutex_;
    std::vector<Chunk*> chunks_;  // ordered by start address, so a page finds its chunk by binary search
    Chunk* withFree_ = nullptr;   // chunks that have a free page
    Statistics statistics_;
};

}  // namespace Norv
