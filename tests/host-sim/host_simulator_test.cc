// The simulator as a whole, against the shipping module (the golden
// transcripts, scenarios and the soak) and against a faulty guest written here
// against the C header, which the host check must catch.
#include "tools/host-sim/host_simulator.h"

#include "tests/host-sim/golden.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>

namespace Norv::HostSim {
namespace {

// ---- A faulty guest: subscribes at init and never unsubscribes -------------

constexpr const char* kSessionEvent = "OnJsonApiEvent_vek-login_v1_session";

void NORV_CALL GuestEvent(const HostEventRecord*) {}

bool NORV_CALL GuestInit(void*, HostInterface* host) {
    host->functions->SubscribeEvent(host->functions, kSessionEvent, host->hostHandle, &GuestEvent, nullptr, 0);
    return true;
}

// Without unload and memory statistics, which the host may go without.
PluginCallbacks guestCallbacks{&GuestInit, nullptr, nullptr};

void* NORV_CALL GuestEntry(PluginLoadRecord* record) {
    record->callbacks = &guestCallbacks;
    return &guestCallbacks;
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

// The lines that matter, in order, with whatever comes between them.
void ExpectLinesInOrder(const std::string& transcript, const std::vector<std::string>& lines) {
    std::size_t from = 0;
    for (const std::string& line : lines) {
        std::size_t at = transcript.find(line, from);
        ASSERT_NE(at, std::string::npos) << "missing, or out of order: " << line << "\n" << transcript;
        from = at + line.size();
    }
}

TEST(HostSimulatorGuest, HostCheckFailsTheRunForWhatTheGuestLeftBehind) {
    Options options;
    options.entry = &GuestEntry;
    // Nothing asked of the guest but to load, init and unload.
    const Scenario quiet = Read(R"({"steps": [{}]})");
    Session session = Play(options, quiet);
    EXPECT_EQ(session.exitCode, kExitUnbalanced);
    EXPECT_NE(session.transcript.find("  ! subscription never removed: " + std::string(kSessionEvent) + " (handle 42)"),
              std::string::npos)
        << session.transcript;
    EXPECT_EQ(session.transcript.find("  balanced:"), std::string::npos);

    SoakReport faulty = HostSimulator(options, nullptr).Soak(quiet, 3);
    EXPECT_EQ(faulty.faultyCycles, 3u);
    EXPECT_EQ(faulty.firstFault, "cycle 1: subscription never removed: " + std::string(kSessionEvent) + " (handle 42)");
}

// The Delete at init makes the streamed session stale; in step 1 it arrives
// inside the probe's wait. Step 2 expects a request that never comes, which
// fails the run but not the host check.
TEST(HostSimulatorModule, EventsWaitingForAYieldArriveInsideTheWait) {
    Session session = Play(Options{}, Read(R"(
answers:
  - {method: GET, path: /vek-login/v1/session, stream: 8, body: {state: SUCCEEDED, idToken: old}}
  - {method: GET, path: /ulm-auth/v1/authorization/access-token, status: 200, stream: 4, body: {token: none}}
  - {method: POST, path: /norv-messaging-service/v1/connect}
  - {method: DELETE, path: /norv-messaging-service/v1/connect}
initYieldEvents:
  - {path: /vek-login/v1/session, eventType: Delete}
steps:
  - title: the probe is streamed, and the session goes away meanwhile
    event: {path: /vek-login/v1/session, eventType: Update, data: {state: SUCCEEDED, idToken: t1}}
    yieldEvents:
      - {path: /vek-login/v1/session, eventType: Delete}
  - title: an event for a yield that never comes is delivered after the step
    event: {path: /vek-login/v1/session, eventType: Update, data: {state: IN_PROGRESS}}
    yieldEvents:
      - {name: OnNothing, eventType: Update}
    expectRequests: [GET /ulm-auth/v1/authorization/access-token]
)"));
    EXPECT_EQ(session.exitCode, kExitUnbalanced) << session.transcript;
    ExpectLinesInOrder(
        session.transcript,
        {
            "  plugin -> host  YieldToHost()",
            "  host            delivers an event while the plugin waits:",
            "  plugin -> host  SendRequest DELETE /norv-messaging-service/v1/connect",
            "  plugin -> host  EndWait()",
            "  plugin -> host  ReleaseStream(answer 1)",
            "  init returned true",
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
            "  ! expected requests: GET /ulm-auth/v1/authorization/access-token\n",
            "  ! requests made    : none\n",
            "  balanced:",
        });
    EXPECT_EQ(session.transcript.find("SendRequest POST"), std::string::npos)
        << "the session read before the Delete is stale\n"
        << session.transcript;
}

// ---- Against the shipping module --------------------------------------------

// Pointers, the module's path and the allocation counters vary from run to run
// and platform to platform; everything else is what the plugin said.
std::string Masked(const std::string& transcript) {
    std::string masked =
        std::regex_replace(transcript, std::regex("host-sim: loading [^\n]*"), "host-sim: loading <module>");
    masked = std::regex_replace(masked, std::regex("(context +: )[^\n]*"), "$1<pointer>");
    masked = std::regex_replace(masked, std::regex("0x[0-9a-fA-F]+"), "0x?");
    return std::regex_replace(masked, std::regex("[0-9]+(?= bytes in [0-9]+ blocks| bytes \\(| blocks)"), "N");
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
    // Each cycle's counters must balance for it not to be faulty.
    EXPECT_GT(report.counters.Allocations(), 0u);
}

}  // namespace
}  // namespace Norv::HostSim
