#include "tools/host-sim/host_simulator.h"

#include "diagnostics/log_record.h"

#include <cstdarg>

namespace Norv::HostSim {

HostSimulator::HostSimulator(const Options& options, std::FILE* out)
    : options_(options), out_(out), host_(options.hostHandle) {
    host_.SetObserver([this](const Testing::HostCall& call) { PrintHostCall(call); });
}

int HostSimulator::Run() {
    if (!OpenModule()) return 1;
    if (!Load()) return 1;
    bool started = Init();
    PrintMemoryStatistics("after init");
    Unload();
    PrintMemoryStatistics("after unload");
    CloseModule();
    return started ? 0 : 2;
}

void HostSimulator::Line(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::vfprintf(out_, format, arguments);
    va_end(arguments);
    std::fputc('\n', out_);
    // Flushed line by line so the transcript stays in order with what the
    // plugin writes to standard error, and survives a plugin that ends the process.
    std::fflush(out_);
}

void HostSimulator::PrintHostCall(const Testing::HostCall& call) {
    if (call.slot == 9) {
        Line("  plugin -> WriteLog %s| %s", LogLevelLabel(call.level), call.text.c_str());
    } else {
        Line("  plugin -> %s", Testing::DescribeHostCall(call).c_str());
    }
}

bool HostSimulator::OpenModule() {
    std::string path = options_.modulePath.empty() ? Testing::PluginModulePathBesideExecutable() : options_.modulePath;
    Line("host-sim: loading %s", path.c_str());
    if (!module_.Open(path)) {
        std::fprintf(stderr, "host-sim: %s\n", module_.Error().c_str());
        return false;
    }
    return true;
}

bool HostSimulator::Load() {
    const HostVersion& version = options_.hostVersion;
    Line("[load] %s with host plugin API %u.%u.%u", NORV_PLUGIN_ENTRY_NAME, version.major, version.minor,
         version.patch);
    plugin_ = module_.Load(version.major, version.minor, version.patch);
    const PluginLoadRecord& record = plugin_.record;
    if (plugin_.object == nullptr || !plugin_.hasCallbacks) {
        std::fprintf(stderr, "host-sim: the plugin refused to load (the entry returned %p)\n", plugin_.object);
        return false;
    }
    Line("  plugin API version : %u.%u.%u", record.major, record.minor, record.patch);
    Line("  short name         : %s", record.shortName == nullptr ? "(none)" : record.shortName);
    Line("  context            : %p", record.context);
    Line("  callbacks          : init %s, unload %s, memory statistics %s", plugin_.callbacks.init ? "yes" : "no",
         plugin_.callbacks.unload ? "yes" : "no", plugin_.callbacks.memoryStatistics ? "yes" : "no");
    if (record.apiTable != nullptr) {
        Line("  API table          : %u functions, %u types, %u events", record.apiTable->functionCount,
             record.apiTable->typeCount, record.apiTable->eventCount);
    }
    PrintMemoryStatistics("after load");
    return true;
}

bool HostSimulator::Init() {
    Line("[init] host handle %u", options_.hostHandle);
    if (plugin_.callbacks.init == nullptr) {
        Line("  the plugin has no init callback");
        return false;
    }
    bool started = plugin_.callbacks.init(plugin_.record.context, host_.Interface());
    Line("  init returned %s", started ? "true" : "false");
    return started;
}

void HostSimulator::PrintMemoryStatistics(const char* moment) {
    AllocationStatistics statistics = Testing::ReadMemoryStatistics(plugin_);
    Line(
        "[memory %s] allocated %llu bytes in %llu blocks, freed %llu bytes in %llu blocks, live %lld bytes in "
        "%lld blocks, peak %llu bytes (%llu blocks)",
        moment, static_cast<unsigned long long>(statistics.BytesAllocated()),
        static_cast<unsigned long long>(statistics.Allocations()),
        static_cast<unsigned long long>(statistics.BytesFreed()),
        static_cast<unsigned long long>(statistics.Releases()),
        static_cast<long long>(statistics.BytesAllocated() - statistics.BytesFreed()),
        static_cast<long long>(statistics.Allocations() - statistics.Releases()),
        static_cast<unsigned long long>(statistics.PeakBytes()),
        static_cast<unsigned long long>(statistics.BlocksAtPeak()));
}

void HostSimulator::Unload() {
    Line("[unload]");
    if (plugin_.callbacks.unload != nullptr) plugin_.callbacks.unload(plugin_.record.context);
}

void HostSimulator::CloseModule() {
    module_.Close();
    Line("[close] module unloaded");
}

}  // namespace Norv::HostSim
