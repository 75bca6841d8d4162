#include "plugin/plugin_api_version.h"

#include "diagnostics/format.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

TEST(PluginApiVersion, HostsOfTheSameMajorAndNoOlderMinorPatchAreAccepted) {
    const PluginApiVersion plugin = CurrentPluginApiVersion();
    struct Case {
        PluginApiVersion host;
        bool accepted;
    } cases[] = {
        {{18, 0, 0, {}, {}}, true},  {{18, 0, 5, {}, {}}, true},  {{18, 3, 0, {}, {}}, true},
        {{17, 9, 9, {}, {}}, false}, {{19, 0, 0, {}, {}}, false}, {{18, 0, 0, "rc1", "7"}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsCompatibleHostVersion(c.host, plugin), c.accepted) << FormatTextForm(c.host);
    }
    // With a newer minor number the patch number does not matter; with the same one it must not be older.
    const PluginApiVersion newer{2, 4, 6, {}, {}};
    EXPECT_TRUE(IsCompatibleHostVersion({2, 5, 0, {}, {}}, newer));
    EXPECT_TRUE(IsCompatibleHostVersion({2, 4, 6, {}, {}}, newer));
    EXPECT_FALSE(IsCompatibleHostVersion({2, 4, 5, {}, {}}, newer));
    EXPECT_FALSE(IsCompatibleHostVersion({2, 3, 9, {}, {}}, newer));
}

TEST(PluginApiVersion, TextFormAddsPrereleaseAndBuild) {
    EXPECT_EQ(FormatTextForm({1, 2, 3, "rc1", "7"}), "1.2.3-rc1+7");
    EXPECT_EQ(FormatTextForm({1, 2, 3, "", "7"}), "1.2.3+7");
    EXPECT_EQ(FormatTextForm({1, 2, 3, "beta", ""}), "1.2.3-beta");
    EXPECT_EQ(FormatTextForm({4294967295u, 4294967295u, 4294967295u, {}, {}}), "4294967295.4294967295.4294967295");
}

}  // namespace
}  // namespace Norv
