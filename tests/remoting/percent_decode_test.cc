#include "remoting/percent_decode.h"

#include <gtest/gtest.h>

#include <string>

namespace Norv {
namespace {

TEST(PercentDecode, DecodesEscapesAndBlanksAndKeepsWhatIsNoEscape) {
    const struct {
        const char* text;
        std::string decoded;
    } cases[] = {
        {"a%20b", "a b"},
        {"a+b", "a b"},
        {"%41%62%fF", "Ab\xff"},
        {"%00", std::string(1, '\0')},
        {"%2B+", "+ "},
        {"%G0", "%G0"},
        {"%0G", "%0G"},
        {"%%41", "%A"},
        {"%4", "4"},
        {"x%", "x"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PercentDecode(c.text), c.decoded) << c.text;
}

}  // namespace
}  // namespace Norv
