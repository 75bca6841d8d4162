#include "remoting/content_type.h"

#include <gtest/gtest.h>

#include <string>

namespace Norv {
namespace {

TEST(ContentType, BodyRecognitionTakesPrefixesIgnoringCase) {
    const struct {
        const char* type;
        std::int32_t body;
    } cases[] = {
        {"application/json", kBodyJson},
        {"APPLICATION/JSON; charset=utf-8", kBodyJson},
        {"application/vnd.api+json", kBodyJson},
        {"application/x-yaml", kBodyYaml},
        {"text/x-yaml", kBodyUnrecognised},
        {"application/x-msgpack", kBodyMessagePack},
        {"application/x-msgpack-ext", kBodyMessagePack},
        {"application/octet-stream", kBodyUnrecognised},
        {"application/jso", kBodyUnrecognised},
        {" application/json", kBodyUnrecognised},
        {"", kBodyUnrecognised},
    };
    for (const auto& c : cases) EXPECT_EQ(BodyContentType(c.type), c.body) << c.type;
}

TEST(ContentType, ValueRecognitionByTypeAndBySniffing) {
    using V = ValueContent;
    const struct {
        const char* type;
        std::string text;
        bool sniff;
        ValueContent value;
    } cases[] = {
        {"Application/Json;charset=utf-8", "1", false, V::Json},
        {"application/vnd.api+json", "{}", false, V::String},
        {"application/x-yaml", "a: 1", false, V::String},
        {"TEXT/X-YAML", "a: 1", false, V::Yaml},
        {"application/x-msgpack-ext", "x", false, V::MessagePack},
        {"application/octet-stream", "bytes", false, V::Blob},
        {"text/plain", "[1]", true, V::String},
        {"", " [1]", true, V::Json},
        {"", "   {", true, V::Json},
        {"", "\t[1]", true, V::String},
        {"", "[1]", false, V::String},
        {"", "---\na: 1", true, V::Yaml},
        {"", "  ---", true, V::Yaml},
        {"", "--", true, V::String},
        {"", "\x93\x01\x02\x03", true, V::MessagePack},
        {"", "\x80", true, V::MessagePack},
        {"", "\x9f", true, V::MessagePack},
        {"", "\xdc\x00\x01", true, V::MessagePack},
        {"", "\xdf", true, V::MessagePack},
        {"", "\xa0", true, V::String},
        {"", "\xe0", true, V::String},
        {"", "word", true, V::String},
        {"", "", true, V::String},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValueContentType(c.type, c.text, c.sniff), c.value) << c.type << " / " << c.text;
    }
}

}  // namespace
}  // namespace Norv
