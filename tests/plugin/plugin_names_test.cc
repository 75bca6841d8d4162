#include "plugin/plugin_names.h"

#include "tests/support/recording_log_target.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

TEST(PluginNames, FullNameCarriesTheTypePrefix) {
    Testing::LogCapture log;
    EXPECT_EQ(GetFullNameFromShortNameAndType("vek-norv-messaging-service", kBackendPluginType),
              "hxp-be-vek-norv-messaging-service");
    EXPECT_EQ(GetFullNameFromShortNameAndType("x", kFrontendPluginType), "hxp-fe-x");
    EXPECT_TRUE(log.Lines().empty());

    EXPECT_EQ(GetFullNameFromShortNameAndType("x", PluginType{"sidecar", "d"}), "hxp-xx-x");
    EXPECT_EQ(log.Lines(),
              std::vector<std::string>{"DBG| ERROR|            Plugin Manager| GetFullNameFromShortNameAndType("
                                       "\"x\", \"sidecar\") called with an unknown type\n"});
}

}  // namespace
}  // namespace Norv
