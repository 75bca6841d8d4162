#include "formats/yaml_reader.h"

#include <gtest/gtest.h>

#include <new>
#include <string>

#include "binding/binding_limits.h"
#include "formats/yaml_library.h"
#include "tests/formats/allocation_hooks.h"
#include "tests/formats/value_text.h"

namespace Norv {
namespace {

using Testing::gAllocatedBytes;
using Testing::gFailingAllocation;
using Testing::ValueText;

struct YamlCase {
    std::string text;
    std::string expected;  // the value text, or the error message
};

// A value text never reads as an error message: strings are quoted.
template <std::size_t N>
void ExpectRead(const YamlCase (&cases)[N]) {
    for (const YamlCase& c : cases) {
        BindingResult result = ParseYaml(c.text);
        EXPECT_EQ(result.ok() ? ValueText(result.value) : std::string(result.error()), c.expected) << c.text;
    }
}

class YamlReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (LoadYamlLibrary() == nullptr) GTEST_SKIP() << YamlLibraryName() << " is not present";
    }
};

TEST_F(YamlReaderTest, TypesScalars) {
    const YamlCase cases[] = {
        {"", "~"},
        {"---\n", "~"},
        {"42", "u:42"},
        {"-7", "i:-7"},
        {"1.5", "f:1.5"},
        {"1.0", "u:1"},
        {"-2.0", "i:-2"},
        {"-0", "u:0"},
        {"+5", "u:5"},
        {"0x10", "u:16"},
        {"0X8000000000000001", "u:9223372036854775809"},  // exact past 2^53, either case of x
        {"010", "u:10"},
        {"18446744073709551615", "u:18446744073709551615"},
        {"18446744073709551616", "f:18446744073709551616"},
        {"-9223372036854775808", "i:-9223372036854775808"},
        {"-9223372036854775809", "f:-9223372036854775808"},
        {"1e300", "f:1e+300"},
        {"1e400", "'1e400'"},
        {"4.9406564584124654e-324", "f:5e-324"},
        {"-1e-310", "f:-1e-310"},
        {"0x1p-1074", "f:5e-324"},
        {"1e-400", "u:0"},
        {"-1e-400", "u:0"},
        {"0.0000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "00000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000000"
         "1",
         "u:0"},
        {"0x1p-1080", "u:0"},
        {"0x1p+1024", "'0x1p+1024'"},
        {"nan", "f:nan"},
        {"inf", "'inf'"},
        {".inf", "'.inf'"},
        {"yEs", "'yEs'"},
        {"'42'", "'42'"},
        {"\"a\\0b\"", "'a\\0b'"},
        {"!!str 42", "'42'"},
        {"!!int -5", "i:-5"},
        {"!!int 0x10", "u:16"},
        {"!!float 1", "f:1"},
        {"!!float nan", "f:nan"},
        {"--- 1\n...\n", "u:1"},
    };
    ExpectRead(cases);
}

// Each word of the null, true and false lists, and near misses that stay
// text: another mix of cases, a letter short or one more. A bool tag takes the
// same lists.
TEST_F(YamlReaderTest, TypesEveryNullAndBoolWordAndNoNearMiss) {
    const YamlCase words[] = {
        {"~", "~"},        {"null", "~"},      {"Null", "~"},          {"NULL", "~"},
        {"a: ~", "{a=~}"}, {"a:", "{a=~}"},    {"true", "true"},       {"True", "true"},
        {"TRUE", "true"},  {"y", "true"},      {"Y", "true"},          {"yes", "true"},
        {"Yes", "true"},   {"YES", "true"},    {"on", "true"},         {"On", "true"},
        {"ON", "true"},    {"false", "false"}, {"False", "false"},     {"FALSE", "false"},
        {"n", "false"},    {"N", "false"},     {"no", "false"},        {"No", "false"},
        {"NO", "false"},   {"off", "false"},   {"Off", "false"},       {"OFF", "false"},
        {"~~", "'~~'"},    {"nULL", "'nULL'"}, {"nulls", "'nulls'"},   {"tru", "'tru'"},
        {"oFF", "'oFF'"},  {"Nope", "'Nope'"}, {"!!bool Yes", "true"}, {"!!bool off", "false"},
    };
    ExpectRead(words);
}

