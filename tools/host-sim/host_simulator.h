// A host for plugins of this family: loads a plugin module, plays the host's
// side of the handshake and the callbacks through the real C records, and
// writes a transcript of everything that crosses the boundary.
#pragma once

#include "tests/support/fake_host.h"
#include "tests/support/plugin_module.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace Norv::HostSim {

struct HostVersion {
    std::uint32_t major = 18;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
};

struct Options {
    std::string modulePath;  // empty: the module beside the executable
    HostVersion hostVersion;
    std::uint32_t hostHandle = 42;
};

class HostSimulator {
public:
    HostSimulator(const Options& options, std::FILE* out);

    // The whole session: open, load, init, statistics, unload, statistics,
    // close. Returns the process exit code.
    int Run();

    // The steps, in the order Run takes them; each returns false when the
    // session cannot go on.
    bool OpenModule();
    bool Load();
    bool Init();
    void PrintMemoryStatistics(const char* moment);
    void Unload();
    void CloseModule();

private:
    void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void PrintHostCall(const Testing::HostCall& call);

    Options options_;
    std::FILE* out_;
    Testing::PluginModule module_;
    Testing::LoadedPlugin plugin_;
    Testing::FakeHost host_;
};

}  // namespace Norv::HostSim
