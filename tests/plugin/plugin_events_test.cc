#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/host_value.h"
#include "diagnostics/allocation_statistics.h"
#include "plugin/debug_trace.h"
#include "plugin/host_plugin.h"
#include "plugin/host_types.h"
#include "tests/support/fake_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Norv {
namespace {

using Client::PluginResourceEventType;
using Testing::FakeHost;

constexpr const char* kSessionEvent = "OnJsonApiEvent_vek-login_v1_session";

struct Session {
    static constexpr FixedText kStaticTypeText{"struct Norv::Session"};
    std::string state;
    std::string idToken;
};

class EventPlugin : public HostPlugin {
public:
    void RegisterBindings() override {
        Registry()
            .registerType<Session>("Session")
            .addField("state", &Session::state, {}, kBindingFieldRequired)
            .addField("idToken", &Session::idToken);
    }
    using HostPlugin::eventHandlers_;
    using HostPlugin::subscriptionCounts_;
};

// A plugin after handshake and init against a fake host that answers every
// request it was not told about with an error, so no watcher gets a synthetic
// first event.
class PluginEvents : public ::testing::Test {
protected:
    void SetUp() override {
        PluginLoadRecord record{};
        record.major = 18;
        plugin_ = new EventPlugin;
        plugin_->Handshake(record, "vek-norv-messaging-service");
        callbacks_ = plugin_->Callbacks();
        host_.AnswerRequests();
        ASSERT_TRUE(callbacks_.init(plugin_, host_.Interface()));
        host_.ClearCalls();
    }
    void TearDown() override {
        if (plugin_ != nullptr) callbacks_.unload(plugin_);
    }

    void Deliver(const char* name, const BindingProperty& payload) {
        ASSERT_EQ(host_.DeliverEvent(name, payload), 1u) << name;
    }
    void DeliverResource(const char* name, const std::string& uri, const char* type, const BindingProperty& data) {
        Deliver(name, Testing::ResourceEventPayload(uri, type, data));
    }

    FakeHost host_;
    EventPlugin* plugin_ = nullptr;
    PluginCallbacks callbacks_{};
};

BindingProperty SessionData(const char* state, const char* token) {
    BindingProperty data;
    data.member("state") = state;
    data.member("idToken") = token;
    return data;
}

TEST_F(PluginEvents, PathsOfOneEventNameShareASubscriptionCountedNeverBelowZero) {
    plugin_->Subscribe("/vek-login/v1/session");
    plugin_->Subscribe("/vek-login/v1/session/x");
    plugin_->Subscribe("/vek-login/v1/other");
    EXPECT_EQ(host_.CallsTo(3).size(), 2u);
    EXPECT_EQ(plugin_->subscriptionCounts_[kSessionEvent], 2);

    plugin_->Unsubscribe("/vek-login/v1/session/x");
    EXPECT_TRUE(host_.CallsTo(4).empty());
    plugin_->Unsubscribe("/vek-login/v1/session");
    ASSERT_EQ(host_.CallsTo(4).size(), 1u);
    EXPECT_EQ(host_.CallsTo(4)[0].text, kSessionEvent);
    EXPECT_EQ(plugin_->eventHandlers_.count(kSessionEvent), 0u);

    // An unbalanced unsubscribe never counts below zero, so the next
    // subscription reaches the host again.
    plugin_->Unsubscribe("/vek-login/v1/session");
    plugin_->Unsubscribe("/vek-login/v1/never");
    EXPECT_EQ(plugin_->subscriptionCounts_[kSessionEvent], 0);
    EXPECT_EQ(host_.CallsTo(4).size(), 1u);
    plugin_->Subscribe("/vek-login/v1/session");
    EXPECT_EQ(host_.CallsTo(3).size(), 3u);
}

TEST_F(PluginEvents, ResourceEventsReachTheExactWatcherAndEveryMatchingPattern) {
    std::vector<std::string> seen;
    auto watch = [&](const char* path, const char* tag) {
        plugin_->WatchResource<BindingProperty>(path, [&seen, tag](const ResourceEvent<BindingProperty>& event) {
            seen.push_back(std::string(tag) + " " + event.uri + " " +
                           std::to_string(static_cast<int>(event.eventType)) + " " +
                           event.data.get("state").toString());
        });
    };
    watch("/vek-login/v1/session", "exact");
    watch("/vek-login/*/session", "pattern");
    watch("/vek-login/v1/*x", "never");
    // Without the leading '/' the uri still finds the watchers of the path.
    BindingProperty data;
    data.member("state") = "IN_PROGRESS";
    DeliverResource(kSessionEvent, "vek-login/v1/session", "Update", data);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"exact vek-login/v1/session 1 IN_PROGRESS",
                                              "pattern vek-login/v1/session 1 IN_PROGRESS"}));
}

