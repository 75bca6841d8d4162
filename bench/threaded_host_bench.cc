// The concurrency test's workload as a benchmark: a host loads the demo module,
// calls its functions from 1, 2, 4 and 8 threads at once while its loading
// thread answers the service-proxy requests, and unloads it. Items are calls;
// on two cores the rate should stop growing past two threads.
#include <benchmark/benchmark.h>

#include "tests/support/plugin_module.h"
#include "tools/host-sim/threaded_host.h"

namespace {

constexpr std::uint32_t kCallsPerThread = 2000;

void ThreadedHost(benchmark::State& state, std::uint32_t threads) {
    Norv::HostSim::ThreadedHostOptions options;
    options.modulePath = Norv::Testing::DemoModulePathBesideExecutable();
    options.threads = threads;
    options.callsPerThread = kCallsPerThread;
    for (auto _ : state) {
        const Norv::HostSim::ThreadedHostReport report = Norv::HostSim::RunThreadedHost(options);
        if (report.exitCode != Norv::HostSim::kExitOk || report.wrongAnswers != 0) {
            state.SkipWithError("the demo module did not answer as it should");
        }
    }
    state.SetItemsProcessed(state.iterations() * threads * kCallsPerThread);
}

BENCHMARK_CAPTURE(ThreadedHost, 1, 1)
    ->Name("BM_ThreadedHostOn1Thread/Norv")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThreadedHost, 2, 2)
    ->Name("BM_ThreadedHostOn2Threads/Norv")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThreadedHost, 4, 4)
    ->Name("BM_ThreadedHostOn4Threads/Norv")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ThreadedHost, 8, 8)
    ->Name("BM_ThreadedHostOn8Threads/Norv")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
