// How many heap blocks the readers take, and that documents deeper and longer
// than what the readers keep on the stack read the same as small ones.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_library.h"
#include "formats/yaml_reader.h"
#include "tests/formats/allocation_hooks.h"
#include "tests/formats/value_text.h"

namespace Norv::Testing {
std::size_t gAllocations = 0;
std::size_t gAllocatedBytes = 0;
std::size_t gFailingAllocation = 0;
}  // namespace Norv::Testing

using Norv::Testing::gAllocatedBytes;
using Norv::Testing::gAllocations;
using Norv::Testing::gFailingAllocation;

// Out of line so the compiler cannot pair the malloc and free across them.
[[gnu::noinline]] void* operator new(std::size_t size) {
    if (gFailingAllocation != 0 && --gFailingAllocation == 0) throw std::bad_alloc();
    ++gAllocations;
    gAllocatedBytes += size;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc();
}
// The array forms the runtime provides forward to these.
[[gnu::noinline]] void operator delete(void* block) noexcept {
    std::free(block);
}
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace Norv {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Testing::ValueText;

constexpr const char* kSessionJson =
    R"({"sessionId":"5f2b8c1e-9a47-4d3b-b6e0-2c7d1f8a9e34","userId":184467,"userName":"alex.morgan",)"
    R"("displayName":"Alex Morgan","email":"alex.morgan@example.com","loggedIn":true,"expires":1767225600,)"
    R"("roles":["user","editor","reviewer"],"locale":"en-GB"})";

void AppendString(Bytes& out, std::string_view text) {
    if (text.size() < 32) {
        out.push_back(static_cast<std::uint8_t>(0xa0 | text.size()));
    } else {
        out.insert(out.end(), {0xd9, static_cast<std::uint8_t>(text.size())});
    }
    out.insert(out.end(), text.begin(), text.end());
}

// The session above, as MessagePack writes it.
Bytes SessionMessagePack() {
    Bytes out{0x89};
    for (const char* text : {"sessionId", "5f2b8c1e-9a47-4d3b-b6e0-2c7d1f8a9e34", "userId"}) AppendString(out, text);
    out.insert(out.end(), {0xce, 0x00, 0x02, 0xd0, 0x93});
    for (const char* text :
         {"userName", "alex.morgan", "displayName", "Alex Morgan", "email", "alex.morgan@example.com", "loggedIn"}) {
        AppendString(out, text);
    }
    out.push_back(0xc3);
    AppendString(out, "expires");
    out.insert(out.end(), {0xce, 0x69, 0x55, 0xb9, 0x00});
    AppendString(out, "roles");
    out.push_back(0x93);
    for (const char* text : {"user", "editor", "reviewer", "locale", "en-GB"}) AppendString(out, text);
    return out;
}

constexpr const char* kSessionText =
    "{displayName='Alex Morgan',email='alex.morgan@example.com',expires=u:1767225600,locale='en-GB',loggedIn=true,"
    "roles=['user','editor','reviewer'],sessionId='5f2b8c1e-9a47-4d3b-b6e0-2c7d1f8a9e34',userId=u:184467,"
    "userName='alex.morgan'}";

// Whether the operators above are the ones in use: ThreadSanitizer's runtime
// brings its own, which win over them at link time.
bool CountingOperatorsInUse() {
    const std::size_t before = gAllocations;
    ::operator delete(::operator new(16));
    return gAllocations != before;
}

#define SKIP_UNLESS_COUNTING() \
    if (!CountingOperatorsInUse()) GTEST_SKIP() << "the sanitizer's operator new replaces the counting one"

// After a first parse, which may set up what the process keeps (the page
// pool, the hash key), the blocks one more parse takes.
template <class Parse>
std::size_t AllocationsOf(Parse parse) {
    parse();
    const std::size_t before = gAllocations;
    BindingResult result = parse();
    const std::size_t taken = gAllocations - before;
    EXPECT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(ValueText(result.value), kSessionText);
    // Nor does the tree take a page from the pool: its nodes and texts fit the arena's own pages.
    EXPECT_EQ(result.value.arena()->pagesHeld(), 0u);
    return taken;
}

// The tree's arena is the one block a small document needs: the readers'
// scratch, stacks and element arrays, and the string table, stay out of the heap.
TEST(ReaderAllocationsTest, ASmallDocumentTakesOnlyItsArena) {
    SKIP_UNLESS_COUNTING();
    const std::string json = kSessionJson;
    EXPECT_EQ(AllocationsOf([&] { return ParseJson(json); }), 1u);
    const Bytes bytes = SessionMessagePack();
    std::size_t position = 0;
    EXPECT_EQ(AllocationsOf([&] {
                  position = 0;
                  return ParseMessagePack(bytes.data(), bytes.size(), position);
              }),
              1u);
    EXPECT_EQ(position, bytes.size());
}

// Lists and texts too long for a slot come from the arena's chunks, many to a
// heap block, not one heap block each.
TEST(ReaderAllocationsTest, ManyMidSizedListsAndTextsShareHeapBlocks) {
    SKIP_UNLESS_COUNTING();
    const std::string longText(100, 'x');
    std::string json = "[";
    for (int row = 0; row < 200; ++row) {
        json += (row == 0 ? "[\"" : ",[\"") + longText + std::to_string(row) + '"';
        for (int i = 0; i < 20; ++i) json += "," + std::to_string(row * 20 + i);
        json += "]";
    }
    json += "]";
    ParseJson(json);
    const std::size_t before = gAllocations;
    const BindingResult result = ParseJson(json);
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(result.value.at(199).at(20).getUnsigned(), 3999u);
    EXPECT_EQ(result.value.at(199).at(0).getString(), longText + "199");
    // About a chunk per 16 KiB of lists and texts (some 130 KiB of them) and a
    // few blocks besides (the arena, the scratch for the text, the outer list,
    // the string table as it doubles); a block per list or text would be 400 more.
    EXPECT_LT(gAllocations - before, 40u);
}

// Arrays within arrays, each claiming as many elements as bytes are left: a
// count may reserve room only as far as the input can fill it, however deep
// such claims nest.
TEST(ReaderAllocationsTest, ArrayCountsReserveNoMoreThanTheInputCanFill) {
    SKIP_UNLESS_COUNTING();
    constexpr std::size_t kSize = 8192;
    Bytes bytes;
    for (int level = 0; level < 100; ++level) {
        const auto left = static_cast<std::uint32_t>(kSize - bytes.size() - 5);
        bytes.insert(bytes.end(), {0xDD, static_cast<std::uint8_t>(left >> 24), static_cast<std::uint8_t>(left >> 16),
                                   static_cast<std::uint8_t>(left >> 8), static_cast<std::uint8_t>(left)});
    }
    bytes.resize(kSize, 0xC0);  // nils for the innermost array
    const std::size_t before = gAllocatedBytes;
    std::size_t position = 0;
    const BindingResult result = ParseMessagePack(bytes.data(), bytes.size(), position);
    EXPECT_EQ(result.error(), "Invalid MessagePack data. Array of size 7697 at position 495 is truncated.");
    // The outer array's room, the innermost's elements aside and then in their
    // array: some 50 bytes per input byte. Room for every claim is 2,300.
    EXPECT_LT(gAllocatedBytes - before, 64 * kSize);
}

// Maps of one key "a" holding an array of `width` numbers and then the next
// level: deeper than the readers' stacks on the stack, with more elements
// waiting at once than their first block of elements holds.
struct Nested {
    std::string json;
    Bytes msgpack;
    std::string text;  // MessagePack's small positive integers read as Signed
};

void AppendLevel(Nested& out, int depth, int width) {
    out.json += R"({"a":[)";
    out.msgpack.insert(out.msgpack.end(), {0x81, 0xa1, 'a', 0xdc, 0x00});
    out.msgpack.push_back(static_cast<std::uint8_t>(width + (depth > 1 ? 1 : 0)));
    out.text += "{a=[";
    for (int i = 0; i < width; ++i) {
        const std::string separator = i + 1 < width || depth > 1 ? "," : "";
        out.json += std::to_string(i) + separator;
        out.msgpack.push_back(static_cast<std::uint8_t>(i));
        out.text += "i:" + std::to_string(i) + separator;
    }
    if (depth > 1) AppendLevel(out, depth - 1, width);
    out.json += "]}";
    out.text += "]}";
}

TEST(ReaderAllocationsTest, ReadsDocumentsBeyondTheStackKeptParts) {
    for (const auto& [depth, width] : {std::pair{1, 40}, std::pair{20, 40}, std::pair{40, 3}, std::pair{3, 120}}) {
        Nested nested;
        AppendLevel(nested, depth, width);
        const BindingResult json = ParseJson(nested.json);
        ASSERT_TRUE(json.ok()) << json.error();
        std::string jsonText = nested.text;
        for (std::size_t at = 0; (at = jsonText.find("i:", at)) != std::string::npos;) jsonText[at] = 'u';
        EXPECT_EQ(ValueText(json.value), jsonText) << depth << "x" << width;
        std::size_t position = 0;
        const BindingResult msgpack = ParseMessagePack(nested.msgpack.data(), nested.msgpack.size(), position);
        ASSERT_TRUE(msgpack.ok()) << msgpack.error();
        EXPECT_EQ(ValueText(msgpack.value), nested.text) << depth << "x" << width;
    }
}

}  // namespace
}  // namespace Norv
