#include "plugin/plugin_names.h"

#include "tests/support/recording_log_target.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

TEST(PluginNames, FullNameCarriesTheTypePrefix) {
    Testing::LogCapture log("#G #M");
    const Testing::RecordingLogTarget& target = log.Target();

    EXPECT_EQ(GetFullNameFromShortNameAndType("vek-norv-messaging-service", kBackendPluginType),
              "hxp-be-vek-norv-messaging-service");
    EXPECT_EQ(GetFullNameFromShortNameAndType("x", kFrontendPluginType), "hxp-fe-x");
    EXPECT_TRUE(target.Lines().empty());

    EXPECT_EQ(GetFullNameFromShortNameAndType("x", PluginType{"sidecar", "d"}), "hxp-xx-x");
    ASSERT_EQ(target.Lines().size(), 1u);
    EXPECT_EQ(target.Levels()[0], 2);
    EXPECT_EQ(target.Lines()[0],
              "DBG             Plugin Manager| GetFullNameFromShortNameAndType(\"x\", \"sidecar\") called with an "
              "unknown type\n");
}

}  // namespace
}  // namespace Norv
