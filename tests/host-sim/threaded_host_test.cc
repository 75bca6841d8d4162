// The demo module under a host that calls it from eight threads at once while
// its loading thread delivers events: every answer right, every response
// released, every service-proxy request answered, and the books balanced.
#include "tools/host-sim/threaded_host.h"

#include "tests/support/plugin_module.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace Norv::HostSim {
namespace {

// Emulated and sanitized runs are many times slower; their presets ask for
// fewer calls, and every run makes some.
std::uint32_t CallsPerThread() {
    const char* text = std::getenv("NORV_THREADED_CALLS");
    const long calls = text == nullptr ? 0 : std::strtol(text, nullptr, 10);
    return calls > 0 ? static_cast<std::uint32_t>(calls) : 6000;
}

TEST(ThreadedHost, EightThreadsGetTheirAnswersAndLeaveTheBooksBalanced) {
    ThreadedHostOptions options;
    options.modulePath = Testing::DemoModulePathBesideExecutable();
    options.threads = 8;
    options.callsPerThread = CallsPerThread();
    const ThreadedHostReport report = RunThreadedHost(options);
    ASSERT_EQ(report.exitCode, kExitOk);
    EXPECT_EQ(report.calls, std::uint64_t{options.threads} * options.callsPerThread);
    EXPECT_EQ(report.wrongAnswers, 0u) << report.firstWrong;
    EXPECT_EQ(report.unreleased, 0u);
    EXPECT_GT(report.asked, 0u);
    EXPECT_EQ(report.answered, report.asked);
    EXPECT_GE(report.events, report.asked);
    EXPECT_TRUE(report.hostFaults.empty()) << report.hostFaults.front();
    const AllocationStatistics& counters = report.counters;
    EXPECT_GT(counters.Allocations(), 0u);
    EXPECT_EQ(counters.Allocations(), counters.Releases());
    EXPECT_EQ(counters.BytesAllocated(), counters.BytesFreed());
}

}  // namespace
}  // namespace Norv::HostSim
