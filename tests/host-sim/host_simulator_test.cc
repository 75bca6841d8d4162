// The simulator as a whole: against a small guest plugin written here against
// the C header (so the host's side is tested whatever the plugin does), and
// against the shipping module (the golden transcript and the soak).
#include "tools/host-sim/host_simulator.h"

#include "binding/host_value.h"
#include "formats/json_reader.h"
#include "tests/host-sim/golden.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <regex>
#include <sstream>

namespace Norv::HostSim {
namespace {

// ---- A guest plugin: the login watcher's behaviour in a few lines ---------

struct Guest {
    HostInterface* host = nullptr;
    std::string token;
    bool keepSubscription = false;  // a faulty guest: never unsubscribes
    bool releaseTwice = false;      // a faulty guest: releases every response twice
};
PluginCallbacks guestCallbacks;
bool guestKeepsSubscription = false;
bool guestReleasesTwice = false;
constexpr const char* kSessionEvent = "OnJsonApiEvent_vek-login_v1_session";

// Sends a request; true when the answer carries no error. `body` gets the
// answer's value or its streamed text read to the end.
bool Send(Guest& guest, std::int32_t method, const char* path, std::string* body = nullptr,
          const char* argument = nullptr) {
    HostFunctionTable* table = guest.host->functions;
    HostArgumentEntry entry{};
    entry.value.tag = HOST_VALUE_STRING;
    entry.value.payload.string.text = argument;
    entry.value.payload.string.length = argument == nullptr ? 0 : static_cast<std::uint32_t>(std::strlen(argument));
    HostRequestRecord request{};
    request.method = method;
    request.path = path;
    request.arguments = argument == nullptr ? nullptr : &entry;
    request.argumentCount = argument == nullptr ? 0 : 1;
    HostResponseRecord response{};
    table->SendRequest(table, &response, &request);
    bool ok = response.error == nullptr;
    if (response.readStream != nullptr) {
        std::string text;
        std::uint8_t buffer[4096];
        std::uint8_t more = 1;
        while (more != 0) {
            std::uint32_t count = sizeof buffer;
            if (!response.readStream(response.stream, buffer, &count, &more)) break;
            text.append(reinterpret_cast<const char*>(buffer), count);
            if (count < sizeof buffer && more != 0) {
                table->BeginWait(table, "Wait: yield", 0);
                table->YieldToHost(table);
                table->EndWait(table);
            }
        }
        response.releaseStream(response.stream);
        if (body != nullptr) *body = text;
    } else if (body != nullptr) {
        BindingProperty value;
        HostResult failure{};
        readHostValue(failure, value, response.body, "<result>");
        *body = Testing::JsonText(value);
    }
    HostResponseReleaseFunction release = response.release;
    HostResponseRecord copy = response;
    release(&response);
    if (guest.releaseTwice) release(&copy);
    return ok;
}

void OnSession(Guest& guest, std::string_view type, const BindingProperty& data) {
    HostFunctionTable* table = guest.host->functions;
    if (type == "Delete") {
        table->WriteLog(table, 1, "guest: gone");
        guest.token.clear();
        Send(guest, 1, "/norv-messaging-service/v1/connect");
        return;
    }
    if (data.get("state").toString() != "SUCCEEDED") return;
    if (Send(guest, 2, "/ulm-auth/v1/authorization/access-token")) return;
    std::string token = data.get("idToken").toString();
    if (token != guest.token) table->WriteLog(table, 3, "guest: token changed");
    guest.token = token;
    Send(guest, 6, "/norv-messaging-service/v1/connect", nullptr, guest.token.c_str());
}

void NORV_CALL GuestEvent(const HostEventRecord* event) {
    BindingProperty payload;
    HostResult failure{};
    if (!readHostValue(failure, payload, event->payload, "<result>")) return;
    OnSession(*static_cast<Guest*>(event->context), payload.get("eventType").toString(), payload.get("data"));
}

bool NORV_CALL GuestInit(void* context, HostInterface* host) {
    Guest& guest = *static_cast<Guest*>(context);
    guest.host = host;
    host->functions->SubscribeEvent(host->functions, kSessionEvent, host->hostHandle, &GuestEvent, &guest, 0);
    std::string session;
    if (Send(guest, 2, "/vek-login/v1/session", &session)) {
        BindingProperty value = ParseJson(session).value;
        OnSession(guest, "Create", value);
    }
    return true;
}

void NORV_CALL GuestUnload(void* context) {
    Guest* guest = static_cast<Guest*>(context);
    if (guest->host != nullptr && !guest->keepSubscription) {
        guest->host->functions->UnsubscribeEvent(guest->host->functions, kSessionEvent, guest->host->hostHandle);
    }
    delete guest;
}

void NORV_CALL GuestStatistics(void*, std::uint32_t* words) {
    std::fill(words, words + NORV_MEMORY_STATISTICS_WORDS, 0u);
}

void* NORV_CALL GuestEntry(PluginLoadRecord* record) {
    auto* guest = new Guest;
    guest->keepSubscription = guestKeepsSubscription;
    guest->releaseTwice = guestReleasesTwice;
    guestCallbacks = {&GuestInit, &GuestUnload, &GuestStatistics};
    record->major = 18;
    record->minor = 0;
    record->patch = 0;
    record->callbacks = &guestCallbacks;
    record->context = guest;
    record->shortName = "guest";
    record->apiTable = nullptr;
    return guest;
}

// ---- Running the simulator --------------------------------------------------

struct Session {
    int exitCode = -1;
    std::string transcript;
};

Session Play(const Options& options, const Scenario& scenario) {
    Session session;
    session.transcript =
        Output(session.exitCode, [&](std::FILE* out) { return HostSimulator(options, out).Run(scenario); });
    return session;
}

Scenario Read(const char* text) {
    ScenarioReadResult read = ReadScenario(text, ScenarioSyntax::Guess);
    EXPECT_TRUE(read.ok) << read.error;
    return read.scenario;
}

class GuestTest : public ::testing::Test {
protected:
    GuestTest() { options.entry = &GuestEntry; }
    ~GuestTest() override {
        guestKeepsSubscription = false;
        guestReleasesTwice = false;
    }
    Options options;
};

// The lines that matter, in order, with whatever comes between them.
void ExpectLinesInOrder(const std::string& transcript, const std::vector<std::string>& lines) {
    std::size_t from = 0;
    for (const std::string& line : lines) {
        std::size_t at = transcript.find(line, from);
        ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << line << "\n" << transcript;
        from = at + line.size();
    }
}

TEST_F(GuestTest, HostCheckFailsTheRunForWhatTheGuestLeftBehind) {
    struct Case {
        bool keepSubscription;
        bool releaseTwice;
        const char* fault;
    };
    const Case cases[] = {
        {true, false, "  ! subscription never removed: OnJsonApiEvent_vek-login_v1_session (handle 42)"},
        {false, true, "  ! 6 release(s) of a response already released"},
    };
    for (const Case& c : cases) {
        guestKeepsSubscription = c.keepSubscription;
        guestReleasesTwice = c.releaseTwice;
        Session session = Play(options, DefaultScenario());
        EXPECT_EQ(session.exitCode, kExitUnbalanced);
        EXPECT_NE(session.transcript.find(c.fault), std::string::npos) << session.transcript;
        EXPECT_EQ(session.transcript.find("  balanced:"), std::string::npos);
    }
}

TEST_F(GuestTest, RequestsOtherThanExpectedFailTheRun) {
    Session session = Play(options, Read(R"({"steps": [
        {"title": "nothing happens", "event": {"path": "/vek-login/v1/session", "eventType": "Update",
                                               "data": {"state": "IN_PROGRESS"}},
         "expectRequests": ["GET /ulm-auth/v1/authorization/access-token"]}]})"));
    EXPECT_EQ(session.exitCode, kExitUnbalanced);
    ExpectLinesInOrder(session.transcript, {"  ! expected requests: GET /ulm-auth/v1/authorization/access-token\n",
                                            "  ! requests made    : none\n", "  balanced:"});
}

TEST_F(GuestTest, EventsWaitingForAYieldArriveInsideTheWait) {
    Session session = Play(options, Read(R"(
answers:
  - {method: GET, path: /vek-login/v1/session, status: 404, error: No session}
  - {method: GET, path: /ulm-auth/v1/authorization/access-token, status: 200, stream: 4, body: {token: none}}
steps:
  - title: the probe is streamed, and the session goes away meanwhile
    event: {path: /vek-login/v1/session, eventType: Update, data: {state: SUCCEEDED, idToken: t1}}
    yieldEvents:
      - {path: /vek-login/v1/session, eventType: Delete}
  - title: an event for a yield that never comes is delivered after the step
    event: {path: /vek-login/v1/session, eventType: Update, data: {state: IN_PROGRESS}}
    yieldEvents:
      - {name: OnNothing, eventType: Update}
)"));
    EXPECT_EQ(session.exitCode, kExitOk) << session.transcript;
    ExpectLinesInOrder(
        session.transcript,
        {
            "  plugin -> host  SendRequest GET /ulm-auth/v1/authorization/access-token\n",
            "  plugin -> host  BeginWait(\"Wait: yield\", flags 0)",
            "  plugin -> host  YieldToHost()",
            "  host            delivers an event while the plugin waits:",
            "  host -> plugin  event OnJsonApiEvent_vek-login_v1_session {data: empty, eventType: \"Delete\"",
            "  plugin -> host  SendRequest DELETE /norv-messaging-service/v1/connect",
            "  plugin -> host  EndWait()",
            "[step 2]",
            "  host            no yield came for the event on OnNothing; delivering it now",
            "  host            event OnNothing {data: empty, eventType: \"Update\", uri: \"\"}: not delivered",
        });
}

TEST_F(GuestTest, SoakPlaysManySessionsAndStaysBalanced) {
    SoakReport report = HostSimulator(options, nullptr).Soak(DefaultScenario(), 50);
    EXPECT_EQ(report.cycles, 50u);
    EXPECT_EQ(report.faultyCycles, 0u) << report.firstFault;

    guestKeepsSubscription = true;
    SoakReport faulty = HostSimulator(options, nullptr).Soak(DefaultScenario(), 3);
    EXPECT_EQ(faulty.faultyCycles, 3u);
    EXPECT_EQ(faulty.firstFault,
              "cycle 1: subscription never removed: OnJsonApiEvent_vek-login_v1_session (handle 42)");
}

// ---- Against the shipping module --------------------------------------------

// Pointers, the module's path and the allocation counters vary from run to run
// and platform to platform; everything else is what the plugin said.
std::string Masked(const std::string& transcript) {
    std::string masked =
        std::regex_replace(transcript, std::regex("host-sim: loading [^\n]*"), "host-sim: loading <module>");
    masked = std::regex_replace(masked, std::regex("(context +: )[^\n]*"), "$1<pointer>");
    masked = std::regex_replace(masked, std::regex("0x[0-9a-fA-F]+"), "0x?");
    std::string out;
    std::istringstream lines(masked);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("[memory ", 0) == 0) line = std::regex_replace(line, std::regex("[0-9]+"), "N");
        out += line + "\n";
    }
    return out;
}

