// The project's main program: a host that loads the plugin and shows what
// crosses the boundary. See --help.
#include "tools/host-sim/host_simulator.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "Usage: host_sim [options] [plugin-module]\n"
    "\n"
    "Loads a plugin module the way the host's plugin manager does, calls its\n"
    "entry, init and unload through the real records and host function table,\n"
    "and prints a transcript: what the plugin answered, every host operation it\n"
    "called (log lines with their level), and its allocation counters after\n"
    "load, after init and after unload.\n"
    "\n"
    "  plugin-module            the plugin's shared library (default: the one\n"
    "                           built beside host_sim)\n"
    "  --host-version X.Y.Z     the plugin API version the host announces\n"
    "                           (default 18.0.0; another major number makes the\n"
    "                           plugin stop the process, as it is designed to)\n"
    "  --host-handle N          the host handle handed to init (default 42)\n"
    "  --help                   this text\n"
    "\n"
    "Exit status: 0 when the plugin started, 1 when it could not be loaded,\n"
    "2 when its init failed.\n";

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

}  // namespace

int main(int argc, char** argv) {
    Norv::HostSim::Options options;
    for (int i = 1; i < argc; ++i) {
        std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (argument == "--host-version" || argument == "--host-handle") {
            if (i + 1 >= argc) return Fail("missing value after ", argv[i]);
            const char* value = argv[++i];
            bool parsed = argument == "--host-version" ? ParseVersion(value, options.hostVersion)
                                                       : ParseNumber(value, options.hostHandle);
            if (!parsed) return Fail("not a valid value: ", value);
            continue;
        }
        if (argument.size() > 1 && argument[0] == '-') return Fail("unknown option ", argv[i]);
        if (!options.modulePath.empty()) return Fail("more than one module given: ", argv[i]);
        options.modulePath = argument;
    }
    return Norv::HostSim::HostSimulator(options, stdout).Run();
}