TEST_F(YamlReaderTest, BuildsMappingsAndSequences) {
    const YamlCase cases[] = {
        {"b: [x, 2]\na: 1\nc:\n", "{a=u:1,b=['x',u:2],c=~}"}, {"- a\n- - 1\n  - {k: v}\n", "['a',[u:1,{k='v'}]]"},
        {"1: one\n'': empty\n", "{='empty',1='one'}"},        {"a: 1\na: 2\n", "{a=u:2}"},
        {"a: {x: 1}\na: 5\nb: 6\n", "{a=u:5,b=u:6}"},         {"a: 1\n!!str b: 2\n", "{a=u:1,b=u:2}"},
    };
    ExpectRead(cases);
}

TEST_F(YamlReaderTest, CopiesAliasesAndKeepsAnchorsAsPaths) {
    const YamlCase cases[] = {
        {"a: &x {b: 1}\nc: *x\n", "{a={b=u:1},c={b=u:1}}"},
        {"- &s text\n- *s\n", "['text','text']"},
        {"- &s x\n- [1, *s]\n", "['x',[u:1,'x']]"},
        {"- - &i in\n  - *i\n- *i\n", "[['in','in'],'in']"},
        {"a: [1, &e 2]\na: [*e]\n", "{a=[u:1,u:2,u:2]}"},
        {"&k key: 1\nother: *k\n", "{key=u:1,other='key'}"},
        {"a: &k name\n*k : 2\n", "{a='name',name=u:2}"},
        {"&k key: 1\n*k : 2\n", "{key=u:2}"},
        {"a: &x {b: &y {c: 1}}\na: *y\n", "{a={c=u:1}}"},
        {"a: &x 1\na: *x\n", "{a=u:1}"},
        {"base: &b {x: 1}\nbase: 2\nuse: *b\n", "{base=u:2,use=u:2}"},
        // Values moved or replaced after their anchor are found where they are at the alias.
        {"a: &x {b: &y 1}\na: 5\nc: *y\n", "{a=u:5,c=~}"},
        {"- [&e 1, 2]\n- *e\n", "[[u:1,u:2],u:1]"},
        {"a: [&e 1]\na: [2, *e]\n", "{a=[u:1,u:2,u:1]}"},
        {"a: [&e 1, 2]\nb: *e\na: [3]\nc: *e\n", "{a=[u:1,u:2,u:3],b=u:1,c=u:1}"},
        {"a: &m {k: &v 1}\na: [*v]\n", "{a=[~]}"},
        {"a: {k: &v 1}\na: {k: 2, j: *v}\n", "{a={j=u:2,k=u:2}}"},
        {"- - &i 1\n  - *i\n- [*i, [*i]]\n", "[[u:1,u:1],[u:1,[u:1]]]"},
        // A closed sequence that lost the element leaves no trace of the open one above it.
        {"- s: [x, &e 1]\n  s: 5\n  s: []\n- a\n- b\n- *e\n", "[{s=[]},'a','b',~]"},
    };
    ExpectRead(cases);

    BindingResult result = ParseYaml("a: &x {b: 1}\nc: *x\n");
    result.value.member("c").member("b") = 2u;
    EXPECT_EQ(ValueText(result.value), "{a={b=u:1},c={b=u:2}}");
}