TEST(HostSimulatorModule, DefaultScenarioMatchesTheGoldenTranscript) {
    Session session = Play(Options{}, DefaultScenario());
    EXPECT_EQ(session.exitCode, kExitOk);
    ExpectGolden("default_scenario.txt", Masked(session.transcript));
}

Scenario ScenarioFile(const char* name) {
    ScenarioReadResult read = ReadScenarioFile(SourcePath(std::string(NORV_HOST_SIM_SCENARIO_DIR) + "/" + name));
    EXPECT_TRUE(read.ok) << read.error;
    return read.scenario;
}

TEST(HostSimulatorModule, UnloadInAStreamedReadMatchesTheGoldenTranscript) {
    Session session = Play(Options{}, ScenarioFile("unload_in_stream.yaml"));
    EXPECT_EQ(session.exitCode, kExitOk);
    ExpectGolden("unload_in_stream.txt", Masked(session.transcript));
}

TEST(HostSimulatorModule, ServiceProxyScenarioOnTheDemoPluginMatchesTheGoldenTranscript) {
    Scenario scenario = ScenarioFile("service_proxy.yaml");
    Options options;
    options.modulePath = Testing::DemoModulePathBesideExecutable();
    Session session = Play(options, scenario);
    EXPECT_EQ(session.exitCode, kExitOk);
    ExpectGolden("service_proxy_demo.txt", Masked(session.transcript));
}

