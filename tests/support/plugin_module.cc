#include "tests/support/plugin_module.h"

#include "platform/platform.h"

namespace Norv::Testing {

namespace {

// A module's file, by its name without the system's library suffix, in the
// directory of the running executable.
std::string BesideExecutable(const char* module) {
    char path[4096];
    std::size_t length = Platform::ProcessModuleFileName(path, sizeof path);
    std::string directory(path, length);
    std::size_t separator = directory.find_last_of("/\\");
    directory = separator == std::string::npos ? std::string() : directory.substr(0, separator + 1);
    return directory + module + (Platform::IsWindows() ? ".dll" : ".so");
}

}  // namespace

std::string PluginModulePathBesideExecutable() {
    return BesideExecutable("hxp-be-vek-norv-messaging-service");
}

std::string DemoModulePathBesideExecutable() {
    return BesideExecutable("hxp-be-norv-demo");
}

PluginModule::~PluginModule() {
    Close();
}

bool PluginModule::Open(const std::string& path) {
    Close();
    library_ = Platform::OpenLibrary(path.c_str());
    if (library_ == nullptr) {
        error_ = "cannot load the plugin module " + path;
        return false;
    }
    entry_ = reinterpret_cast<PluginLoadFunction>(Platform::FindLibrarySymbol(library_, NORV_PLUGIN_ENTRY_NAME));
    if (entry_ == nullptr) {
        error_ = path + " has no entry " NORV_PLUGIN_ENTRY_NAME;
        Close();
        return false;
    }
    error_.clear();
    return true;
}

void PluginModule::UseEntry(PluginLoadFunction entry) {
    Close();
    entry_ = entry;
    error_.clear();
}

void PluginModule::Close() {
    if (library_ != nullptr) Platform::CloseLibrary(library_);
    library_ = nullptr;
    entry_ = nullptr;
}

LoadedPlugin PluginModule::Load(std::uint32_t major, std::uint32_t minor, std::uint32_t patch) const {
    LoadedPlugin plugin;
    if (entry_ == nullptr) return plugin;
    plugin.record.major = major;
    plugin.record.minor = minor;
    plugin.record.patch = patch;
    plugin.object = entry_(&plugin.record);
    if (plugin.record.callbacks != nullptr) {
        plugin.callbacks = *plugin.record.callbacks;
        plugin.hasCallbacks = true;
    }
    return plugin;
}

AllocationStatistics ReadMemoryStatistics(const LoadedPlugin& plugin) {
    AllocationStatistics statistics;
    if (plugin.callbacks.memoryStatistics == nullptr) return statistics;
    std::uint32_t words[NORV_MEMORY_STATISTICS_WORDS] = {};
    plugin.callbacks.memoryStatistics(plugin.record.context, words);
    for (std::size_t i = 0; i < statistics.counters.size(); ++i) {
        statistics.counters[i] = words[2 * i] | (static_cast<std::uint64_t>(words[2 * i + 1]) << 32);
    }
    return statistics;
}

}  // namespace Norv::Testing
