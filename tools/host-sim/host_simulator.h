// A host for plugins of this family: loads a plugin module, plays the host's
// side of the handshake, the callbacks, requests and events through the real
// C records, and writes a transcript of everything that crosses the boundary.
#pragma once

#include "tests/support/fake_host.h"
#include "tests/support/plugin_module.h"
#include "tools/host-sim/scenario.h"

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

namespace Norv::HostSim {

struct HostVersion {
    std::uint32_t major = 18;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
};

struct Options {
    std::string modulePath;  // empty: the module beside the executable
    // Set: a plugin linked into this process, played instead of a module.
    PluginLoadFunction entry = nullptr;
    HostVersion hostVersion;
    std::uint32_t hostHandle = 42;
};

// Exit codes of a session.
enum ExitCode : int {
    kExitOk = 0,
    kExitNotLoaded = 1,
    kExitInitFailed = 2,
    kExitUnbalanced = 3,  // the host's check or a step's expected requests failed
    kExitBadScenario = 4,
};

// What a soak of many sessions found.
struct SoakReport {
    std::uint32_t cycles = 0;
    std::uint32_t faultyCycles = 0;  // cycles whose host check or expectations failed
    std::string firstFault;
    AllocationStatistics counters;  // the plugin's, after the last unload
    // The process's resident memory after the first cycle, after the warm-up
    // (cycle 100, or the last when there are fewer) and after the last.
    std::size_t residentAfterFirst = 0;
    std::size_t residentAfterWarmUp = 0;
    std::size_t residentAfterLast = 0;
};

class HostSimulator {
public:
    // `out` null: nothing is written (the soak).
    HostSimulator(const Options& options, std::FILE* out);

    // The whole session: open, load, init, the scenario's steps, unload, the
    // host's check, close. Returns an ExitCode.
    int Run(const Scenario& scenario);

    // Opens the module once and plays `cycles` sessions of load, init,
    // scenario and unload with a fresh host each, silently.
    SoakReport Soak(const Scenario& scenario, std::uint32_t cycles);

    // The steps, in the order Run takes them; each returns false when the
    // session cannot go on.
    bool OpenModule();
    bool Load();
    bool Init(const Scenario& scenario);
    // False when a step's expected requests were not the ones made.
    bool PlaySteps(const Scenario& scenario);
    void PrintMemoryStatistics(const char* moment);
    void Unload();
    // False when the host found something out of balance.
    bool CheckHost();
    void CloseModule();

private:
    void Line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void PrintHostCall(const Testing::HostCall& call);
    void NewHost();
    void Deliver(const ScenarioEvent& event, const char* when);
    bool PlayStep(const ScenarioStep& step, std::size_t number);
    // Runs `work` with the host delivering `events` in the plugin's yields,
    // one per yield, then unloading the plugin in the next one when `unload`
    // is set; what no yield took happens once `work` is done.
    void WithYieldWork(const std::vector<ScenarioEvent>& events, bool unload, const std::function<void()>& work);

    Options options_;
    std::FILE* out_;
    Testing::PluginModule module_;
    Testing::LoadedPlugin plugin_;
    std::unique_ptr<Testing::FakeHost> host_;
    bool unloaded_ = false;
};

}  // namespace Norv::HostSim
