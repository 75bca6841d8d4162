#include "plugin/plugin_entry.h"

#include "diagnostics/event_tracing.h"
#include "diagnostics/log_manager.h"
#include "plugin/host_call_guard.h"

#include <memory>

namespace Norv {

void* LoadPlugin(PluginLoadRecord* record, HostPluginFactory create, const char* shortName) noexcept {
    if (record == nullptr || create == nullptr || shortName == nullptr) return nullptr;
    // The first place outside the system's loader lock.
    FinishTracingStart();
    // The entry holds a log-manager reference of its own until the failure, if
    // any, is reported: a manager created only for that report is destroyed
    // with the release, and a failed load leaves nothing behind.
    LogManager::Acquire();
    void* object = GuardHostCall("load_vek_norv_messaging_service", static_cast<void*>(nullptr), [&]() -> void* {
        std::unique_ptr<HostPlugin> plugin(create());
        if (plugin == nullptr) return nullptr;
        plugin->Handshake(*record, shortName);
        return plugin.release();
    });
    LogManager::Release();
    return object;
}

}  // namespace Norv
