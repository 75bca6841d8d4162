#include "formats/base64.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace Norv {
namespace {

std::string Encode(std::string_view bytes) {
    return Base64Encode(bytes.data(), bytes.size());
}

std::string Decode(std::string_view text) {
    const std::vector<std::uint8_t> bytes = Base64Decode(text);
    return std::string(bytes.begin(), bytes.end());
}

struct Base64Case {
    std::string_view text;
    std::string_view bytes;
};

TEST(Base64, EncodesGroupsAndPadsTheLastOne) {
    const Base64Case cases[] = {
        {"", ""},
        {"YQ==", "a"},
        {"YWI=", "ab"},
        {"YWJj", "abc"},
        {"YWJjZA==", "abcd"},
        {"//4A", std::string_view("\xff\xfe\x00", 3)},
        {"AA==", std::string_view("\x00", 1)},
        {"+/8=", "\xfb\xff"},
    };
    for (const auto& c : cases) EXPECT_EQ(Encode(c.bytes), c.text) << c.text;
}

TEST(Base64, DecodesWithOrWithoutPadding) {
    const Base64Case cases[] = {
        {"", ""},    {"YWJj", "abc"}, {"YWI=", "ab"},   {"YWI", "ab"},        {"YQ==", "a"},
        {"YQ", "a"}, {"Y", ""},       {"YWJjZ", "abc"}, {"+/8=", "\xfb\xff"},
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.text), c.bytes) << c.text;
}

TEST(Base64, DecodingStopsAtPaddingOrAnyCharacterOutsideTheAlphabet) {
    const Base64Case cases[] = {
        {"YQ==YWJj", "a"},
        {"YW Jj", "a"},
        {"YWJj YWJj", "abc"},
        {"YWJj\nYWJj", "abc"},
        {"YWJj-_", "abc"},                           // the URL-safe alphabet is not this one
        {"YWJj\xC4YWJj", "abc"},                     // a Latin-1 letter is not an ASCII letter
        {"YWJj\xE9\x80YWJj", "abc"},                 // nor are bytes of a multi-byte sequence
        {std::string_view("YWJj\0YWJj", 9), "abc"},  // an embedded NUL ends the text too
    };
    for (const auto& c : cases) EXPECT_EQ(Decode(c.text), c.bytes) << c.text;
}

TEST(Base64, RoundTripsEveryByteValueAtEveryLengthRemainder) {
    std::string bytes;
    for (int value = 0; value < 256; ++value) bytes += static_cast<char>(value);
    for (std::size_t length = 250; length <= bytes.size(); ++length) {
        const std::string_view part(bytes.data(), length);
        const std::string text = Encode(part);
        EXPECT_EQ(text.size(), (length + 2) / 3 * 4);
        EXPECT_EQ(Decode(text), part);
    }
}

}  // namespace
}  // namespace Norv
