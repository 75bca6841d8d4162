#include "remoting/query_string.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

TEST(QueryString, SplitsThePathAtItsFirstQuestionMark) {
    const struct {
        const char* path;
        const char* route;
        const char* query;
    } cases[] = {
        {"/a/b", "/a/b", ""}, {"/a?x=1", "/a", "x=1"}, {"/a?x=?&y", "/a", "x=?&y"}, {"/a?", "/a", ""}, {"?x", "", "x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathWithoutQuery(c.path), c.route) << c.path;
        EXPECT_EQ(QueryOf(c.path), c.query) << c.path;
    }
}

TEST(QueryString, ParsesPiecesIntoDecodedNamesAndValues) {
    const struct {
        const char* query;
        QueryMap entries;
    } cases[] = {
        {"a=1&b=2&a=3", {{"a", "3"}, {"b", "2"}}},
        {"c", {{"c", ""}}},
        {"c=", {{"c", ""}}},
        {"x=a=b", {{"x", "a=b"}}},
        {"n%20m=v+w%26", {{"n m", "v w&"}}},
        {"=v", {{"", "v"}}},
        {"a=1&&b=2&", {{"a", "1"}, {"b", "2"}}},
        {"", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseQuery(c.query), c.entries) << c.query;
}

}  // namespace
}  // namespace Norv