TEST_F(YamlReaderTest, ReportsErrorsWithOneBasedLineAndColumn) {
    const YamlCase cases[] = {
        {"a: 1\n---\nb: 2\n", "Multi-document YAML is not supported."},
        {"? [a]\n: b\n", "Unexpected start of sequence. At line: 1 col: 3"},
        {"x: 1\n? {a: 1}\n: b\n", "Unexpected start of mapping. At line: 2 col: 3"},
        {"!!int 5: x\n", "Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
        {"a: &n 5\n*n : x\n", "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1"},
        {"a: &x 1\nb: &x 2\n", "Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
        {"&x a: 1\nb: &x 2\n", "Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
        {"a: &x 1\n&x b: 2\n", "Duplicate occurrence of anchor \"x\". At line: 2 col: 1"},
        {"a: *x\nb: &x 1\n", "Undefined alias encountered: \"x\". At line: 1 col: 4"},
        {"a: &x [1, *x]\n", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 11"},
        {"a: &x\n  b: *x\n", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 2 col: 6"},
        // A repeated key turns the anchored path into an open ancestor of the alias.
        {"a: &x 1\na: [*x]\n", "Cannot deserialize cyclic aliases. Alias \"x\". At line: 2 col: 5"},
        {"!!null ~", "Unsupported YAML tag 'tag:yaml.org,2002:null'."},
        {"! x", "Unsupported YAML tag '!'."},
        {"!!int abc", "Value abc for 'yaml' of type uint64_t is in an incorrect format"},
        {"!!int 99999999999999999999", "Value 99999999999999999999 for 'yaml' of type uint64_t is out of range"},
        {"!!int -9999999999999999999", "Value -9999999999999999999 for 'yaml' of type int64_t is out of range"},
        {"!!float 1e400", "Value 1e400 for 'yaml' of type double is out of range"},
        {"!!float .5x", "Value .5x for 'yaml' of type double is in an incorrect format"},
        {"!!bool maybe", "Value maybe for 'yaml' of type bool is in an incorrect format"},
        {"a: [1, 2\n", "YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0"},
        {"a: b: c\n", "YAML parser error: mapping values are not allowed in this context. At line: 0 col: 4"},
        {std::string("a\0b", 3), "YAML parser error: control characters are not allowed. At line: 0 col: 0"},
    };
    ExpectRead(cases);
}

TEST_F(YamlReaderTest, BoundsNestingDepth) {
    const std::size_t limit = kMaxNestingDepth;
    EXPECT_TRUE(ParseYaml(std::string(limit, '[') + std::string(limit, ']')).ok());
    EXPECT_EQ(ParseYaml(std::string(limit + 1, '[') + std::string(limit + 1, ']')).error(),
              "Nesting is too deep (more than 512 levels). At line: 1 col: 513");
    EXPECT_FALSE(ParseYaml(std::string(1000000, '[')).ok());

    // An alias may not carry a deep value deeper than the limit either.
    const std::string deep = std::string(limit - 1, '[') + std::string(limit - 1, ']');
    EXPECT_TRUE(ParseYaml("- &d " + deep + "\n- *d\n").ok());
    EXPECT_EQ(ParseYaml("- &d " + deep + "\n- [*d]\n").error(),
              "Nesting is too deep (more than 512 levels). At line: 2 col: 4");
}

TEST_F(YamlReaderTest, BoundsAliasExpansion) {
    // Nine levels of nine aliases each would make 9^9 copies.
    std::string laughs = "- &a [lol, lol, lol, lol, lol, lol, lol, lol, lol]\n";
    for (char level = 'b'; level <= 'i'; ++level) {
        const char previous = static_cast<char>(level - 1);
        laughs += std::string("- &") + level + " [";
        for (int i = 0; i < 9; ++i) laughs += std::string(i == 0 ? "" : ", ") + "*" + previous;
        laughs += "]\n";
    }
    // Once failed, no alias is copied: the text cut before the failing one takes
    // as much memory (the levels wait in the open sequence, so a copy would need more).
    std::size_t before = gAllocatedBytes;
    EXPECT_FALSE(ParseYaml(laughs.substr(0, laughs.find("*c, *c, *c, *c") + 12)).ok());
    const std::size_t cut = gAllocatedBytes - before;
    before = gAllocatedBytes;
    EXPECT_EQ(ParseYaml(laughs).error(), "Document contains excessive aliasing. At line: 4 col: 19");
    EXPECT_LT(gAllocatedBytes - before, cut + 4096);

    // Ordinary reuse stays well inside the bound.
    std::string reuse = "base: &b {host: h, port: 1, tls: yes, path: /}\nitems:\n";
    for (int i = 0; i < 300; ++i) reuse += "  - *b\n";
    BindingResult result = ParseYaml(reuse);
    EXPECT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(result.value.get("items").size(), 300u);
}

// Anchors deep down or under long keys, and many aliases to them: what the
// builder keeps and walks for them grows with the text, not with depth times
// anchors or key length times aliases.
TEST_F(YamlReaderTest, AnchorsAndAliasesCostInProportionToTheText) {
    // A key this long must be explicit ("? "): a plain one may not pass 1024 characters.
    std::string longKey = "? " + std::string(200000, 'k') + "\n: [";
    for (int i = 0; i < 300; ++i) longKey += "&a" + std::to_string(i) + " x, ";
    longKey += "x]\n";
    std::string underLongKey = longKey + "b: [";
    for (int i = 0; i < 2000; ++i) underLongKey += "*a" + std::to_string(i % 300) + ", ";
    underLongKey += "x]\n";
    const std::size_t depth = 500;
    std::string deep(depth, '[');
    for (int i = 0; i < 2000; ++i) deep += "&a" + std::to_string(i) + " x, ";
    for (int i = 0; i < 20000; ++i) deep += "*a" + std::to_string(i % 2000) + ", ";
    deep += "x" + std::string(depth, ']');
    struct Shape {
        const char* name;
        const std::string& text;
        std::size_t steps;
    };
    // The deep aliases find their elements waiting in the still open sequence:
    // a step each, beside one per anchor and level.
    for (const Shape& shape : {Shape{"anchors under a long key", longKey, longKey.size() / 4},
                               Shape{"aliases under a long key", underLongKey, underLongKey.size() / 4},
                               Shape{"deep anchors and aliases", deep, 20000 + 2000 + depth}}) {
        const std::size_t allocatedBefore = gAllocatedBytes;
        YamlBuildWork work;
        BindingResult result = ParseYaml(shape.text, LoadYamlLibrary(), work);
        ASSERT_TRUE(result.ok()) << shape.name << ": " << result.error();
        EXPECT_LE(gAllocatedBytes - allocatedBefore, 16 * shape.text.size()) << shape.name;
        EXPECT_LE(work.pathSteps, shape.steps) << shape.name;
    }
}

// libyaml's parser and events, counted as they are made and released.
struct YamlLedger {
    static inline int parsers = 0;
    static inline int events = 0;
    static int Initialize(yaml_parser_t* parser) {
        const int made = LoadYamlLibrary()->parserInitialize(parser);
        parsers += made != 0 ? 1 : 0;
        return made;
    }
    static int Parse(yaml_parser_t* parser, yaml_event_t* event) {
        const int parsed = LoadYamlLibrary()->parserParse(parser, event);
        if (event->type != YAML_NO_EVENT) ++events;
        return parsed;
    }
    static void DeleteEvent(yaml_event_t* event) {
        if (event->type != YAML_NO_EVENT) --events;
        LoadYamlLibrary()->eventDelete(event);
    }
    static void DeleteParser(yaml_parser_t* parser) {
        --parsers;
        LoadYamlLibrary()->parserDelete(parser);
    }
    static YamlLibrary Library() {
        YamlLibrary library = *LoadYamlLibrary();
        library.parserInitialize = Initialize;
        library.parserParse = Parse;
        library.eventDelete = DeleteEvent;
        library.parserDelete = DeleteParser;
        return library;
    }
};

TEST_F(YamlReaderTest, ReleasesTheParserAndEventWhenBuildingRunsOutOfMemory) {
    const YamlLibrary library = YamlLedger::Library();
    const std::string text = "a: &x [1, {b: two}]\nc: *x\nd: [x, y, z]\n";
    bool completed = false;
    for (std::size_t failing = 1; !completed && failing < 1000; ++failing) {
        gFailingAllocation = failing;
        try {
            completed = ParseYaml(text, &library).ok();
        } catch (const std::bad_alloc&) {
        }
        gFailingAllocation = 0;
        EXPECT_EQ(YamlLedger::parsers, 0) << "failing allocation " << failing;
        EXPECT_EQ(YamlLedger::events, 0) << "failing allocation " << failing;
    }
    EXPECT_TRUE(completed);
}

TEST(YamlRecognitionTest, RecognisesDocumentMarker) {
    for (const char* text : {"---", "  --- a"}) EXPECT_TRUE(LooksLikeYaml(text)) << text;
    for (const char* text : {"\t---", "--", "a: 1"}) EXPECT_FALSE(LooksLikeYaml(text)) << text;
    EXPECT_FALSE(LooksLikeYaml(nullptr));
}

TEST(YamlLibraryTest, MissingLibraryFailsEveryParseWithItsName) {
    const std::string expected =
        std::string("YAML is not available: the library ") + YamlLibraryName() + " could not be loaded.";
    EXPECT_EQ(ParseYaml("", nullptr).error(), expected);
    EXPECT_EQ(ParseYaml("a: 1", nullptr).error(), expected);
}

}  // namespace
}  // namespace Norv
