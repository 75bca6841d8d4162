#include "messaging/messaging_service_plugin.h"

#include "plugin/plugin_entry.h"
#include "tests/support/fake_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace Norv {
namespace {

using Testing::AnswerEntry;
using Testing::FakeHost;

constexpr const char* kSessionEvent = "OnJsonApiEvent_vek-login_v1_session";
constexpr const char* kOk = "SUCCEEDED";  // the login state that lets the watcher act
const std::string kProbe = "GET /ulm-auth/v1/authorization/access-token";
const std::string kDisconnect = "DELETE /norv-messaging-service/v1/connect";
std::string ConnectWith(const std::string& token) {
    return "POST /norv-messaging-service/v1/connect (\"" + token + "\")";
}

AnswerEntry Probe(std::int32_t status, std::optional<std::string> error = std::nullopt) {
    return Testing::Answer(kMethodGet, kAccessTokenPath, status, std::move(error));
}
const AnswerEntry kNoAccessToken = Probe(404, "No access token");

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
    Driver() { host_.AnswerRequests(); }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void Start() {
        PluginLoadRecord record{};
        record.major = 18;
        object_ = LoadPlugin(&record, &CreateModulePlugin, kModulePluginShortName);
        ASSERT_NE(object_, nullptr);
        callbacks_ = *record.callbacks;
        ASSERT_TRUE(callbacks_.init(object_, host_.Interface()));
    }
    ~Driver() {
        if (object_ != nullptr) callbacks_.unload(object_);
        // Every response the host gave was released exactly once.
        EXPECT_EQ(host_.Ledger().releases, host_.Ledger().answers);
        EXPECT_EQ(host_.Ledger().repeatedReleases, 0u);
    }
    MessagingServicePlugin& Plugin() {
        return *static_cast<MessagingServicePlugin*>(static_cast<HostPlugin*>(object_));
    }

    void Deliver(const char* type, const BindingProperty& data) {
        EXPECT_EQ(host_.DeliverEvent(kSessionEvent, Testing::ResourceEventPayload(kLoginSessionPath, type, data)), 1u);
    }

    FakeHost host_;
    void* object_ = nullptr;
    PluginCallbacks callbacks_{};
};

class LoginWatcher : public ::testing::Test, public Driver {};

TEST(LoginWatcherTable, ReactsToEachSessionEventAsTheTableSays) {
    const std::string changed = "3 vek-norv-messaging-service: Login token has changed.";
    const std::string missing = "2 vek-norv-messaging-service: Login session is missing token.";
    const std::string gone = "1 vek-norv-messaging-service: Login session has gone away.";
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
        // A new token is the default scenario's transcript.
        {"same token connects again quietly", "t1", "Update", kOk, "t1", false, {kProbe, ConnectWith("t1")}, {}, "t1"},
        {"a create acts like an update", "", "Create", kOk, "t1", false, {kProbe, ConnectWith("t1")}, {changed}, "t1"},
        {"an access token means nothing to do", "t1", "Update", kOk, "t2", true, {kProbe}, {}, "t1"},
        {"the state is compared case-sensitively", "", "Update", "succeeded", "t1", false, {}, {}, ""},
        {"no token while none is stored", "", "Update", kOk, nullptr, false, {kProbe}, {missing}, ""},
        {"an empty token forgets the stored one", "t1", "Update", kOk, "", false, {kProbe}, {changed, missing}, ""},
        {"a delete disconnects with nothing stored", "", "Delete", nullptr, nullptr, true, {kDisconnect}, {gone}, ""},
        {"a delete forgets the stored token", "t1", "Delete", nullptr, nullptr, true, {kDisconnect}, {gone}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Driver driver;
        driver.host_.SetAnswer(kNoAccessToken);
        driver.Start();
        if (*row.storedBefore != '\0') driver.Deliver("Update", Session(kOk, row.storedBefore));
        ASSERT_EQ(driver.Plugin().LoginToken(), row.storedBefore);
        driver.host_.ClearCalls();
        driver.host_.SetAnswer(row.probeSucceeds ? Probe(200) : kNoAccessToken);
        driver.Deliver(row.type, Session(row.state, row.token));
        EXPECT_EQ(driver.host_.Requests(), row.requests);
        EXPECT_EQ(driver.host_.LogLines(), row.log);
        EXPECT_EQ(driver.Plugin().LoginToken(), row.storedAfter);
    }
}

TEST_F(LoginWatcher, ADeleteDuringTheProbesWaitIsNotUndoneByTheOlderUpdate) {
    Start();
    // The probe's answer streams in two parts, so the plugin yields to the
    // host between them; the host delivers the logout right then. The stream
    // does not parse, so the probe fails as when there is no access token.
    AnswerEntry streamed = Probe(200);
    streamed.streamChunk = 1;
    streamed.streamText = "{x";
    host_.SetAnswer(streamed);
    bool delivered = false;
    host_.SetYieldHook([&] {
        if (delivered) return;
        delivered = true;
        host_.SetAnswer(kNoAccessToken);
        Deliver("Delete", {});
    });
    Deliver("Update", Session(kOk, "old"));
    EXPECT_TRUE(delivered);
    EXPECT_EQ(Plugin().LoginToken(), "");
    const std::vector<std::string> requests = host_.Requests();
    EXPECT_EQ(std::count(requests.begin(), requests.end(), ConnectWith("old")), 0);
    EXPECT_EQ(std::count(requests.begin(), requests.end(), kDisconnect), 1);
}

}  // namespace
}  // namespace Norv
