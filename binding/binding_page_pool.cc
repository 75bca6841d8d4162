#include "binding/binding_page_pool.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <new>

namespace Norv {

struct BindingPagePool::Chunk {
    unsigned char* base = nullptr;
    Chunk* next = nullptr;  // in the list of chunks with free pages
    Chunk* previous = nullptr;
    bool listed = false;
    std::uint8_t freeCount = 0;
    std::uint8_t freePages[kPagesPerChunk] = {};  // page indexes; the last one is taken first
};

namespace {
// Never destroyed at exit: arenas of static values may return pages then.
std::atomic<BindingPagePool*> gInstance{nullptr};
}  // namespace

BindingPagePool& BindingPagePool::Instance() {
    BindingPagePool* pool = gInstance.load(std::memory_order_acquire);
    if (pool != nullptr) return *pool;
    auto* created = new BindingPagePool();
    if (gInstance.compare_exchange_strong(pool, created, std::memory_order_acq_rel)) return *created;
    delete created;  // another thread was first
    return *pool;
}

void BindingPagePool::ReleaseIdle() noexcept {
    BindingPagePool* pool = gInstance.load(std::memory_order_acquire);
    if (pool == nullptr) return;
    pool->releaseSpareChunks();
    if (!pool->chunks_.empty()) return;
    gInstance.store(nullptr, std::memory_order_release);
    delete pool;
}

void BindingPagePool::linkWithFree(Chunk* chunk) noexcept {
    if (chunk->listed) return;
    chunk->previous = nullptr;
    chunk->next = withFree_;
    if (withFree_ != nullptr) withFree_->previous = chunk;
    withFree_ = chunk;
    chunk->listed = true;
}

void BindingPagePool::unlinkWithFree(Chunk* chunk) noexcept {
    if (!chunk->listed) return;
    if (chunk->previous != nullptr) {
        chunk->previous->next = chunk->next;
    } else {
        withFree_ = chunk->next;
    }
    if (chunk->next != nullptr) chunk->next->previous = chunk->previous;
    chunk->next = chunk->previous = nullptr;
    chunk->listed = false;
}

std::vector<BindingPagePool::Chunk*>::iterator BindingPagePool::chunkAfter(std::uintptr_t address) noexcept {
    return std::upper_bound(chunks_.begin(), chunks_.end(), address, [](std::uintptr_t value, const Chunk* chunk) {
        return value < reinterpret_cast<std::uintptr_t>(chunk->base);
    });
}

void* BindingPagePool::acquirePage() {
    std::lock_guard lock(mutex_);
    if (withFree_ == nullptr) {
        void* memory = Platform::CommitPages(kChunkSize);
        if (memory == nullptr) throw std::bad_alloc();
        Chunk* chunk = nullptr;
        try {
            chunk = new Chunk();
            chunk->base = static_cast<unsigned char*>(memory);
            chunks_.insert(chunkAfter(reinterpret_cast<std::uintptr_t>(memory)), chunk);
        } catch (...) {
            delete chunk;
            Platform::ReleasePages(memory, kChunkSize);
            throw;
        }
        // Highest address first, so the lowest page is handed out first.
        for (std::size_t page = kPagesPerChunk; page-- > 0;) {
            chunk->freePages[chunk->freeCount++] = static_cast<std::uint8_t>(page);
        }
        linkWithFree(chunk);
        ++statistics_.chunksCommitted;
        ++statistics_.chunkCommits;
        ++statistics_.spareChunks;  // until its first page goes out just below
    }
    Chunk* chunk = withFree_;
    if (chunk->freeCount == kPagesPerChunk) --statistics_.spareChunks;
    const std::uint8_t page = chunk->freePages[--chunk->freeCount];
    if (chunk->freeCount == 0) unlinkWithFree(chunk);
    ++statistics_.pagesInUse;
    return chunk->base + page * kPageSize;
}

void BindingPagePool::releasePage(void* page) {
    std::lock_guard lock(mutex_);
    releaseLocked(page);
}

void BindingPagePool::releasePages(void* const* pages, std::size_t count) {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count; ++i) releaseLocked(pages[i]);
}

void BindingPagePool::releaseLocked(void* page) {
    const auto address = reinterpret_cast<std::uintptr_t>(page);
    auto found = chunkAfter(address);
    if (found == chunks_.begin()) return;  // not one of ours
    --found;
    Chunk* chunk = *found;
    const std::uintptr_t offset = address - reinterpret_cast<std::uintptr_t>(chunk->base);
    if (offset >= kChunkSize) return;
    chunk->freePages[chunk->freeCount++] = static_cast<std::uint8_t>(offset / kPageSize);
    --statistics_.pagesInUse;
    linkWithFree(chunk);
    if (chunk->freeCount < kPagesPerChunk) return;
    if (statistics_.spareChunks < kSpareChunkLimit) {
        ++statistics_.spareChunks;
        return;
    }
    releaseChunk(found);
}

void BindingPagePool::releaseSpareChunks() noexcept {
    std::lock_guard lock(mutex_);
    for (auto position = chunks_.begin(); position != chunks_.end();) {
        if ((*position)->freeCount == kPagesPerChunk) {
            position = releaseChunk(position);
            --statistics_.spareChunks;
        } else {
            ++position;
        }
    }
}

std::vector<BindingPagePool::Chunk*>::iterator BindingPagePool::releaseChunk(
    std::vector<Chunk*>::iterator position) noexcept {
    Chunk* chunk = *position;
    unlinkWithFree(chunk);
    Platform::ReleasePages(chunk->base, kChunkSize);
    delete chunk;
    --statistics_.chunksCommitted;
    ++statistics_.chunkReleases;
    return chunks_.erase(position);
}

BindingPagePool::Statistics BindingPagePool::statistics() const {
    std::lock_guard lock(mutex_);
    return statistics_;
}

}  // namespace Norv
