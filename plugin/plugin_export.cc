// The plugin's one exported entry.
#include "plugin/plugin_export.h"

#include "plugin/plugin_entry.h"

extern "C" NORV_EXPORT void* load_vek_norv_messaging_service(PluginLoadRecord* record) {
    return Norv::LoadPlugin(record, &Norv::CreateModulePlugin, Norv::kModulePluginShortName);
}
