#include "remoting/request_method.h"

#include <gtest/gtest.h>

#include <climits>

namespace Norv {
namespace {

TEST(RequestMethod, NamesTheSevenMethodsAndNothingElse) {
    const struct {
        std::int32_t method;
        const char* text;
    } cases[] = {{INT_MIN, ""},  {-1, ""},     {0, ""},     {1, "DELETE"}, {2, "GET"}, {3, "HEAD"},
                 {4, "OPTIONS"}, {5, "PATCH"}, {6, "POST"}, {7, "PUT"},    {8, ""},    {9, ""}};
    for (const auto& c : cases) EXPECT_EQ(MethodText(c.method), c.text) << c.method;
}

TEST(RequestMethod, KeepsHostMethodsOneToEightAndTurnsTheRestIntoNone) {
    const struct {
        std::int32_t host;
        std::int32_t method;
    } cases[] = {{INT_MIN, 0}, {-1, 0}, {0, 0}, {1, 1}, {7, 7}, {8, 8}, {9, 0}, {INT_MAX, 0}};
    for (const auto& c : cases) EXPECT_EQ(HostMethod(c.host), c.method) << c.host;
}

}  // namespace
}  // namespace Norv
