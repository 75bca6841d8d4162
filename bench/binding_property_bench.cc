// BindingProperty against nlohmann::json on one wide structure, and the arena's
// slots against malloc/free. Memory per member is reported as counters: the
// page pool's pages in use plus what global operator new handed out.
//
// The page pool keeps wholly free chunks as spares, so a loop that builds and
// destroys one tree reuses its pages. The "WarmPool" cases also pin one page of
// each of many chunks first, as other live trees of a running process would;
// the plain cases run first and still see the C heap settle its own sizes.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "binding/binding_arena.h"
#include "binding/binding_page_pool.h"
#include "binding/binding_property.h"
#include "platform/platform.h"

namespace {

std::atomic<std::int64_t> liveHeapBytes{0};

}  // namespace

// Counts the heap bytes behind every operator new of this binary (usable block
// sizes, as the allocator sees them). Out of line so the compiler cannot pair
// the malloc and free across them.
[[gnu::noinline]] void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    liveHeapBytes.fetch_add(static_cast<std::int64_t>(Norv::Platform::HeapBlockUsableSize(block)),
                            std::memory_order_relaxed);
    return block;
}

[[gnu::noinline]] void operator delete(void* block) noexcept {
    if (block == nullptr) return;
    liveHeapBytes.fetch_sub(static_cast<std::int64_t>(Norv::Platform::HeapBlockUsableSize(block)),
                            std::memory_order_relaxed);
    std::free(block);
}

