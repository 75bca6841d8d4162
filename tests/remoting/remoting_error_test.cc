#include "remoting/remoting_error.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "diagnostics/format.h"

namespace Norv {
namespace {

TEST(RemotingError, HoldsOwnedOrStaticMessages) {
    std::string text = "owned";
    const RemotingError owned(404, text);
    text = "changed";
    EXPECT_STREQ(owned.message(), "owned");
    EXPECT_EQ(owned.code(), 404);

    static const char kStatic[] = "static";
    const RemotingError borrowed(0, kStatic);
    EXPECT_EQ(borrowed.message(), kStatic);
    EXPECT_EQ(RemotingError(1, static_cast<const char*>(nullptr)).message(), nullptr);
}

TEST(RemotingError, FormatsThroughItsTextForm) {
    using Outcome = std::optional<RemotingError>;
    const struct {
        const char* what;
        std::string actual;
        std::string expected;
    } cases[] = {
        {"success", Format("%1", Outcome{}), "Success"},
        {"message and code", Format("%1", Outcome{RemotingError(404, std::string("x"))}), "x (404)"},
        {"negative code", Format("%1", Outcome{RemotingError(-1, "broken")}), "broken (-1)"},
        {"null message", Format("[%1]", Outcome{RemotingError(500, static_cast<const char*>(nullptr))}), "[]"},
        {"set error without optional", Format("%1", RemotingError(400, "bad")), "bad (400)"},
        {"padded like a string", Format("[%1$9s]", Outcome{}), "[  Success]"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.actual, c.expected) << c.what;
}

}  // namespace
}  // namespace Norv