TEST(HostSimulatorModule, SoakLeavesThePluginBalanced) {
    SoakReport report = HostSimulator(Options{}, nullptr).Soak(DefaultScenario(), 25);
    EXPECT_EQ(report.cycles, 25u);
    EXPECT_EQ(report.faultyCycles, 0u) << report.firstFault;
    EXPECT_GT(report.counters.Allocations(), 0u);
    EXPECT_EQ(report.counters.Allocations(), report.counters.Releases());
    EXPECT_EQ(report.counters.BytesAllocated(), report.counters.BytesFreed());
}

TEST(HostSimulatorModule, SessionDeletedWhileThePluginReadsItIsNotConnected) {
    Session session = Play(Options{}, Read(R"(
answers:
  - {method: GET, path: /vek-login/v1/session, stream: 8, body: {state: SUCCEEDED, idToken: old}}
  - {method: GET, path: /ulm-auth/v1/authorization/access-token, status: 404, error: No access token}
  - {method: POST, path: /norv-messaging-service/v1/connect}
  - {method: DELETE, path: /norv-messaging-service/v1/connect}
initYieldEvents:
  - {path: /vek-login/v1/session, eventType: Delete}
)"));
    EXPECT_EQ(session.exitCode, kExitOk) << session.transcript;
    ExpectLinesInOrder(session.transcript,
                       {
                           "  plugin -> host  YieldToHost()",
                           "  host            delivers an event while the plugin waits:",
                           "  plugin -> host  SendRequest DELETE /norv-messaging-service/v1/connect",
                           "  plugin -> host  EndWait()",
                           "  plugin -> host  ReleaseStream(answer 1)",
                           "  init returned true",
                       });
    EXPECT_EQ(session.transcript.find("SendRequest POST"), std::string::npos)
        << "the session read before the Delete is stale\n"
        << session.transcript;
}

}  // namespace
}  // namespace Norv::HostSim