[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept {
    operator delete(block);
}

namespace {

constexpr int kMembers = 10000;

struct Names {
    std::vector<std::string> names;
    std::vector<std::string> values;
    Names() {
        for (int i = 0; i < kMembers; ++i) {
            names.push_back("key" + std::to_string(i));
            values.push_back("value" + std::to_string(i % 100));
        }
    }
};

const Names& Data() {
    static const Names data;
    return data;
}

Norv::BindingProperty BuildNorv() {
    const Names& data = Data();
    Norv::BindingProperty root;
    for (int i = 0; i < kMembers; ++i) root.member(data.names[i]) = data.values[i];
    return root;
}

nlohmann::json BuildNlohmann() {
    const Names& data = Data();
    nlohmann::json root = nlohmann::json::object();
    for (int i = 0; i < kMembers; ++i) root[data.names[i]] = data.values[i];
    return root;
}

// Keeps `chunks` chunks committed by holding the first page of each.
class PoolBallast {
public:
    explicit PoolBallast(int chunks) {
        Norv::BindingPagePool& pool = Norv::BindingPagePool::Instance();
        std::vector<void*> others;
        std::uint64_t commits = pool.statistics().chunkCommits;
        while (static_cast<int>(pinned_.size()) < chunks) {
            void* page = pool.acquirePage();
            if (pool.statistics().chunkCommits != commits) {
                commits = pool.statistics().chunkCommits;
                pinned_.push_back(page);
            } else {
                others.push_back(page);
            }
        }
        for (std::size_t i = 1; i < Norv::BindingPagePool::kPagesPerChunk; ++i) others.push_back(pool.acquirePage());
        for (void* page : others) pool.releasePage(page);
    }
    ~PoolBallast() {
        for (void* page : pinned_) Norv::BindingPagePool::Instance().releasePage(page);
    }

private:
    std::vector<void*> pinned_;
};

constexpr int kBallastChunks = 40;

void BuildDestroyNorv(benchmark::State& state) {
    for (auto _ : state) {
        Norv::BindingProperty root = BuildNorv();
        benchmark::DoNotOptimize(root.size());
    }
}

void BuildDestroyNlohmann(benchmark::State& state) {
    for (auto _ : state) {
        nlohmann::json root = BuildNlohmann();
        benchmark::DoNotOptimize(root.size());
    }
}

void LookupNorv(benchmark::State& state) {
    const Norv::BindingProperty root = BuildNorv();
    const Names& data = Data();
    for (auto _ : state) {
        std::size_t found = 0;
        for (const std::string& name : data.names) found += root.get(name).size();
        benchmark::DoNotOptimize(found);
    }
}

void LookupNlohmann(benchmark::State& state) {
    const nlohmann::json root = BuildNlohmann();
    const Names& data = Data();
    for (auto _ : state) {
        std::size_t found = 0;
        for (const std::string& name : data.names) found += root.find(name)->size();
        benchmark::DoNotOptimize(found);
    }
}

// The copy is destroyed inside the loop too, the same for both.
void DeepCopyNorv(benchmark::State& state) {
    const Norv::BindingProperty root = BuildNorv();
    for (auto _ : state) {
        Norv::BindingProperty copy = root;
        benchmark::DoNotOptimize(copy.size());
    }
}

void DeepCopyNlohmann(benchmark::State& state) {
    const nlohmann::json root = BuildNlohmann();
    for (auto _ : state) {
        nlohmann::json copy = root;
        benchmark::DoNotOptimize(copy.size());
    }
}

constexpr std::size_t kNodeSize = 40;
constexpr int kNodes = 1000;

void SlotsNorv(benchmark::State& state) {
    Norv::BindingArena arena;
    std::vector<void*> nodes(kNodes);
    for (auto _ : state) {
        for (void*& node : nodes) node = arena.allocateSlot(kNodeSize);
        benchmark::DoNotOptimize(nodes.data());
        for (void* node : nodes) arena.releaseSlot(node, kNodeSize);
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

void SlotsMalloc(benchmark::State& state) {
    std::vector<void*> nodes(kNodes);
    for (auto _ : state) {
        for (void*& node : nodes) node = std::malloc(kNodeSize);
        benchmark::DoNotOptimize(nodes.data());
        for (void* node : nodes) std::free(node);
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

// One node taken and given back at a time.
void SlotPairsNorv(benchmark::State& state) {
    Norv::BindingArena arena;
    for (auto _ : state) {
        for (int i = 0; i < kNodes; ++i) {
            void* node = arena.allocateSlot(kNodeSize);
            benchmark::DoNotOptimize(node);
            arena.releaseSlot(node, kNodeSize);
        }
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

void SlotPairsMalloc(benchmark::State& state) {
    for (auto _ : state) {
        for (int i = 0; i < kNodes; ++i) {
            void* node = std::malloc(kNodeSize);
            benchmark::DoNotOptimize(node);
            std::free(node);
        }
    }
    state.SetItemsProcessed(state.iterations() * kNodes);
}

// Bytes per member of the built structure, as the pool and the heap see it.
void MemoryNorv(benchmark::State& state) {
    Data();
    const Norv::BindingPagePool& pool = Norv::BindingPagePool::Instance();
    double perMember = 0;
    double heapPerMember = 0;
    double poolPerMember = 0;
    for (auto _ : state) {
        const std::size_t pagesBefore = pool.statistics().pagesInUse;
        const std::int64_t heapBefore = liveHeapBytes.load();
        Norv::BindingProperty root = BuildNorv();
        const double pages =
            static_cast<double>(pool.statistics().pagesInUse - pagesBefore) * Norv::BindingPagePool::kPageSize;
        const double heap = static_cast<double>(liveHeapBytes.load() - heapBefore);
        poolPerMember = pages / kMembers;
        heapPerMember = heap / kMembers;
        perMember = (pages + heap) / kMembers;
    }
    state.counters["bytes_per_member"] = perMember;
    state.counters["pool_bytes_per_member"] = poolPerMember;
    state.counters["heap_bytes_per_member"] = heapPerMember;
}

void MemoryNlohmann(benchmark::State& state) {
    Data();
    double perMember = 0;
    for (auto _ : state) {
        const std::int64_t heapBefore = liveHeapBytes.load();
        nlohmann::json root = BuildNlohmann();
        perMember = static_cast<double>(liveHeapBytes.load() - heapBefore) / kMembers;
    }
    state.counters["bytes_per_member"] = perMember;
    state.counters["heap_bytes_per_member"] = perMember;
}

template <void (*Run)(benchmark::State&)>
void WarmPool(benchmark::State& state) {
    const PoolBallast ballast(kBallastChunks);
    Run(state);
}

BENCHMARK(BuildDestroyNorv)->Name("BM_BuildDestroy/Norv");
BENCHMARK(BuildDestroyNlohmann)->Name("BM_BuildDestroy/Nlohmann");
BENCHMARK(WarmPool<BuildDestroyNorv>)->Name("BM_BuildDestroyWarmPool/Norv");
BENCHMARK(BuildDestroyNlohmann)->Name("BM_BuildDestroyWarmPool/Nlohmann");
BENCHMARK(LookupNorv)->Name("BM_Lookup/Norv");
BENCHMARK(LookupNlohmann)->Name("BM_Lookup/Nlohmann");
BENCHMARK(DeepCopyNorv)->Name("BM_DeepCopy/Norv");
BENCHMARK(DeepCopyNlohmann)->Name("BM_DeepCopy/Nlohmann");
BENCHMARK(WarmPool<DeepCopyNorv>)->Name("BM_DeepCopyWarmPool/Norv");
BENCHMARK(DeepCopyNlohmann)->Name("BM_DeepCopyWarmPool/Nlohmann");
BENCHMARK(SlotsNorv)->Name("BM_Slot40/Norv");
BENCHMARK(SlotsMalloc)->Name("BM_Slot40/Malloc");
BENCHMARK(WarmPool<SlotsNorv>)->Name("BM_Slot40WarmPool/Norv");
BENCHMARK(SlotsMalloc)->Name("BM_Slot40WarmPool/Malloc");
BENCHMARK(SlotPairsNorv)->Name("BM_Slot40Pairs/Norv");
BENCHMARK(SlotPairsMalloc)->Name("BM_Slot40Pairs/Malloc");
BENCHMARK(MemoryNorv)->Name("BM_Memory/Norv")->Iterations(3);
BENCHMARK(MemoryNlohmann)->Name("BM_Memory/Nlohmann")->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
