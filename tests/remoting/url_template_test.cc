#include "remoting/url_template.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Norv {
namespace {

std::string Describe(const UrlTemplate& urlTemplate) {
    std::string text;
    for (const UrlParameter& parameter : urlTemplate.parameters())
        text += std::to_string(static_cast<int>(parameter.kind)) + ":" + parameter.name + " ";
    return text;
}

TEST(UrlTemplate, TranslatesPlaceholdersAndEscapesLiteralText) {
    const struct {
        const char* text;
        const char* expression;
        const char* parameters;
    } cases[] = {
        {"/items/{id}", "/items/([^/]*)", "1:id "},
        {"/files/{+path}", "/files/(.*)", "2:path "},
        {"/doc{#part}", "/doc#(.*)", "3:part "},
        {"/{a}/{+b}{#c}", "/([^/]*)/(.*)#(.*)", "1:a 2:b 3:c "},
        {"/v1.0/{x}", "/v1\\.0/([^/]*)", "1:x "},
        {"^$.*+?()[]|\\{x}-#", "\\^\\$\\.\\*\\+\\?\\(\\)\\[\\]\\|\\\\([^/]*)-#", "1:x "},
        {"/{a+b}/{+#c}", "/([^/]*)/(.*)", "1:a+b 2:#c "},
        {"/x/{}", "/x/([^/]*)", "1: "},
        {"/plain/path", "/plain/path", ""},
    };
    for (const auto& c : cases) {
        const UrlTemplate urlTemplate(c.text);
        ASSERT_TRUE(urlTemplate.ok()) << c.text << ": " << urlTemplate.error();
        EXPECT_EQ(urlTemplate.expression(), c.expression) << c.text;
        EXPECT_EQ(Describe(urlTemplate), c.parameters) << c.text;
        EXPECT_EQ(urlTemplate.literal(), urlTemplate.parameters().empty()) << c.text;
    }
}

TEST(UrlTemplate, RejectsUnbalancedBracesAndNul) {
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        {"/a/}/{b}", "URL template '/a/}/{b}' has an unbalanced '}' at offset 3."},
        {"/a/{b}}", "URL template '/a/{b}}' has an unbalanced '}' at offset 6."},
        {"/a/{b", "URL template '/a/{b' has an unbalanced '{' at offset 3."},
        {"/{a{b}}", "URL template '/{a{b}}' has an unbalanced '{' at offset 3."},
        {"/{a}/{", "URL template '/{a}/{' has an unbalanced '{' at offset 5."},
        {std::string("/a\0/{b}", 7), "URL template '/a' contains a NUL character at offset 2."},
    };
    for (const auto& c : cases) {
        const UrlTemplate urlTemplate(c.text);
        EXPECT_FALSE(urlTemplate.ok()) << c.text;
        EXPECT_EQ(urlTemplate.error(), c.error);
        EXPECT_TRUE(urlTemplate.parameters().empty()) << c.text;
        EXPECT_FALSE(urlTemplate.literal()) << c.text;
        std::string_view captures[2];
        EXPECT_FALSE(urlTemplate.match(c.text, captures)) << c.text;
    }
}

// The captures are what std::regex gives on the template's expression; the
// last paths are far longer than any stack.
TEST(UrlTemplate, MatchesAndCapturesAsTheExpressionWould) {
    const std::string run(100000, 'a');
    const struct {
        const char* text;
        std::string path;
        bool matches;
        std::vector<std::string> captures;
    } cases[] = {
        {"/items/{id}", "/items/7", true, {"7"}},
        {"/items/{id}", "/items/", true, {""}},
        {"/items/{id}", "/items/7/x", false, {}},
        {"/items/{id}", "/items", false, {}},
        {"/files/{+path}", "/files/x/y/z", true, {"x/y/z"}},
        {"/files/{+path}", "/files/x\ny", false, {}},
        {"/files/{+path}", "/files/x\ry", false, {}},
        {"/files/{id}", "/files/x\ny", true, {"x\ny"}},
        {"/files/{+path}", std::string("/files/a\0b", 10), true, {std::string("a\0b", 3)}},
        {"/v1.0/{x}", "/v1.0/a", true, {"a"}},
        {"/{a}/{+b}", "/x/y/z", true, {"x", "y/z"}},
        {"/{+a}/{b}", "/x/y/z", true, {"x/y", "z"}},
        {"/{+a}/{+b}", "/x/y/z", true, {"x/y", "z"}},
        {"{+a}{+b}", "abc", true, {"abc", ""}},
        {"{a}x{+b}", "xaxbx", true, {"xaxb", ""}},
        {"{a}x{b}x", "axbxcx", true, {"axb", "c"}},
        {"{+a}ab{+b}b", "aabab", true, {"a", "a"}},
        {"{+a}ab{+b}b", "abababb", true, {"abab", ""}},
        {"/{+a}/{+b}/{c}", "/x/y/z/w", true, {"x/y", "z", "w"}},
        {"{+a}x{+b}x{+c}", "axbxcxd", true, {"axb", "c", "d"}},
        {"{+a}x{+b}x{+c}", "axbx", true, {"a", "b", ""}},
        {"{+a}x{b}x{+c}", "axb/xcxd", true, {"axb/", "c", "d"}},
        {"{+a}x{b}x{+c}", "a/bxc", false, {}},
        {"/doc{#part}", "/doc#a#b", true, {"a#b"}},
        {"/doc{#part}", "/doc", false, {}},
        {"/{a}{#f}", "/x#y/z", true, {"x", "y/z"}},
        {"/{a}/{a}", "/x/y", true, {"x", "y"}},
        {"/{a}\\{b}", "/x\\y", true, {"x", "y"}},
        {"/{a}[x]{b}", "/1[x]2", true, {"1", "2"}},
        {"/items/{id}", "/items/" + run + "/", false, {}},
        {"/{+a}/{b}/{+c}", "/" + run + "/" + run + "/" + run + "/x", true, {run + "/" + run, run, "x"}},
        {"/{+a}/{b}x", "/" + run + "/" + run, false, {}},
    };
    for (const auto& c : cases) {
        const UrlTemplate urlTemplate(c.text);
        ASSERT_TRUE(urlTemplate.ok()) << c.text;
        std::vector<std::string_view> captures(urlTemplate.parameters().size());
        const bool matches = urlTemplate.match(c.path, captures);
        EXPECT_EQ(matches, c.matches) << c.text << " on " << c.path.substr(0, 80);
        if (matches) {
            EXPECT_EQ(std::vector<std::string>(captures.begin(), captures.end()), c.captures) << c.text;
        }
    }
}

}  // namespace
}  // namespace Norv