TEST_F(PluginEvents, PayloadsThatDoNotConvertAndUnknownNamesAreIgnored) {
    int calls = 0;
    plugin_->WatchResource<BindingProperty>("/vek-login/v1/session",
                                            [&](const ResourceEvent<BindingProperty>&) { ++calls; });
    BindingProperty bad;
    bad.member("uri") = "/vek-login/v1/session";
    bad.member("eventType") = "Rename";
    Deliver(kSessionEvent, bad);
    Deliver(kSessionEvent, BindingProperty());
    const Testing::HostSubscription& subscription = host_.Subscriptions().front();
    HostEventRecord unknown{};
    unknown.eventName = "OnSomethingElse";
    unknown.context = subscription.context;
    subscription.callback(&unknown);
    subscription.callback(nullptr);
    HostEventRecord noContext{};
    noContext.eventName = kSessionEvent;
    subscription.callback(&noContext);
    // A payload of a kind the reader does not know: the failure it builds is
    // released again.
    HostEventRecord unreadable{};
    unreadable.eventName = kSessionEvent;
    unreadable.context = subscription.context;
    unreadable.payload.tag = 99;
    const AllocationStatistics before = CurrentAllocationStatistics();
    host_.Subscriptions().back().callback(&unreadable);
    const AllocationStatistics after = CurrentAllocationStatistics();
    EXPECT_GT(after.Allocations(), before.Allocations());
    EXPECT_EQ(after.Allocations() - before.Allocations(), after.Releases() - before.Releases());
    EXPECT_EQ(calls, 0);
    EXPECT_TRUE(host_.LogLines().empty());

    // A handler of the other form, registered under the name since, is not
    // reached through the earlier subscription: only through its own.
    int answers = 0;
    plugin_->AddEventHandler(kSessionEvent, [&](const Client::PluginServiceProxyResponse&) { ++answers; });
    BindingProperty answer;
    answer.member("uuid") = "u1";
    EXPECT_EQ(host_.DeliverEvent(kSessionEvent, answer), 2u);
    EXPECT_EQ(answers, 1);

    // An installed sink hears why a payload did not convert.
    std::vector<std::string> traces;
    SetDebugTraceSink(
        [](void* lines, std::string_view line) { static_cast<std::vector<std::string>*>(lines)->emplace_back(line); },
        &traces);
    answer.member("uuid") = true;
    host_.DeliverEvent(kSessionEvent, answer);
    DebugTrace(std::string_view("100%s", 4), {"x"});  // a '%' that ends the format stays, whatever follows it
    SetDebugTraceSink(nullptr, nullptr);
    EXPECT_EQ(traces,
              (std::vector<std::string>{"Couldn't convert payload  for event " + std::string(kSessionEvent) +
                                            ": Couldn't assign value to 'uuid' because the input is not a string.",
                                        "100%"}));
}

TEST_F(PluginEvents, AHandlerMayUnwatchReplaceAndShutDownWhileItRuns) {
    std::vector<std::string> seen;
    plugin_->WatchResource<BindingProperty>("/a/b/c", [&](const ResourceEvent<BindingProperty>&) {
        seen.push_back("exact");
        plugin_->UnwatchResource("/a/*/c");
        plugin_->WatchResource<BindingProperty>(
            "/a/b/c", [&](const ResourceEvent<BindingProperty>&) { seen.push_back("replacement"); });
        plugin_->WatchResource<BindingProperty>(
            "/a/b/*", [&](const ResourceEvent<BindingProperty>&) { seen.push_back("new pattern"); });
    });
    plugin_->WatchResource<BindingProperty>(
        "/a/*/c", [&](const ResourceEvent<BindingProperty>&) { seen.push_back("removed pattern"); });
    plugin_->WatchResource<BindingProperty>(
        "/a/b/*", [&](const ResourceEvent<BindingProperty>&) { seen.push_back("replaced pattern"); });
    DeliverResource("OnJsonApiEvent_a_b_c", "/a/b/c", "Update", {});
    EXPECT_EQ(seen, std::vector<std::string>{"exact"});
    DeliverResource("OnJsonApiEvent_a_b_c", "/a/b/c", "Update", {});
    EXPECT_EQ(seen, (std::vector<std::string>{"exact", "replacement", "new pattern"}));
    // Unwatching a replaced watch gives back its whole subscription.
    EXPECT_TRUE(plugin_->UnwatchResource("/a/b/c"));
    EXPECT_TRUE(plugin_->UnwatchResource("/a/b/*"));
    EXPECT_EQ(plugin_->subscriptionCounts_["OnJsonApiEvent_a_b_c"], 0);

    plugin_->WatchResource<BindingProperty>("/a/b/c", [&](const ResourceEvent<BindingProperty>&) {
        seen.push_back("shutting down");
        plugin_->Shutdown();
    });
    plugin_->WatchResource<BindingProperty>(
        "/a/*/c", [&](const ResourceEvent<BindingProperty>&) { seen.push_back("after shutdown"); });
    DeliverResource("OnJsonApiEvent_a_b_c", "/a/b/c", "Update", {});
    EXPECT_EQ(seen.back(), "shutting down");
    EXPECT_TRUE(plugin_->eventHandlers_.empty());
}

