// The process-wide source of 4096-byte slot pages. Memory is committed from
// the system 64 KiB at a time. A chunk whose 16 pages are all back is kept as a
// spare while the spares stay within kSpareChunkLimit, and goes back to the
// system otherwise: releasing every chunk at once made each large document pay
// the system's page faults again, several times the cost of building it.
// Unloading the plugin gives the spares back, and the pool itself when it is
// idle, so an unloaded plugin holds no pages and leaves no allocation behind.
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
    static constexpr std::size_t kSpareChunkLimit = 256;  // 16 MiB

    struct Statistics {
        std::size_t chunksCommitted = 0;  // chunks held right now
        std::size_t pagesInUse = 0;       // pages handed out and not returned
        std::uint64_t chunkCommits = 0;   // chunks ever committed
        std::uint64_t chunkReleases = 0;  // chunks ever released to the system
        std::size_t spareChunks = 0;      // held chunks none of whose pages is in use
    };

    // Created on first use and kept until ReleaseIdle finds it idle.
    static BindingPagePool& Instance();
    // For plugin unload, when nothing else uses the pool: gives every spare
    // chunk back, then the pool itself when no page is out.
    static void ReleaseIdle() noexcept;

    // A page aligned to kPageSize; throws std::bad_alloc when the system refuses memory.
    void* acquirePage();
    // Returns a page from acquirePage.
    void releasePage(void* page);
    // Returns several pages under one lock.
    void releasePages(void* const* pages, std::size_t count);
    // Gives every spare chunk back to the system.
    void releaseSpareChunks() noexcept;

    Statistics statistics() const;

    BindingPagePool(const BindingPagePool&) = delete;
    BindingPagePool& operator=(const BindingPagePool&) = delete;

private:
    struct Chunk;

    BindingPagePool() = default;
    ~BindingPagePool() = default;

    void linkWithFree(Chunk* chunk) noexcept;
    void unlinkWithFree(Chunk* chunk) noexcept;
    std::vector<Chunk*>::iterator chunkAfter(std::uintptr_t address) noexcept;
    std::vector<Chunk*>::iterator releaseChunk(std::vector<Chunk*>::iterator position) noexcept;
    void releaseLocked(void* page);

    mutable Platform::Mutex mutex_;
    std::vector<Chunk*> chunks_;  // ordered by start address, so a page finds its chunk by binary search
    Chunk* withFree_ = nullptr;   // chunks that have a free page
    Statistics statistics_;
};

}  // namespace Norv
