#include "binding/binding_arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "binding/binding_page_pool.h"
#include "binding/binding_property.h"
#include "tests/support/fnv_colliding_texts.h"

namespace Norv {
namespace {

std::uintptr_t Address(const void* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer);
}

bool InsideArena(const BindingArena& arena, const void* slot) {
    return Address(slot) - Address(&arena) < sizeof(BindingArena);
}

std::size_t PagesInUse() {
    return BindingPagePool::Instance().statistics().pagesInUse;
}

// A page header is 24 bytes with 8-byte pointers and 16 with 4-byte ones; the
// slots overlapping it are never used, in the 144-byte built-in page as in a
// 4096-byte pool page.
constexpr bool kWidePointers = sizeof(void*) == 8;

// Slots of one class the arena's own pages hold when that class takes them all.
std::size_t OwnRoomSlots(std::size_t size) {
    const std::size_t rounded = (size + 3) / 4 * 4;
    return BindingArena::kOwnPageCount * UsableSlotCount(BindingArena::kOwnPageSize, rounded);
}

// Takes every slot of the class that the arena can give without a pool page.
std::vector<void*> FillOwnRoom(BindingArena& arena, std::size_t size, std::size_t builtinSlots) {
    std::vector<void*> slots;
    for (std::size_t i = 0; i < builtinSlots + OwnRoomSlots(size); ++i) slots.push_back(arena.allocateSlot(size));
    return slots;
}

TEST(BindingArena, SmallRequestsAreServedFromTheBuiltinPageUntilItIsFull) {
    struct Case {
        std::size_t size;
        std::size_t builtinSlots;  // with 8-byte pointers, then with 4-byte ones
        std::size_t builtinSlotsNarrow;
        std::size_t firstOffset;  // of the first slot in a pool page
        std::size_t firstOffsetNarrow;
    };
    const Case cases[] = {
        {4, 30, 32, 24, 16}, {5, 15, 16, 24, 16}, {8, 15, 16, 24, 16}, {12, 10, 10, 24, 24},
        {24, 5, 5, 24, 24},  {40, 2, 2, 40, 40},  {56, 1, 1, 56, 56},  {72, 1, 1, 72, 72},
    };
    for (const Case& c : cases) {
        const std::size_t size = c.size;
        SCOPED_TRACE(size);
        auto arena = std::make_unique<BindingArena>();
        const std::size_t builtinSlots = kWidePointers ? c.builtinSlots : c.builtinSlotsNarrow;
        std::vector<void*> slots;
        for (std::size_t i = 0; i < builtinSlots; ++i) {
            slots.push_back(arena->allocateSlot(size));
            EXPECT_TRUE(InsideArena(*arena, slots.back()));
            EXPECT_EQ(Address(slots.back()) % alignof(std::uint32_t), 0u);
        }
        EXPECT_EQ(arena->pagesHeld(), 0u);
        for (std::size_t i = 0; i < OwnRoomSlots(size); ++i) {
            slots.push_back(arena->allocateSlot(size));
            ASSERT_TRUE(InsideArena(*arena, slots.back()));
        }
        EXPECT_EQ(arena->pagesHeld(), 0u);

        void* fromPage = arena->allocateSlot(size);
        EXPECT_FALSE(InsideArena(*arena, fromPage));
        EXPECT_EQ(arena->pagesHeld(), 1u);
        // The first slot of a page is the first one clear of the header.
        EXPECT_EQ(Address(fromPage) % kSlotPageSize, kWidePointers ? c.firstOffset : c.firstOffsetNarrow);

        arena->releaseSlot(fromPage, size);
        EXPECT_EQ(arena->pagesHeld(), 0u);
        for (void* slot : slots) arena->releaseSlot(slot, size);
    }
}

TEST(BindingArena, APageGoesBackWhenItsLastSlotIsReleasedAndAFullPageRejoinsTheList) {
    BindingArena arena;
    constexpr std::size_t kSize = 72;
    const std::size_t before = PagesInUse();
    const std::size_t perPage = 55;                           // 56 slots of 72 bytes, the first under the header
    std::vector<void*> slots = FillOwnRoom(arena, kSize, 1);  // the built-in page holds one
    const std::size_t builtin = slots.size();
    for (std::size_t i = 0; i < 2 * perPage; ++i) slots.push_back(arena.allocateSlot(kSize));
    EXPECT_EQ(Address(slots[builtin + 1]), Address(slots[builtin]) + kSize);  // in ascending order
    EXPECT_EQ(arena.pagesHeld(), 2u);
    EXPECT_EQ(PagesInUse(), before + 2);

    // A slot freed on a full page is the next one handed out, without a new page.
    void* fromFirstPage = slots[builtin];
    arena.releaseSlot(fromFirstPage, kSize);
    EXPECT_EQ(arena.allocateSlot(kSize), fromFirstPage);
    EXPECT_EQ(arena.pagesHeld(), 2u);

    // Emptying the first page returns it while the second stays.
    for (std::size_t i = builtin; i < builtin + perPage; ++i) arena.releaseSlot(slots[i], kSize);
    EXPECT_EQ(arena.pagesHeld(), 1u);
    EXPECT_EQ(PagesInUse(), before + 1);
    for (std::size_t i = builtin + perPage; i < slots.size(); ++i) arena.releaseSlot(slots[i], kSize);
    EXPECT_EQ(arena.pagesHeld(), 0u);
    EXPECT_EQ(PagesInUse(), before);
    for (std::size_t i = 0; i < builtin; ++i) arena.releaseSlot(slots[i], kSize);
}

TEST(BindingArena, MidSizedArraysShareChunksAndReuseBlocksOfTheirOwnClassOnly) {
    BindingArena arena;
    struct Case {
        std::size_t bytes;
        std::size_t nextClassBytes;  // the smallest request of the class above
    };
    const Case cases[] = {{73, 129}, {128, 129}, {129, 257}, {480, 513}, {1024, 1025}, {2047, 2048 + 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        void* block = arena.allocateArray(c.bytes);
        std::memset(block, 0xAB, c.bytes);
        void* neighbour = arena.allocateArray(c.bytes);
        EXPECT_GE(Address(neighbour) > Address(block) ? Address(neighbour) - Address(block)
                                                      : Address(block) - Address(neighbour),
                  c.bytes);
        arena.freeArray(block, c.bytes);
        void* other = arena.allocateArray(c.nextClassBytes);
        EXPECT_NE(other, block);
        EXPECT_EQ(arena.allocateArray(c.bytes), block);
        arena.freeArray(other, c.nextClassBytes);
        arena.freeArray(block, c.bytes);
        arena.freeArray(neighbour, c.bytes);
    }
}

TEST(BindingPagePool, HandsOutANewChunkInAscendingOrderAndKeepsItAsASpareWhenAllSixteenPagesAreBack) {
    BindingPagePool& pool = BindingPagePool::Instance();
    pool.releaseSpareChunks();
    // Drain whatever free pages earlier tests left, so the next pages come from a new chunk.
    std::vector<void*> drained;
    const std::uint64_t commits = pool.statistics().chunkCommits;
    while (pool.statistics().chunkCommits == commits) drained.push_back(pool.acquirePage());
    std::vector<void*> chunk{drained.back()};
    drained.pop_back();
    for (std::size_t i = 1; i < BindingPagePool::kPagesPerChunk; ++i) chunk.push_back(pool.acquirePage());
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        EXPECT_EQ(Address(chunk[i]), Address(chunk[0]) + i * BindingPagePool::kPageSize);
    }
    EXPECT_EQ(Address(chunk[0]) % BindingPagePool::kPageSize, 0u);

    const BindingPagePool::Statistics full = pool.statistics();
    for (std::size_t i = 0; i + 1 < chunk.size(); ++i) pool.releasePage(chunk[i]);
    EXPECT_EQ(pool.statistics().chunksCommitted, full.chunksCommitted);
    EXPECT_EQ(pool.statistics().pagesInUse, full.pagesInUse - 15);

    // A returned page is handed out again before any new chunk is committed.
    void* again = pool.acquirePage();
    EXPECT_EQ(again, chunk[14]);
    EXPECT_EQ(pool.statistics().chunkCommits, full.chunkCommits);
    pool.releasePage(again);

    // The wholly free chunk stays as a spare and serves the next request...
    pool.releasePage(chunk.back());
    EXPECT_EQ(pool.statistics().chunksCommitted, full.chunksCommitted);
    EXPECT_EQ(pool.statistics().spareChunks, 1u);
    void* reused = pool.acquirePage();
    EXPECT_EQ(pool.statistics().chunkCommits, full.chunkCommits);
    EXPECT_EQ(pool.statistics().spareChunks, 0u);
    pool.releasePage(reused);

    // ...until the spares are given back.
    pool.releaseSpareChunks();
    EXPECT_EQ(pool.statistics().chunksCommitted, full.chunksCommitted - 1);
    EXPECT_EQ(pool.statistics().chunkReleases, full.chunkReleases + 1);
    EXPECT_EQ(pool.statistics().spareChunks, 0u);
    for (void* page : drained) pool.releasePage(page);
    pool.releaseSpareChunks();
}

TEST(BindingPagePool, ReleasesAWhollyFreeChunkAtOnceWhenTheSparesAreFull) {
    BindingPagePool& pool = BindingPagePool::Instance();
    pool.releaseSpareChunks();
    std::vector<void*> pages((BindingPagePool::kSpareChunkLimit + 2) * BindingPagePool::kPagesPerChunk);
    for (void*& page : pages) page = pool.acquirePage();
    const BindingPagePool::Statistics held = pool.statistics();
    for (void* page : pages) pool.releasePage(page);
    EXPECT_EQ(pool.statistics().spareChunks, BindingPagePool::kSpareChunkLimit);
    EXPECT_GE(pool.statistics().chunkReleases, held.chunkReleases + 1);
    EXPECT_EQ(pool.statistics().pagesInUse, held.pagesInUse - pages.size());
    pool.releaseSpareChunks();
    EXPECT_EQ(pool.statistics().spareChunks, 0u);
}

TEST(BindingPagePool, AnIdlePoolIsReleasedWholeAndMadeAgainOnNextUse) {
    {
        BindingProperty value;
        for (int i = 0; i < 200; ++i) value.append() = "text " + std::to_string(i);
        BindingPagePool::ReleaseIdle();  // a page is out: the pool stays
        EXPECT_GT(PagesInUse(), 0u);
    }
    BindingPagePool::ReleaseIdle();
    EXPECT_EQ(BindingPagePool::Instance().statistics().chunksCommitted, 0u);
    EXPECT_EQ(BindingPagePool::Instance().statistics().chunkCommits, 0u);  // a new pool
}

TEST(BindingArena, InterningCountsReferencesAndFreesTheLastOne) {
    BindingArena arena;
    const InternedString* first = arena.intern("status");
    const InternedString* second = arena.intern(HashedName::Owned("status"));
    EXPECT_EQ(first, second);
    EXPECT_EQ(first->refCount(), 2u);
    EXPECT_EQ(first->hash(), HashText("status"));
    EXPECT_EQ(first->text(), "status");
    EXPECT_EQ(first->c_str()[6], '\0');
    EXPECT_EQ(arena.stringCount(), 1u);

    arena.release(first);
    EXPECT_EQ(arena.findString("status"), second);
    arena.release(second);
    EXPECT_EQ(arena.findString("status"), nullptr);
    EXPECT_EQ(arena.stringCount(), 0u);

    // The empty text is one shared entry that no arena counts.
    const InternedString* empty = arena.intern("");
    EXPECT_EQ(empty, &InternedString::Empty());
    EXPECT_EQ(empty->hash(), 0x811C9DC5u);
    EXPECT_EQ(arena.stringCount(), 0u);
    arena.release(empty);
    EXPECT_EQ(InternedString::Empty().refCount(), 0u);
}

// Texts made to share their FNV-1a hash must not share a probe run: that
// would make reading n of them cost n^2 probes.
TEST(BindingArena, TextsSharingTheirPublishedHashSpreadOverTheTable) {
    const std::vector<std::string> texts = Testing::FnvCollidingTexts(4096);
    BindingArena arena;
    std::vector<const InternedString*> entries;
    for (const std::string& text : texts) entries.push_back(arena.intern(text));
    EXPECT_EQ(arena.stringCount(), texts.size());
    EXPECT_LE(arena.stringDisplacement(), 4 * texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(entries[i]->hash(), 0x7C3939B1u) << texts[i];  // the published hash is still FNV-1a
        ASSERT_EQ(arena.findString(texts[i]), entries[i]) << texts[i];
    }
    for (const InternedString* entry : entries) arena.release(entry);
    EXPECT_EQ(arena.stringCount(), 0u);
    EXPECT_EQ(arena.stringDisplacement(), 0u);
}

TEST(BindingArena, RandomInternAndReleaseKeepsTheTableConsistent) {
    // Many texts in a small table make long probe runs, so releases must close
    // their gaps without losing later entries of the run. Short texts live in
    // slots, long ones in the arena's chunks.
    BindingArena arena;
    std::map<std::string, std::pair<const InternedString*, int>> model;
    std::mt19937 random(12345);
    for (int step = 0; step < 20000; ++step) {
        const unsigned number = random() % 300;
        const std::string text = (number % 2 == 0 ? "t" : std::string(100, 'x')) + std::to_string(number);
        auto found = model.find(text);
        if (random() % 2 == 0 || found == model.end()) {
            const InternedString* entry = arena.intern(text);
            if (found != model.end()) {
                ASSERT_EQ(entry, found->second.first);
            }
            auto& slot = model[text];
            slot = {entry, slot.second + 1};
        } else {
            arena.release(found->second.first);
            if (--found->second.second == 0) model.erase(found);
        }
        if (step % 1000 == 0) {
            ASSERT_EQ(arena.stringCount(), model.size());
            for (const auto& [text, entry] : model) {
                ASSERT_EQ(arena.findString(text), entry.first) << text;
                ASSERT_EQ(entry.first->refCount(), static_cast<std::uint32_t>(entry.second));
            }
        }
    }
    for (const auto& [text, entry] : model) {
        for (int i = 0; i < entry.second; ++i) arena.release(entry.first);
    }
    EXPECT_EQ(arena.stringCount(), 0u);
    EXPECT_EQ(arena.pagesHeld(), 0u);
}

// Filled to its limit (24 of 32 buckets), a small table has probe runs that
// wrap past its last bucket, where a release must close the gap too. The
// buckets change from run to run with the hash keys, hence the many rounds.
TEST(BindingArena, ReleasesInFullSmallTablesKeepTheOtherTextsFindable) {
    for (int round = 0; round < 64; ++round) {
        BindingArena arena;
        std::vector<std::string> texts;
        std::vector<const InternedString*> entries;
        for (int i = 0; i < 24; ++i) {
            texts.push_back(std::to_string(round * 24 + i));
            entries.push_back(arena.intern(texts.back()));
        }
        for (std::size_t i = 0; i < texts.size(); ++i) {
            arena.release(entries[i]);
            for (std::size_t j = i + 1; j < texts.size(); ++j)
                ASSERT_EQ(arena.findString(texts[j]), entries[j]) << texts[j];
        }
    }
}

// Leaks of the texts, blobs and arrays left on the heap show under the leak checker.
TEST(BindingArena, ResettingOrDestroyingARootGivesBackPagesAndHeapParts) {
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset);
        const std::size_t before = PagesInUse();
        {
            BindingProperty root;
            for (int i = 0; i < 2000; ++i) {
                BindingProperty& item = root.member("item" + std::to_string(i)).append();
                item.member(std::string(100, 'n') + std::to_string(i)) = std::string(200, 'v') + std::to_string(i);
                item.member("bytes") = BindingBlob(100, static_cast<std::uint8_t>(i));
                item.member("state") = BindingEnum{i, nullptr};
            }
            const BindingArena* arena = root.arena();
            EXPECT_EQ(PagesInUse(), before + arena->pagesHeld());
            EXPECT_GT(arena->pagesHeld(), 0u);
            if (reset) {
                root.reset();
                EXPECT_TRUE(root.isEmpty());
                EXPECT_EQ(root.arena(), arena) << "a reset root keeps its arena";
                EXPECT_EQ(arena->pagesHeld(), 0u);
                EXPECT_EQ(arena->stringCount(), 0u);
                EXPECT_EQ(PagesInUse(), before);
            }
        }
        EXPECT_EQ(PagesInUse(), before);
    }
}

