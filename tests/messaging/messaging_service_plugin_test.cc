#include "messaging/messaging_service_plugin.h"

#include "plugin/plugin_entry.h"
#include "tests/support/fake_host.h"
#include "tests/support/host_answers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace Norv {
namespace {

using Testing::FakeHost;
using Testing::HostAnswer;
using Testing::HostCall;

constexpr const char* kSessionEvent = "OnJsonApiEvent_vek-login_v1_session";
const std::string kProbe = "GET /ulm-auth/v1/authorization/access-token";
const std::string kDisconnect = "DELETE /norv-messaging-service/v1/connect";
std::string ConnectWith(const std::string& token) {
    return "POST /norv-messaging-service/v1/connect " + token;
}

const HostAnswer kNoAccessToken = HostAnswer::Error(404, "No access token");

BindingProperty Session(const char* state, const char* token) {
    BindingProperty data;
    if (state != nullptr) data.member("state") = state;
    if (token != nullptr) data.member("idToken") = token;
    return data;
}

// The shipping plugin loaded through its entry and driven by a fake host that
// answers by method and path (unanswered requests fail with 404 and a text).
class Driver {
public:
    Driver() : releasesBefore_(Testing::HostResponseReleases()) {}
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void Start(const HostAnswer& session = HostAnswer::Error(404, "No session")) {
        answers_["GET /vek-login/v1/session"] = session;
        host_.SetRequestHandler([this](HostResponseRecord* response, const HostRequestRecord* request) {
            std::string described = Testing::DescribeRequest(*request);
            requests_.push_back(described);
            ++answered_;
            auto found = answers_.find(described.substr(0, described.find(' ', described.find(' ') + 1)));
            Testing::FillHostResponse(*response,
                                      found == answers_.end() ? HostAnswer::Error(404, "Unknown") : found->second);
            return 0u;
        });
        PluginLoadRecord record{};
        record.major = 18;
        object_ = LoadPlugin(&record, &CreateModulePlugin, kModulePluginShortName);
        ASSERT_NE(object_, nullptr);
        callbacks_ = *record.callbacks;
        ASSERT_TRUE(callbacks_.init(object_, host_.Interface()));
        for (const HostCall& call : host_.CallsTo(3)) {
            if (call.text == kSessionEvent) subscription_ = call;
        }
        ASSERT_NE(subscription_.callback, nullptr);
    }
    ~Driver() {
        if (object_ != nullptr) callbacks_.unload(object_);
        // Every response the host gave was released exactly once.
        EXPECT_EQ(Testing::HostResponseReleases() - releasesBefore_, answered_);
    }
    MessagingServicePlugin& Plugin() {
        return *static_cast<MessagingServicePlugin*>(static_cast<HostPlugin*>(object_));
    }

    void Deliver(const char* type, const BindingProperty& data) {
        Testing::DeliverHostEvent(subscription_.callback, subscription_.context, kSessionEvent,
                                  Testing::ResourceEventPayload("/vek-login/v1/session", type, data));
    }
    void Forget() {
        requests_.clear();
        host_.ClearCalls();
    }
    std::vector<std::string> HostLog() const {
        std::vector<std::string> lines;
        for (const HostCall& call : host_.CallsTo(9)) lines.push_back(std::to_string(call.level) + " " + call.text);
        return lines;
    }

