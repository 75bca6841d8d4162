#include "plugin/host_plugin.h"

#include "binding/binding_page_pool.h"
#include "plugin/plugin_entry.h"
#include "tests/support/fake_host.h"
#include "tests/support/recording_log_target.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace Norv {
namespace {

using Testing::FakeHost;
using Testing::HostCall;

constexpr const char* kShortName = "vek-norv-messaging-service";

class TestPlugin : public HostPlugin {
public:
    ~TestPlugin() override {
        if (destroyed != nullptr) *destroyed = true;
    }
    void RegisterBindings() override { ++registerBindingsCalls; }
    bool Initialize() override {
        if (throwInInitialize) throw std::runtime_error("boom");
        return initializeResult;
    }
    void AddSubscribedEvent(const std::string& name) {
        eventHandlers_[name];
        ++subscriptionCounts_[name];
    }
    std::size_t EventHandlerCount() const { return eventHandlers_.size(); }
    std::size_t SubscriptionCountEntries() const { return subscriptionCounts_.size(); }

    int registerBindingsCalls = 0;
    bool initializeResult = true;
    bool throwInInitialize = false;
    bool* destroyed = nullptr;
};

PluginLoadRecord HandshakeWith(HostPlugin& plugin, std::uint32_t major, std::uint32_t minor, std::uint32_t patch) {
    PluginLoadRecord record{};
    record.major = major;
    record.minor = minor;
    record.patch = patch;
    plugin.Handshake(record, kShortName);
    return record;
}

// The process stops in a child; its standard error shows the fatal report.
TEST(HostPluginDeathTest, IncompatibleHostIsReportedAndStopsTheProcess) {
    const struct {
        std::uint32_t major, minor, patch;
        const char* report;
    } cases[] = {
        {19, 0, 0, "supports plugin API 18\\.0\\.0 is not compatible with core's plugin API 19\\.0\\.0"},
        {17, 9, 9,
         "Description: vek-norv-messaging-service which supports plugin API 18\\.0\\.0 is not compatible "
         "with core's plugin API 17\\.9\\.9"},
        // Two cases: the regular expressions of some platforms' death tests do not span lines.
        {1, 0, 0, " ERROR\\| Assertion failed!"},
        {1, 0, 0, "Expression: ALE-EECF0606"},
    };
    for (const auto& c : cases) {
        EXPECT_EXIT(
            {
                TestPlugin plugin;
                HandshakeWith(plugin, c.major, c.minor, c.patch);
            },
            ::testing::ExitedWithCode(kIncompatibleHostExitCode), c.report);
    }
}

// A plugin after handshake with a host of plugin API 18.2.1 and init against a
// fake host of handle 0x51, its calls cleared.
class StartedHostPlugin : public ::testing::Test {
protected:
    void SetUp() override {
        record_ = HandshakeWith(plugin_, 18, 2, 1);
        ASSERT_TRUE(record_.callbacks->init(record_.context, host_.Interface()));
        host_.ClearCalls();
    }

