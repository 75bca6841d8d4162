#include "diagnostics/log_api.h"
#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"
#include "plugin/host_plugin.h"
#include "plugin/plugin_log_target.h"
#include "plugin/telemetry_sender.h"
#include "tests/support/fake_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Norv {
namespace {

using Testing::FakeHost;

class PluginServices : public ::testing::Test {
protected:
    void SetUp() override {
        PluginLoadRecord record{};
        record.major = 18;
        plugin_ = new HostPlugin;
        plugin_->Handshake(record, "vek-norv-messaging-service");
        callbacks_ = plugin_->Callbacks();
        host_.AnswerRequests();
        // Every console target attached (once), for init to detach.
        const LogApi& log = GetLogApi();
        for (LogTargetInterface* console : {log.StdOutTarget(), log.StdErrTarget(), log.DebuggerTarget()}) {
            log.DetachTarget(console);
            log.AttachTarget(console);
        }
        ASSERT_TRUE(callbacks_.init(plugin_, host_.Interface()));
    }
    void TearDown() override { callbacks_.unload(plugin_); }

    FakeHost host_;
    HostPlugin* plugin_ = nullptr;
    PluginCallbacks callbacks_{};
};

TEST_F(PluginServices, LogLinesReachTheHostAsLevelAndBareMessageWithExtraGroupMuted) {
    const LogApi& log = GetLogApi();
    for (const char* console : {"StdOutLogTarget", "StdErrLogTarget", "DebuggerConsoleLogTarget"})
        EXPECT_EQ(log.FindTarget(console), nullptr) << console;
    EXPECT_EQ(log.GetMinimumLevel(), 0);
    EXPECT_EQ(log.GetMutedGroups(), kLogGroupXtr);
    host_.ClearCalls();
    Log(kLogLevelOkay, kLogGroupDbg, "okay %d", 1);
    Log(kLogLevelError, kLogGroupXtr, "muted");
    ASSERT_EQ(host_.CallsTo(9).size(), 1u);
    EXPECT_EQ(host_.CallsTo(9)[0].level, 0);
    EXPECT_EQ(host_.CallsTo(9)[0].text, "okay 1");

    // A second init keeps the one target it has.
    LogTargetInterface* target = log.FindTarget(kPluginLogTargetName);
    ASSERT_TRUE(callbacks_.init(plugin_, host_.Interface()));
    EXPECT_EQ(log.FindTarget(kPluginLogTargetName), target);
    host_.ClearCalls();
    Log(kLogLevelWarn, kLogGroupDbg, "once");
    EXPECT_EQ(host_.CallsTo(9).size(), 1u);
}

TEST_F(PluginServices, TelemetryPostsToTheEventsPathWithTheNameAsItStands) {
    host_.SetAnswer(Testing::Answer(kMethodPost, "/telemetry/v1/events/foo"));
    host_.SetAnswer(Testing::Answer(kMethodPost, "/telemetry/v1/events/a/b?c=%", 500, "down"));
    BindingProperty value;
    value.member("count") = 3;
    std::future<std::optional<RemotingError>> sent = plugin_->Telemetry()->SendTelemetry("foo", value);
    ASSERT_EQ(sent.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_FALSE(sent.get().has_value());
    std::optional<RemotingError> failed = plugin_->Telemetry()->SendTelemetry("a/b?c=%", BindingProperty()).get();
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ(failed->code(), 500);
    EXPECT_EQ(host_.Requests(), (std::vector<std::string>{"POST /telemetry/v1/events/foo (count: 3)",
                                                          "POST /telemetry/v1/events/a/b?c=% (empty)"}));
    // A failed telemetry call logs nothing.
    EXPECT_TRUE(host_.CallsTo(9).empty());
}

TEST(PluginRequests, ARequestBeforeInitFailsWithoutReachingAnyHost) {
    HostPlugin plugin;
    PluginLoadRecord record{};
    record.major = 18;
    plugin.Handshake(record, "vek-norv-messaging-service");
    std::optional<RemotingError> error = RemotingCall(plugin.Remoting(), kMethodDelete, "/x");
    ASSERT_TRUE(error.has_value());
    EXPECT_STREQ(error->message(), "Request not sent: no host to take DELETE /x");
}

}  // namespace
}  // namespace Norv