TEST(BindingArena, DestroyingARootAfterSomeOfItWasResetGivesBackEveryPage) {
    // Without blobs the arena frees the tree without a walk; resetting parts
    // first returns pages while the tree lives, in various orders.
    for (const int stride : {1, 2, 3, 7}) {
        const std::size_t before = PagesInUse();
        {
            BindingProperty root;
            for (int i = 0; i < 4000; ++i) {
                BindingProperty& item = root.member("item" + std::to_string(i));
                item.member("name") = "value" + std::to_string(i);
                item.member("list").append() = std::string(150, 'x') + std::to_string(i);
            }
            for (int i = 0; i < 4000; i += stride) root.member("item" + std::to_string(i)).reset();
            EXPECT_EQ(PagesInUse(), before + root.arena()->pagesHeld()) << stride;
        }
        EXPECT_EQ(PagesInUse(), before) << stride;
    }
}

TEST(HashedName, BorrowsOrOwnsItsTextAndComparesByBytes) {
    const char text[] = "member";
    const HashedName borrowed(text);
    EXPECT_EQ(borrowed.text().data(), text);
    EXPECT_FALSE(borrowed.ownsText());
    EXPECT_EQ(borrowed.hash(), HashText("member"));

    const HashedName owned = HashedName::Owned("member");
    EXPECT_TRUE(owned.ownsText());
    EXPECT_EQ(owned, borrowed);

    EXPECT_EQ(HashedName().text(), "");
    EXPECT_EQ(HashedName().hash(), 0x811C9DC5u);
    EXPECT_EQ(HashedName(static_cast<const char*>(nullptr)).text(), "");
    EXPECT_LT(HashedName("z"), HashedName("\xC3\xA4"));  // unsigned bytes
}

TEST(TextPrefix, OrdersTextsOfEveryShortLengthLikeTheirUnsignedBytes) {
    // Every length a prefix load handles differently, with bytes above 0x7F.
    const std::string texts[] = {"",        "a",           "\xff",     "ab",        "a\xff",    "abc",
                                 "ab\x80",  "abcd",        "abc\xfe",  "abcde",     "abcd\x01", "abcdef",
                                 "abcdefg", "abcdefg\x7f", "abcdefgh", "abcdefghi", "b",        "\x80\x80\x80"};
    for (const std::string& a : texts) {
        for (const std::string& b : texts) {
            const int expected = a.compare(b) < 0 ? -1 : (a.compare(b) > 0 ? 1 : 0);
            const int order = CompareTexts(a, TextPrefix(a), b, TextPrefix(b));
            EXPECT_EQ(order < 0 ? -1 : (order > 0 ? 1 : 0), expected) << '"' << a << "\" vs \"" << b << '"';
        }
    }
}

}  // namespace
}  // namespace Norv
