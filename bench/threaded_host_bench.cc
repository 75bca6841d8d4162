// The concurrency test's workload as a benchmark: a host loads the demo module,
// calls its functions from 1, 2, 4 and 8 threads at once while its loading
// thread answers the service-proxy requests, and unloads it. Items are calls;
// on two cores the rate should stop growing past two threads.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

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

const bool kRegistered = [] {
    for (const std::uint32_t threads : {1u, 2u, 4u, 8u}) {
        const std::string name =
            "BM_ThreadedHostOn" + std::to_string(threads) + (threads == 1 ? "Thread" : "Threads") + "/Norv";
        benchmark::RegisterBenchmark(name.c_str(), ThreadedHost, threads)->UseRealTime()->Unit(benchmark::kMillisecond);
    }
    return true;
}();

}  // namespace

BENCHMARK_MAIN();
