#include "messaging/messaging_service_plugin.h"

#include "plugin/plugin_entry.h"

namespace Norv {

const char kModulePluginShortName[] = "vek-norv-messaging-service";

HostPlugin* CreateModulePlugin() {
    return new MessagingServicePlugin;
}

MessagingServicePlugin::~MessagingServicePlugin() = default;

bool MessagingServicePlugin::Initialize() {
    // Seam (login watcher): watch the login session here.
    return true;
}

}  // namespace Norv
