#include "formats/json_reader.h"

#include <gtest/gtest.h>

#include <string>

#include "binding/binding_limits.h"
#include "tests/formats/value_text.h"
#include "tests/support/fnv_colliding_texts.h"

namespace Norv {
namespace {

using Testing::ValueText;

struct JsonCase {
    std::string text;
    std::string expected;
};

TEST(JsonReaderTest, BuildsValuesMapsNumbersToKindsAndReportsRapidJsonErrors) {
    const JsonCase cases[] = {
        {"", "~"},
        {" \n\r\t ", "~"},
        {"null", "~"},
        {"[null]", "[~]"},
        {"true", "true"},
        {"0", "u:0"},
        {"-0", "i:0"},
        {"-0.0", "f:-0"},
        {"1e2", "f:100"},
        {"4294967296", "u:4294967296"},
        {"18446744073709551615", "u:18446744073709551615"},
        {"18446744073709551616", "f:18446744073709551616"},
        {"-2147483649", "i:-2147483649"},
        {"-9223372036854775808", "i:-9223372036854775808"},
        {"-9223372036854775809", "f:-9223372036854775808"},
        {R"({"b":[1,{"c":"x"}],"a":false,"":[]})", "{=[],a=false,b=[u:1,{c='x'}]}"},
        {R"("a\u0000b")", "'a'"},
        {R"(["x\ty\u0041z", "\/"])", "['x\tyAz','/']"},
        {R"({"k\u0000x":1})", "{k=u:1}"},
        // Names and texts read the same with escapes and without.
        {R"([{"ab":"x\/y"},{"a\u0062":"\u0078/y"},{"ab":"x/y"},{"\\":"\\\""}])",
         "[{ab='x/y'},{ab='x/y'},{ab='x/y'},{\\='\\\"'}]"},
        {std::string("[1]\0[2", 6), "[u:1]"},
        {R"({"a":[1],"a":2})", "{a=u:2}"},
        {R"({"a":[1],"a":[2]})", "{a=[u:1,u:2]}"},
        {R"({"a":1,"a":null})", "{a=u:1}"},
        {"[[1,[2,[]]],[],[[3]],4]", "[[u:1,[u:2,[]]],[],[[u:3]],u:4]"},
        // Errors are those RapidJSON's reader gives with its default flags, but for codes
        // 5 to 7, one past the offending character as callers have always seen them.
        {"[1,]", "Error: Invalid value. at offset 3."},
        {"{\"a\":1} x", "Error: The document root must not follow by other values. at offset 8."},
        {"{\"a\" 1}", "Error: Missing a colon after a name of object member. at offset 6."},
        {"{\"a\"", "Error: Missing a colon after a name of object member. at offset 5."},
        {"{\"a\":1 2}", "Error: Missing a comma or '}' after an object member. at offset 8."},
        {"[1 2]", "Error: Missing a comma or ']' after an array element. at offset 4."},
        {"{1:2}", "Error: Missing a name for object member. at offset 1."},
        {"  }", "Error: Invalid value. at offset 2."},
        {"[tru]", "Error: Invalid value. at offset 4."},
        {"\"\\uZZZZ\"", "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
        {"\"\\uD800\"", "Error: The surrogate pair in string is invalid. at offset 1."},
        {"\"\\x\"", "Error: Invalid escape character in string. at offset 1."},
        {"[\"a", "Error: Missing a closing quotation mark in string. at offset 3."},
        {"1e999", "Error: Number too big to be stored in double. at offset 0."},
        {"1.x", "Error: Miss fraction part in number. at offset 2."},
        {"1ex", "Error: Miss exponent in number. at offset 2."},
        {"// c\n1", "Error: Invalid value. at offset 0."},
        {"[NaN]", "Error: Invalid value. at offset 1."},
    };
    for (const JsonCase& c : cases) {
        const std::string text = c.text;
        BindingResult result = ParseJson(text);
        EXPECT_EQ(result.ok() ? ValueText(result.value) : std::string(result.error()), c.expected) << c.text;
        EXPECT_EQ(text, c.text) << "the in-place stream never writes the text";
        EXPECT_EQ(result.ok() ? 1u : result.value.size(), 1u) << "a failure leaves only the error member";
    }
}

TEST(JsonReaderTest, BoundsNestingDepth) {
    const std::size_t limit = kMaxNestingDepth;
    const std::string deepest = std::string(limit, '[') + std::string(limit, ']');
    EXPECT_TRUE(ParseJson(deepest).ok());

    const std::string tooDeep = std::string(limit + 1, '[') + std::string(limit + 1, ']');
    EXPECT_EQ(ParseJson(tooDeep).error(), "Error: Nesting is too deep (more than 512 levels) at offset 512.");

    std::string objects;
    for (std::size_t i = 0; i <= limit; ++i) objects += "{\"a\":";
    EXPECT_EQ(ParseJson(objects).error(), "Error: Nesting is too deep (more than 512 levels) at offset 2560.");

    // Far beyond any stack: must fail cleanly, not crash.
    EXPECT_FALSE(ParseJson(std::string(1000000, '[')).ok());
}

// Strings sent to collide in the published text hash cost no more probes than any others.
TEST(JsonReaderTest, StringsSharingTheirTextHashStayLinear) {
    const std::vector<std::string> texts = Testing::FnvCollidingTexts(4096);
    std::string json = "[";
    for (const std::string& text : texts) json += "\"" + text + "\",";
    json.back() = ']';
    BindingResult result = ParseJson(json);
    ASSERT_TRUE(result.ok()) << result.error();
    ASSERT_EQ(result.value.size(), texts.size());
    EXPECT_EQ(result.value.at(4095).getString(), texts[4095]);
    EXPECT_EQ(result.value.arena()->stringCount(), texts.size());
    EXPECT_LE(result.value.arena()->stringDisplacement(), 4 * texts.size());
}

TEST(JsonReaderTest, RecognisesJsonByItsFirstCharacter) {
    for (const char* text : {"  {", "[1]"}) EXPECT_TRUE(LooksLikeJson(text)) << text;
    for (const char* text : {"\t{", "\"a\"", ""}) EXPECT_FALSE(LooksLikeJson(text)) << text;
    EXPECT_FALSE(LooksLikeJson(nullptr));
}

}  // namespace
}  // namespace Norv
