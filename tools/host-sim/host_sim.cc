// The project's main program: a host that loads the plugin and shows what
// crosses the boundary. See --help.
#include "tools/host-sim/api_view.h"
#include "tools/host-sim/host_simulator.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: host_sim [options] [plugin-module]\n"
    "\n"
    "Loads a plugin module the way the host's plugin manager does and plays a\n"
    "host through the real records and host function table: the entry, init,\n"
    "answers to the plugin's requests, events, unload. It prints a transcript of\n"
    "everything that crosses the boundary (requests with their arguments and\n"
    "answers, subscriptions, events, waits, log lines with their level), the\n"
    "plugin's allocation counters, and after unload the host's own check that\n"
    "every subscription was removed and every response released.\n"
    "\n"
    "  plugin-module            the plugin's shared library (default: the one\n"
    "                           built beside host_sim)\n"
    "  --scenario FILE          play FILE (JSON, or YAML: .yaml/.yml) instead of\n"
    "                           the default scenario; see --print-default-scenario\n"
    "  --print-default-scenario print the default scenario, an example of the format\n"
    "  --version                print the release version of this build\n"
    "  --soak N                 play N sessions of load, init, scenario, unload in\n"
    "                           this process and report the plugin's counters and\n"
    "                           the process's resident memory\n"
    "  --host-version X.Y.Z     the plugin API version the host announces\n"
    "                           (default 18.0.0; another major number makes the\n"
    "                           plugin stop the process, as it is designed to)\n"
    "  --host-handle N          the host handle handed to init (default 42)\n"
    "  --api                    list the plugin's API table (functions, types,\n"
    "                           events) and check each chain against its count\n"
    "  --call METHOD PATH [name=value ...] [--body FILE --content-type T]\n"
    "                           call the function that takes METHOD PATH through\n"
    "                           the handler and context of its record, with the\n"
    "                           named arguments as text, and print the response\n"
    "    --threads N --calls M  make the call M times on each of N threads at\n"
    "                           once and print the calls per second, the median\n"
    "                           and 99th-percentile latency of one call, and\n"
    "                           whether every answer equalled the first\n"
    "  --describe [full|epytext] call the plugin's Help function the same way\n"
    "                           and print its help, item by item\n"
    "                           (these three come last, after the module)\n"
    "  --help                   this text\n"
    "\n"
    "Exit status: 0 when all went well, 1 when the plugin could not be loaded,\n"
    "2 when its init failed, 3 when the host's check or a step's expected\n"
    "requests failed, 4 for a scenario file that cannot be read, 5 when no\n"
    "function takes the call.\n";

bool ParseNumber(std::string_view text, std::uint32_t& value) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ParseVersion(std::string_view text, Norv::HostSim::HostVersion& version) {
    std::size_t first = text.find('.');
    std::size_t second = first == std::string_view::npos ? first : text.find('.', first + 1);
    if (second == std::string_view::npos) return false;
    return ParseNumber(text.substr(0, first), version.major) &&
           ParseNumber(text.substr(first + 1, second - first - 1), version.minor) &&
           ParseNumber(text.substr(second + 1), version.patch);
}

int Fail(const char* message, const char* argument) {
    std::fprintf(stderr, "host-sim: %s%s\n(try --help)\n", message, argument);
    return 1;
}

int Soak(Norv::HostSim::HostSimulator& simulator, const Norv::HostSim::Scenario& scenario, std::uint32_t cycles) {
    Norv::HostSim::SoakReport report = simulator.Soak(scenario, cycles);
    const Norv::AllocationStatistics& counters = report.counters;
    std::printf("host-sim soak: %u cycles of load, init, scenario, unload\n", report.cycles);
    std::printf("  plugin allocations: %llu allocated, %llu released; %llu bytes allocated, %llu freed\n",
                static_cast<unsigned long long>(counters.Allocations()),
                static_cast<unsigned long long>(counters.Releases()),
                static_cast<unsigned long long>(counters.BytesAllocated()),
                static_cast<unsigned long long>(counters.BytesFreed()));
    std::printf(
        "  resident memory: %llu KiB after the first cycle, %llu KiB after the warm-up, %llu KiB after the last\n",
        static_cast<unsigned long long>(report.residentAfterFirst / 1024),
        static_cast<unsigned long long>(report.residentAfterWarmUp / 1024),
        static_cast<unsigned long long>(report.residentAfterLast / 1024));
    if (report.faultyCycles != 0) {
        std::printf("  %u faulty cycle(s); the first: %s\n", report.faultyCycles, report.firstFault.c_str());
        return Norv::HostSim::kExitUnbalanced;
    }
    std::printf("  every cycle balanced\n");
    return Norv::HostSim::kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    Norv::HostSim::Options options;
    const char* scenarioPath = nullptr;
    std::uint32_t soakCycles = 0;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--version") {
            std::fputs("host_sim " NORV_VERSION "\n", stdout);
            return 0;
        }
        if (argument == "--print-default-scenario") {
            std::fputs(Norv::HostSim::kDefaultScenarioText, stdout);
            return 0;
        }
        if (argument == "--scenario") {
            if (i + 1 >= argc) return Fail("missing value after ", argv[i]);
            scenarioPath = argv[++i];
            continue;
        }
        if (argument == "--soak") {
            if (i + 1 >= argc) return Fail("missing value after ", argv[i]);
            if (!ParseNumber(argv[i + 1], soakCycles) || soakCycles == 0)
                return Fail("not a valid value: ", argv[i + 1]);
            ++i;
            continue;
        }
        if (argument == "--host-version" || argument == "--host-handle") {
            if (i + 1 >= argc) return Fail("missing value after ", argv[i]);
            const char* value = argv[++i];
            bool parsed = argument == "--host-version" ? ParseVersion(value, options.hostVersion)
                                                       : ParseNumber(value, options.hostHandle);
            if (!parsed) return Fail("not a valid value: ", value);
            continue;
        }
        if (argument == "--api" || argument == "--call" || argument == "--describe")
            return Norv::HostSim::RunApiCommand(options, argc - i, argv + i, stdout);
        if (argument.size() > 1 && argument[0] == '-') return Fail("unknown option ", argv[i]);
        if (!options.modulePath.empty()) return Fail("more than one module given: ", argv[i]);
        options.modulePath = argument;
    }
    Norv::HostSim::Scenario scenario = Norv::HostSim::DefaultScenario();
    if (scenarioPath != nullptr) {
        Norv::HostSim::ScenarioReadResult read = Norv::HostSim::ReadScenarioFile(scenarioPath);
        if (!read.ok) {
            std::fprintf(stderr, "host-sim: %s\n", read.error.c_str());
            return Norv::HostSim::kExitBadScenario;
        }
        scenario = std::move(read.scenario);
    }
    Norv::HostSim::HostSimulator simulator(options, stdout);
    if (soakCycles != 0) return Soak(simulator, scenario, soakCycles);
    return simulator.Run(scenario);
}
