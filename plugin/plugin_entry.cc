#include "plugin/plugin_entry.h"

#include "plugin/host_call_guard.h"

#include <memory>

namespace Norv {

void* LoadPlugin(PluginLoadRecord* record, HostPluginFactory create, const char* shortName) noexcept {
    if (record == nullptr || create == nullptr || shortName == nullptr) return nullptr;
    return GuardHostCall("load_vek_norv_messaging_service", static_cast<void*>(nullptr), [&]() -> void* {
        std::unique_ptr<HostPlugin> plugin(create());
        if (plugin == nullptr) return nullptr;
        plugin->Handshake(*record, shortName);
        return plugin.release();
    });
}

}  // namespace Norv