    FakeHost host_{0x51};  // first, so that it outlives the plugin
    TestPlugin plugin_;
    PluginLoadRecord record_{};
};

// The record as the shipping module fills it is pinned by the golden
// transcripts, and the answered version and callbacks by the boundary record
// test; here, that the plugin keeps the host's version and host.
TEST_F(StartedHostPlugin, HandshakeAndInitKeepTheHostAndInitAnswersWhatInitializeAnswers) {
    EXPECT_EQ(record_.apiTable, &plugin_.ApiTable());
    EXPECT_EQ(FormatTextForm(plugin_.HostVersion()), "18.2.1");
    EXPECT_EQ(plugin_.Names().fullName, "hxp-be-vek-norv-messaging-service");
    EXPECT_EQ(plugin_.Names().typeName, "backend");
    EXPECT_EQ(plugin_.Names().typeDetail, "");
    EXPECT_EQ(plugin_.registerBindingsCalls, 1);
    EXPECT_EQ(plugin_.Host(), host_.Interface());
    EXPECT_EQ(plugin_.HostHandle(), 0x51u);
    EXPECT_EQ(plugin_.UserAgent(), "NorvClient/18.2.1 (vek-norv-messaging-service)");
    // Init answers what Initialize answers, and fails without a host.
    Testing::LogCapture log;
    plugin_.initializeResult = false;
    EXPECT_FALSE(record_.callbacks->init(record_.context, host_.Interface()));
    EXPECT_FALSE(record_.callbacks->init(record_.context, nullptr));
    plugin_.throwInInitialize = true;
    EXPECT_FALSE(record_.callbacks->init(record_.context, host_.Interface()));
    EXPECT_EQ(log.Target().Lines(), (std::vector<std::string>{"DBG| ERROR|Exception in init: boom\n"}));
}

// The slots the transcripts show (requests, subscriptions, waits and yields)
// are pinned by the golden files; these are the ones no plugin uses yet.
TEST_F(StartedHostPlugin, SlotsForwardTheirArgumentsToTheHostTable) {
    host_.SetSubscribeResult(77);
    plugin_.HostSlot1(1, 2);
    plugin_.HostSlot2(3);
    EXPECT_EQ(plugin_.SubscribeEvent("OnJsonApiEvent_a", 5, nullptr, nullptr, 1), 77u);
    plugin_.HostSlot5(6, 7, 8, 0.5, 9);
    const std::vector<HostCall>& calls = host_.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].words, (std::vector<std::uintptr_t>{1, 2}));
    EXPECT_EQ(calls[1].words, (std::vector<std::uintptr_t>{3}));
    EXPECT_EQ(calls[3].slot, 5);
    EXPECT_EQ(calls[3].words, (std::vector<std::uintptr_t>{6, 7, 8, 9}));
    EXPECT_EQ(calls[3].value, 0.5);
}

// A host may leave any slot null: the forwarded ones then answer 0 and the
// waits and yields are skipped; so they are before init, when there is no host.
TEST_F(StartedHostPlugin, NullSlotsAnswerZeroOrAreSkipped) {
    const auto callEverySlot = [](TestPlugin& plugin) {
        EXPECT_EQ(plugin.HostSlot1(1, 2), 0u);
        EXPECT_EQ(plugin.HostSlot2(3), 0u);
        EXPECT_EQ(plugin.SubscribeEvent("OnJsonApiEvent_a", 5, nullptr, nullptr, 1), 0u);
        EXPECT_EQ(plugin.UnsubscribeEvent("OnJsonApiEvent_a", 5), 0u);
        EXPECT_EQ(plugin.HostSlot5(6, 7, 8, 0.5, 9), 0u);
        plugin.YieldToHost();
        plugin.BeginWait("w", 0);
        plugin.EndWait();
    };
    TestPlugin unstarted;
    callEverySlot(unstarted);
    *host_.Functions() = HostFunctionTable{};
    callEverySlot(plugin_);
    EXPECT_TRUE(host_.Calls().empty());
}

TEST_F(StartedHostPlugin, ShutdownUnsubscribesEveryEventAndKeepsTheCounts) {
    plugin_.AddSubscribedEvent("OnJsonApiEvent_a");
    plugin_.AddSubscribedEvent("OnServiceProxyUuidEvent");
    plugin_.Shutdown();
    // One for each name, the service-proxy ones from init: the transcripts
    // show which names and handle.
    EXPECT_EQ(host_.CallsTo(4).size(), 4u);
    EXPECT_EQ(plugin_.EventHandlerCount(), 0u);
    EXPECT_EQ(plugin_.SubscriptionCountEntries(), 2u);

    plugin_.AddSubscribedEvent("OnLater");  // the emptied table stays usable
    host_.ClearCalls();
    plugin_.Shutdown();
    ASSERT_EQ(host_.CallsTo(4).size(), 1u);
    EXPECT_EQ(host_.CallsTo(4)[0].text, "OnLater");
}

TEST(HostPlugin, UnloadShutsDownAndDestroysThePlugin) {
    bool destroyed = false;
    auto* plugin = new TestPlugin;
    plugin->destroyed = &destroyed;
    PluginLoadRecord record = HandshakeWith(*plugin, 18, 0, 0);
    PluginCallbacks callbacks = *record.callbacks;
    FakeHost host;
    ASSERT_TRUE(callbacks.init(record.context, host.Interface()));
    BindingPagePool& pool = BindingPagePool::Instance();
    pool.releasePage(pool.acquirePage());  // a spare chunk
    // The unsubscriptions of an unload are in the transcripts.
    callbacks.unload(record.context);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(BindingPagePool::Instance().statistics().spareChunks, 0u) << "an unloaded plugin keeps no pages";
    callbacks.unload(nullptr);
}

}  // namespace
}  // namespace Norv