    FakeHost host_;
    void* object_ = nullptr;
    PluginCallbacks callbacks_{};
    HostCall subscription_;
    std::map<std::string, HostAnswer> answers_;
    std::vector<std::string> requests_;
    std::uint64_t releasesBefore_ = 0;
    std::uint64_t answered_ = 0;
};

class LoginWatcher : public ::testing::Test, public Driver {};

TEST(LoginWatcherTable, ReactsToEachSessionEventAsTheTableSays) {
    const std::string changed = std::string("3 ") + kLoginTokenChanged;
    const std::string missing = std::string("2 ") + kLoginTokenMissing;
    const std::string gone = std::string("1 ") + kLoginSessionGone;
    const struct Row {
        const char* name;
        const char* storedBefore;
        const char* type;
        const char* state;
        const char* token;  // null: no "idToken" member
        bool probeSucceeds;
        std::vector<std::string> requests;
        std::vector<std::string> log;
        const char* storedAfter;
    } rows[] = {
        {"same token connects again quietly",
         "t1",
         "Update",
         "SUCCEEDED",
         "t1",
         false,
         {kProbe, ConnectWith("t1")},
         {},
         "t1"},
        {"new token is announced and stored",
         "t1",
         "Update",
         "SUCCEEDED",
         "t2",
         false,
         {kProbe, ConnectWith("t2")},
         {changed},
         "t2"},
        {"first token", "", "Update", "SUCCEEDED", "t1", false, {kProbe, ConnectWith("t1")}, {changed}, "t1"},
        {"a create event acts like an update",
         "",
         "Create",
         "SUCCEEDED",
         "t1",
         false,
         {kProbe, ConnectWith("t1")},
         {changed},
         "t1"},
        {"an access token means nothing to do", "t1", "Update", "SUCCEEDED", "t2", true, {kProbe}, {}, "t1"},
        {"another state sends nothing", "t1", "Update", "IN_PROGRESS", "t2", false, {}, {}, "t1"},
        {"the state is compared case-sensitively", "", "Update", "succeeded", "t1", false, {}, {}, ""},
        {"no state sends nothing", "", "Update", nullptr, "t1", false, {}, {}, ""},
        {"no token while none is stored", "", "Update", "SUCCEEDED", nullptr, false, {kProbe}, {missing}, ""},
        {"an empty token forgets the stored one",
         "t1",
         "Update",
         "SUCCEEDED",
         "",
         false,
         {kProbe},
         {changed, missing},
         ""},
        {"a delete disconnects", "t1", "Delete", nullptr, nullptr, false, {kDisconnect}, {gone}, ""},
        {"a delete disconnects even when nothing was stored",
         "",
         "Delete",
         nullptr,
         nullptr,
         true,
         {kDisconnect},
         {gone},
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Driver driver;
        driver.Start();
        driver.answers_[kProbe] = kNoAccessToken;
        if (*row.storedBefore != '\0') driver.Deliver("Update", Session("SUCCEEDED", row.storedBefore));
        ASSERT_EQ(driver.Plugin().LoginToken(), row.storedBefore);
        driver.Forget();
        driver.answers_[kProbe] = row.probeSucceeds ? HostAnswer::Ok() : kNoAccessToken;
        driver.Deliver(row.type, Session(row.state, row.token));
        EXPECT_EQ(driver.requests_, row.requests);
        EXPECT_EQ(driver.HostLog(), row.log);
        EXPECT_EQ(driver.Plugin().LoginToken(), row.storedAfter);
    }
}

TEST_F(LoginWatcher, ASucceededSessionAtStartConnectsAtOnce) {
    answers_[kProbe] = kNoAccessToken;
    Start(HostAnswer::Ok(Session("SUCCEEDED", "t0")));
    EXPECT_EQ(requests_, (std::vector<std::string>{"GET /vek-login/v1/session", kProbe, ConnectWith("t0")}));
    EXPECT_EQ(Plugin().LoginToken(), "t0");
}

TEST_F(LoginWatcher, AProbeAnsweredWith404AndNoTextMeansThereIsAnAccessToken) {
    Start();
    answers_[kProbe] = HostAnswer::Status(404);
    Deliver("Update", Session("SUCCEEDED", "t1"));
    EXPECT_EQ(requests_.back(), kProbe);
    EXPECT_EQ(Plugin().LoginToken(), "");
}

TEST_F(LoginWatcher, ADeleteDuringTheProbesWaitIsNotUndoneByTheOlderUpdate) {
    Start();
    // The probe's answer streams in two parts, so the plugin yields to the
    // host between them; the host delivers the logout right then. The stream
    // does not parse, so the probe fails as when there is no access token.
    answers_[kProbe] = HostAnswer::Streamed({"{", ""});
    bool delivered = false;
    host_.SetObserver([&](const HostCall& call) {
        if (call.slot != 6 || delivered) return;
        delivered = true;
        answers_[kProbe] = kNoAccessToken;
        Deliver("Delete", {});
    });
    Deliver("Update", Session("SUCCEEDED", "old"));
    EXPECT_TRUE(delivered);
    EXPECT_EQ(Plugin().LoginToken(), "");
    EXPECT_EQ(std::count(requests_.begin(), requests_.end(), ConnectWith("old")), 0);
}

TEST_F(LoginWatcher, UnloadUnsubscribesTheSession) {
    Start();
    callbacks_.unload(object_);
    object_ = nullptr;
    std::vector<std::string> names;
    for (const HostCall& call : host_.CallsTo(4)) names.push_back(call.text);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{kSessionEvent, "OnServiceProxyAsyncEvent", "OnServiceProxyMethodEvent",
                                               "OnServiceProxyUuidEvent"}));
}

}  // namespace
}  // namespace Norv
