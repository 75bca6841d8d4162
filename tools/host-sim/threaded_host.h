// A host that drives the demo module from many threads at once: worker threads
// call its functions (Add, Greet, Mirror with each body format, Help in both
// forms, and Ask, which logs and registers a service-proxy request), while the
// loading thread delivers events and answers each request. Shared by the
// concurrency test and its benchmark.
#pragma once

#include "diagnostics/allocation_statistics.h"
#include "tools/host-sim/host_simulator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Norv::HostSim {

struct ThreadedHostOptions {
    std::string modulePath;  // the demo module
    std::uint32_t threads = 8;
    std::uint32_t callsPerThread = 1000;
};

struct ThreadedHostReport {
    int exitCode = kExitOk;  // of the load and init
    std::uint64_t calls = 0;
    std::uint64_t wrongAnswers = 0;
    std::string firstWrong;        // "expected ..., got ..."
    std::uint64_t unreleased = 0;  // responses left without a release function
    std::uint64_t asked = 0;       // service-proxy requests the workers registered
    std::uint64_t answered = 0;    // of those, answered on the loading thread
    std::uint64_t events = 0;      // event records the loading thread delivered
    std::vector<std::string> hostFaults;
    AllocationStatistics counters;  // the plugin's, after unload
};

ThreadedHostReport RunThreadedHost(const ThreadedHostOptions& options);

}  // namespace Norv::HostSim
