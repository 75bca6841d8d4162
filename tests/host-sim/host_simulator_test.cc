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

TEST(HostSimulatorGuest, HostCheckFailsTheRunForWhatTheGuestLeftBehind) {
    Options options;
    options.entry = &GuestEntry;
    // Nothing asked of the guest but to load, init and unload.
    const Scenario quiet = ReadScenario(R"({"steps": [{}]})", ScenarioSyntax::Json).scenario;
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

Scenario ScenarioFile(const char* path) {
    ScenarioReadResult read = ReadScenarioFile(SourcePath(path));
    EXPECT_TRUE(read.ok) << read.error;
    return read.scenario;
}

TEST(HostSimulatorModule, UnloadInAStreamedReadMatchesTheGoldenTranscript) {
    Session session = Play(Options{}, ScenarioFile(NORV_HOST_SIM_SCENARIO_DIR "/unload_in_stream.yaml"));
    EXPECT_EQ(session.exitCode, kExitOk);
    ExpectGolden("unload_in_stream.txt", Masked(session.transcript));
}

// Its second step expects a request that never comes, which fails the run but
// not the host check.
TEST(HostSimulatorModule, EventsWaitingForAYieldMatchTheGoldenTranscript) {
    Session session = Play(Options{}, ScenarioFile(NORV_HOST_SIM_GOLDEN_DIR "/scenarios/yield_events.yaml"));
    EXPECT_EQ(session.exitCode, kExitUnbalanced);
    ExpectGolden("yield_events.txt", Masked(session.transcript));
}

TEST(HostSimulatorModule, ServiceProxyScenarioOnTheDemoPluginMatchesTheGoldenTranscript) {
    Scenario scenario = ScenarioFile(NORV_HOST_SIM_SCENARIO_DIR "/service_proxy.yaml");
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
