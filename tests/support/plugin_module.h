// The shipping module loaded the way a host loads it: by file, through its one
// exported entry, with the records of norv_plugin.h.
#pragma once

#include "diagnostics/allocation_statistics.h"

#include <norv_plugin.h>

#include <cstdint>
#include <string>

namespace Norv::Testing {

// The shipping module's file ("hxp-be-vek-norv-messaging-service" and the
// system's library suffix) in the directory of the running executable, where
// the build puts a copy.
std::string PluginModulePathBesideExecutable();
// The demo module ("hxp-be-norv-demo"), where the build puts a copy likewise.
std::string DemoModulePathBesideExecutable();

// What the entry wrote back, with the callbacks copied so that they can still be
// called after unload has destroyed the plugin's own table.
struct LoadedPlugin {
    void* object = nullptr;
    PluginLoadRecord record{};
    PluginCallbacks callbacks{};
    bool hasCallbacks = false;
};

class PluginModule {
public:
    PluginModule() = default;
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    // False, with a one-line reason in Error(), when the file cannot be loaded
    // or lacks the entry.
    bool Open(const std::string& path);
    // Plays a plugin linked into this process through its entry, as if it
    // were a module (tests of the host side).
    void UseEntry(PluginLoadFunction entry);
    void Close();
    const std::string& Error() const { return error_; }

    // Calls the entry with a load record carrying the host's version.
    LoadedPlugin Load(std::uint32_t major, std::uint32_t minor, std::uint32_t patch) const;

private:
    void* library_ = nullptr;
    PluginLoadFunction entry_ = nullptr;
    std::string error_;
};

// The seven counters as the memory-statistics callback reports them.
AllocationStatistics ReadMemoryStatistics(const LoadedPlugin& plugin);

}  // namespace Norv::Testing
