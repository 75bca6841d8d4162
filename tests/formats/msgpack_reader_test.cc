#include "formats/msgpack_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_limits.h"
#include "tests/formats/value_text.h"

namespace Norv {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Testing::ValueText;

struct MessagePackCase {
    Bytes bytes;
    std::string expected;  // the value text, or the error message
    std::size_t position;
};

TEST(MessagePackReaderTest, ReadsEveryFormatClassAndReportsInvalidAndTruncatedData) {
    const MessagePackCase cases[] = {
        {{}, "~", 0},
        {{0x05}, "i:5", 1},
        {{0x7F}, "i:127", 1},
        {{0xFF}, "i:-1", 1},
        {{0xE0}, "i:-32", 1},
        {{0xC0}, "~", 1},
        {{0xC2}, "false", 1},
        {{0xC3}, "true", 1},
        {{0xCC, 0x05}, "u:5", 2},
        {{0xCD, 0x01, 0x00}, "u:256", 3},
        {{0xCE, 0xFF, 0xFF, 0xFF, 0xFF}, "u:4294967295", 5},
        {{0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "u:18446744073709551615", 9},
        {{0xD0, 0x80}, "i:-128", 2},
        {{0xD1, 0xFF, 0xFE}, "i:-2", 3},
        {{0xD2, 0x80, 0x00, 0x00, 0x00}, "i:-2147483648", 5},
        {{0xD3, 0x80, 0, 0, 0, 0, 0, 0, 0}, "i:-9223372036854775808", 9},
        {{0xD3, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "i:9223372036854775807", 9},
        {{0xCA, 0x3F, 0xC0, 0x00, 0x00}, "f:1.5", 5},
        {{0xCB, 0xC0, 0x04, 0, 0, 0, 0, 0, 0}, "f:-2.5", 9},
        {{0xA3, 'a', 0x00, 'b'}, "'a\\0b'", 4},
        {{0xD9, 0x01, 'x'}, "'x'", 3},
        {{0xDA, 0x00, 0x01, 'x'}, "'x'", 4},
        {{0xDB, 0x00, 0x00, 0x00, 0x01, 'x'}, "'x'", 6},
        {{0xA0}, "''", 1},
        {{0xC4, 0x02, 0x01, 0xAB}, "b:01ab", 4},
        {{0xC5, 0x00, 0x01, 0xFF}, "b:ff", 4},
        {{0xC6, 0x00, 0x00, 0x00, 0x00}, "b:", 5},
        {{0x92, 0x01, 0xC0}, "[i:1,~]", 3},
        {{0xDC, 0x00, 0x01, 0x01}, "[i:1]", 4},
        {{0xDD, 0x00, 0x00, 0x00, 0x01, 0x01}, "[i:1]", 6},
        {{0x82, 0xA1, 'b', 0x01, 0xA1, 'a', 0x91, 0xC3}, "{a=[true],b=i:1}", 8},
        {{0xDE, 0x00, 0x01, 0xA0, 0xC0}, "{=~}", 5},
        {{0xDF, 0x00, 0x00, 0x00, 0x01, 0xA1, 'k', 0x80}, "{k={}}", 8},
        {{0x91, 0x91, 0x91, 0x01}, "[[[i:1]]]", 4},
        {{0x91, 0x90, 0x01}, "[[]]", 2},
        // One value only: the rest is left for the caller.
        {{0x90, 0xC0}, "[]", 1},
        {{0x01, 0x02}, "i:1", 1},
        // Repeated keys write into the same member.
        {{0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0x02}, "{a=i:2}", 7},
        {{0x82, 0xA1, 'a', 0x91, 0x01, 0xA1, 'a', 0x02}, "{a=i:2}", 8},
        {{0x82, 0xA1, 'a', 0x92, 0x01, 0x02, 0xA1, 'a', 0x91, 0x03}, "{a=[i:3,i:2]}", 10},
        {{0x82, 0xA1, 'a', 0x91, 0x01, 0xA1, 'a', 0x93, 0x03, 0x91, 0x04, 0x05}, "{a=[i:3,[i:4],i:5]}", 12},
        {{0x82, 0xA1, 'a', 0x90, 0xA1, 'a', 0x92, 0x91, 0x01, 0x02}, "{a=[[i:1],i:2]}", 10},
        {{0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0xC0}, "{a=~}", 7},
        {{0x82, 0xA1, 'a', 0x81, 0xA0, 0x01, 0xA1, 'a', 0xC0}, "{a=~}", 9},
        // Failures leave the message, as the value's only member too.
        {{0x81, 0x01, 0x02}, "Invalid MessagePack data at position 2. Map keys must be strings.", 2},
        {{0x81, 0xC4, 0x00}, "Invalid MessagePack data at position 2. Map keys must be strings.", 2},
        {{0xC1}, "Invalid MessagePack data at position 1.", 1},
        {{0x91, 0xD8}, "Invalid MessagePack data at position 2.", 2},
        {{0xCC}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated.", 1},
        {{0xCD, 0x01}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated.", 1},
        {{0xD2, 0, 0, 0}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.", 1},
        {{0xCA, 0x3F}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.", 1},
        {{0xCB}, "Invalid MessagePack data. 64-bit integer value at position 1 is truncated.", 1},
        {{0xD9}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated.", 1},
        {{0xDD, 0x00}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated.", 1},
        {{0x81, 0xDA, 0x00}, "Invalid MessagePack data. 16-bit integer value at position 2 is truncated.", 2},
        {{0xA3, 'a', 'b'}, "Invalid MessagePack data. String of size 3 at position 1 is truncated.", 1},
        {{0xDB, 0xFF, 0xFF, 0xFF, 0xFF},
         "Invalid MessagePack data. String of size 4294967295 at position 5 is truncated.",
         5},
        {{0xC4, 0x05, 0x00}, "Invalid MessagePack data. Raw bytes of size 5 at position 2 are truncated.", 2},
        // Input that ends inside a container is cut short; the innermost container missing items is named.
        {{0x92, 0x01}, "Invalid MessagePack data. Array of size 2 at position 1 is truncated.", 2},
        {{0x93, 0x01, 0x92, 0x02}, "Invalid MessagePack data. Array of size 2 at position 3 is truncated.", 4},
        {{0x92, 0x91, 0x01}, "Invalid MessagePack data. Array of size 2 at position 1 is truncated.", 3},
        {{0x81, 0xA1, 'a'}, "Invalid MessagePack data. Map of size 1 at position 1 is truncated.", 3},
        {{0x82, 0xA1, 'a', 0x01}, "Invalid MessagePack data. Map of size 2 at position 1 is truncated.", 4},
        {{0xDC, 0x00, 0x02}, "Invalid MessagePack data. Array of size 2 at position 3 is truncated.", 3},
        {{0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x03},
         "Invalid MessagePack data. Array of size 4294967295 at position 5 is truncated.",
         8},
        {{0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 'k', 0x01},
         "Invalid MessagePack data. Map of size 4294967295 at position 5 is truncated.",
         8},
    };
    for (const MessagePackCase& c : cases) {
        std::size_t position = 99;
        BindingResult result = ParseMessagePack(c.bytes.data(), c.bytes.size(), position);
        EXPECT_EQ(result.ok() ? ValueText(result.value) : std::string(result.error()), c.expected);
        EXPECT_EQ(ValueText(result.value), result.ok() ? c.expected : "{error='" + c.expected + "'}");
        EXPECT_EQ(position, c.position) << c.expected;
    }
}

TEST(MessagePackReaderTest, BoundsNestingDepth) {
    Bytes deepest(kMaxNestingDepth, 0x91);
    deepest.push_back(0x01);
    std::size_t position = 0;
    EXPECT_TRUE(ParseMessagePack(deepest.data(), deepest.size(), position).ok());
    EXPECT_EQ(position, deepest.size());

    Bytes tooDeep(1000000, 0x91);
    BindingResult result = ParseMessagePack(tooDeep.data(), tooDeep.size(), position);
    EXPECT_EQ(result.error(), "Invalid MessagePack data at position 513. Nesting is too deep (more than 512 levels).");
    EXPECT_EQ(position, 513u);
}

TEST(MessagePackReaderTest, RecognisesMapsAndArrays) {
    const std::uint8_t bytes[] = {0x80, 0x9F, 0xDC, 0xDF, 0xA0, 0x7F, 0xE0};
    const bool expected[] = {true, true, true, true, false, false, false};
    for (std::size_t i = 0; i < std::size(bytes); ++i) {
        EXPECT_EQ(LooksLikeMessagePack(&bytes[i], 1), expected[i]) << int(bytes[i]);
    }
    EXPECT_FALSE(LooksLikeMessagePack(bytes, 0));
}

}  // namespace
}  // namespace Norv
