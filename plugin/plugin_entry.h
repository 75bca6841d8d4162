// What the exported entry does: create the plugin object and run the handshake,
// letting no exception reach the host.
#pragma once

#include "plugin/host_plugin.h"

#include <norv_plugin.h>

namespace Norv {

using HostPluginFactory = HostPlugin* (*)();

// Returns the plugin object, or null (the record untouched) when there is no
// record or the plugin could not be created.
void* LoadPlugin(PluginLoadRecord* record, HostPluginFactory create, const char* shortName) noexcept;

// The concrete plugin of the shipping module, defined beside it (messaging/).
HostPlugin* CreateModulePlugin();
extern const char kModulePluginShortName[];

}  // namespace Norv
