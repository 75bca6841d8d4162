// The host simulator's load mode: one function call made many times on many
// threads at once, the way a host that calls a plugin from several threads
// does, with the rate, the latencies and whether every answer was the same.
#pragma once

#include "tools/host-sim/api_view.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace Norv::HostSim {

struct LoadOptions {
    std::uint32_t threads = 1;
    std::uint32_t calls = 1;  // on each thread
};

struct LoadReport {
    std::uint64_t calls = 0;
    double seconds = 0;  // from the start of the first call to the end of the last
    double callsPerSecond = 0;
    double medianMicroseconds = 0;  // of one handler call
    double p99Microseconds = 0;
    std::string firstAnswer;
    std::uint64_t differing = 0;  // answers unlike the first
    std::string firstDiffering;
};

// Calls `function` through `request` as the options say, all threads started
// together; every response is released.
LoadReport RunLoad(const PluginFunctionRecord& function, const HostRequestRecord& request, const LoadOptions& options);

// Loads and inits the plugin, runs the load, prints the report, unloads and
// checks the host. An ExitCode: kExitUnbalanced when an answer differed or
// the host found something out of balance, kExitNoFunction when no function
// takes the call.
int CallUnderLoad(const Options& options, const ApiCall& call, const LoadOptions& load, std::FILE* out);

}  // namespace Norv::HostSim
