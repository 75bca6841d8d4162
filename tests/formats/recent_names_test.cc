#include "formats/recent_names.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_library.h"
#include "formats/yaml_reader.h"
#include "tests/formats/value_text.h"

namespace Norv {
namespace {

using Testing::ValueText;

// The value's text (or the error), and that every reference the reader took
// is the tree's: resetting the value gives them all back.
void ExpectReadAndReleased(BindingResult result, const std::string& expected) {
    EXPECT_EQ(result.ok() ? ValueText(result.value) : std::string(result.error()), expected);
    result.value.reset();
    EXPECT_EQ(result.value.arena()->stringCount(), 0u) << expected;
}

struct Case {
    const char* text;
    const char* expected;  // the value text, or the error message
};

TEST(RecentNamesTest, HoldsOneReferencePerPlaceAndGivesEveryOneBack) {
    BindingArena arena;
    {
        RecentNames names;
        const InternedString* alpha = names.find(arena, "alpha", 1, 0);
        ASSERT_NE(alpha, nullptr);
        EXPECT_EQ(alpha->text(), "alpha");
        EXPECT_EQ(names.find(arena, "alpha", 1, 0), alpha);
        EXPECT_EQ(alpha->refCount(), 1u);
        // Same length, other bytes: the place takes the new name and lets the old one go.
        EXPECT_EQ(names.find(arena, "alphb", 1, 0)->text(), "alphb");
        EXPECT_EQ(arena.findString("alpha"), nullptr);
        // Another place keeps its own.
        EXPECT_EQ(names.find(arena, "alphb", 2, 3), arena.findString("alphb"));
        EXPECT_EQ(arena.findString("alphb")->refCount(), 2u);
        EXPECT_EQ(names.find(arena, "", 1, 1), &InternedString::Empty());
        EXPECT_EQ(names.find(arena, "deep", 7, 0), nullptr);
        EXPECT_EQ(names.find(arena, "wide", 1, 16), nullptr);
    }
    EXPECT_EQ(arena.stringCount(), 0u);
}

// Rows whose keys change length, bytes, order and count from one to the next,
// repeat within a row, and nest: each must read as if no name were remembered.
TEST(RecentNamesTest, RowsReadTheSameWhateverTheRowBeforeThemHeld) {
    const Case cases[] = {
        {R"([{"a":1,"bb":2},{"a":3,"bc":4},{"ab":5},{"":6,"a":7}])",
         "[{a=u:1,bb=u:2},{a=u:3,bc=u:4},{ab=u:5},{=u:6,a=u:7}]"},
        {R"([{"k":1,"k":2},{"k":[1],"k":[2]},{"k":{"x":1},"k":{"y":2}}])", "[{k=u:2},{k=[u:1,u:2]},{k={x=u:1,y=u:2}}]"},
        {R"([[{"a":{"b":1}}],[{"a":{"c":2}}],[{"b":{"b":3}}]])", "[[{a={b=u:1}}],[{a={c=u:2}}],[{b={b=u:3}}]]"},
        {R"([{"name":"a\u0000b"},{"name\u0000x":1}])", "[{name='a'},{name=u:1}]"},
    };
    for (const Case& c : cases) ExpectReadAndReleased(ParseJson(std::string(c.text)), c.expected);

    const std::vector<std::uint8_t> rows = {0x93, 0x81, 0xA1, 'a', 0x01, 0x81, 0xA1, 'b',
                                            0x02, 0x82, 0xA1, 'a', 0x03, 0xA1, 'a',  0x04};
    std::size_t position = 0;
    ExpectReadAndReleased(ParseMessagePack(rows.data(), rows.size(), position), "[{a=i:1},{b=i:2},{a=i:4}]");
}

// YAML keys are held as entries from the key to its value: every way out,
// failures between a key and its value included, gives each reference back.
TEST(RecentNamesTest, YamlMappingsAndFailuresKeepNoReference) {
    if (LoadYamlLibrary() == nullptr) GTEST_SKIP() << YamlLibraryName() << " is not present";
    const Case cases[] = {
        {"- {a: 1, bb: 2}\n- {a: 3, bc: 4}\n- {ab: 5}\n- {'': 6, a: 7}\n",
         "[{a=u:1,bb=u:2},{a=u:3,bc=u:4},{ab=u:5},{=u:6,a=u:7}]"},
        {"- {k: 1, k: 2}\n- {k: [1], k: [2]}\n- {k: {x: 1}, k: {y: 2}}\n", "[{k=u:2},{k=[u:1,u:2]},{k={x=u:1,y=u:2}}]"},
        {"- &n {a: &k key, *k : 1}\n- {key: 2, *k : 3}\n- *n\n", "[{a='key',key=u:1},{key=u:3},{a='key',key=u:1}]"},
        {"- - {a: {b: 1}}\n- - {a: {c: 2}}\n- - {b: {b: 3}}\n", "[[{a={b=u:1}}],[{a={c=u:2}}],[{b={b=u:3}}]]"},
        // Sibling mappings outside any row remember their keys by place too.
        {"a: {x: 1, y: 2}\nb: {x: 3, z: 4}\nc: {yy: 5, x: 6, y: 7}\nd: {x: {y: 8}}\n",
         "{a={x=u:1,y=u:2},b={x=u:3,z=u:4},c={x=u:6,y=u:7,yy=u:5},d={x={y=u:8}}}"},
        {"{a: *nope}", "Undefined alias encountered: \"nope\". At line: 1 col: 5"},
        {"- {a: *nope}", "Undefined alias encountered: \"nope\". At line: 1 col: 7"},
        {"a: 'x", "YAML parser error: found unexpected end of stream. At line: 0 col: 5"},
    };
    for (const Case& c : cases) ExpectReadAndReleased(ParseYaml(c.text), c.expected);
}

}  // namespace
}  // namespace Norv