TEST_F(PluginEvents, AnUnloadInsideAHandlerDestroysThePluginOnlyWhenTheHandlerReturns) {
    bool stillAlive = false;
    plugin_->WatchResource<BindingProperty>("/a/b/c", [&](const ResourceEvent<BindingProperty>&) {
        callbacks_.unload(plugin_);
        // Still a live object here: ASan would report a use after free.
        stillAlive = plugin_->Names().shortName == "vek-norv-messaging-service";
        plugin_->Subscribe("/x/y/z");
    });
    DeliverResource("OnJsonApiEvent_a_b_c", "/a/b/c", "Update", {});
    plugin_ = nullptr;
    EXPECT_TRUE(stillAlive);
    // Nothing reached the host after the unload's own unsubscriptions.
    ASSERT_FALSE(host_.Calls().empty());
    EXPECT_EQ(host_.Calls().back().slot, 4);
}

TEST_F(PluginEvents, AnEmptyHandlerIsCaughtAndLogged) {
    plugin_->AddEventHandler("OnServiceProxyTestEvent",
                             std::function<void(const Client::PluginServiceProxyResponse&)>());
    BindingProperty payload;
    payload.member("uuid") = "u";
    Deliver("OnServiceProxyTestEvent", payload);
    ASSERT_EQ(host_.LogLines().size(), 1u);
    EXPECT_EQ(host_.LogLines()[0].rfind("2 Exception in event callback: ", 0), 0u) << host_.LogLines()[0];
}

TEST_F(PluginEvents, WatchingAPathFetchesItAndDeliversASyntheticCreateThenUpdatesAndDeletes) {
    std::vector<std::string> seen;
    host_.SetAnswer(Testing::Answer(kMethodGet, "/vek-login/v1/session", 200, {}, SessionData("SUCCEEDED", "t0")));
    plugin_->WatchResource<Session>("/vek-login/v1/session", [&](const ResourceEvent<Session>& event) {
        seen.push_back(event.uri + " " + std::to_string(static_cast<int>(event.eventType)) + " " + event.data.idToken);
    });
    EXPECT_EQ(host_.Requests(), std::vector<std::string>{"GET /vek-login/v1/session"});
    EXPECT_EQ(seen, std::vector<std::string>{"/vek-login/v1/session 0 t0"});
    // A pattern is not fetched.
    plugin_->WatchResource<Session>("/vek-login/*", [&](const ResourceEvent<Session>&) {});
    EXPECT_EQ(host_.Requests().size(), 1u);

    // Data without the required "state" is dropped; a delete comes with empty data.
    DeliverResource(kSessionEvent, "/vek-login/v1/session", "Update", SessionData("SUCCEEDED", "t1"));
    DeliverResource(kSessionEvent, "/vek-login/v1/session", "Update", BindingProperty());
    DeliverResource(kSessionEvent, "/vek-login/v1/session", "Delete", BindingProperty());
    EXPECT_EQ(seen, (std::vector<std::string>{"/vek-login/v1/session 0 t0", "/vek-login/v1/session 1 t1",
                                              "/vek-login/v1/session 2 "}));
}

// What the host types hold is pinned by the shipping module's API listing.
TEST(HostTypes, RegisteringTwiceChangesNothing) {
    BindingRegistry registry;
    Client::RegisterHostTypes(registry);
    Client::RegisterHostTypes(registry);
    EXPECT_EQ(registry.findType("PluginResourceEvent")->fields.size(), 3u);
    EXPECT_EQ(registry.findType("PluginResourceEventType")->values.size(), 3u);
    EXPECT_EQ(registry.findEvent("OnJsonApiEvent")->tags, std::vector<std::string>{"nclient"});
}

}  // namespace
}  // namespace Norv
