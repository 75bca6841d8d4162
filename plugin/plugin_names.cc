#include "plugin/plugin_names.h"

#include "diagnostics/format.h"
#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"

namespace Norv {

std::string GetFullNameFromShortNameAndType(std::string_view shortName, const PluginType& type) {
    std::string fullName;
    if (type.name == kBackendPluginType.name) {
        fullName = "hxp-be-";
    } else if (type.name == kFrontendPluginType.name) {
        fullName = "hxp-fe-";
    } else {
        fullName = "hxp-xx-";
        std::string message =
            Format("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type", shortName, type.name);
        Log(kLogLevelError, kLogGroupDbg, "            Plugin Manager| %s", message.c_str());
    }
    return fullName.append(shortName);
}

PluginNames MakePluginNames(std::string_view shortName, const PluginType& type) {
    return PluginNames{GetFullNameFromShortNameAndType(shortName, type), std::string(shortName), std::string(type.name),
                       std::string(type.detail)};
}

}  // namespace Norv
