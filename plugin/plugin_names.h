// What a plugin is called: its type (backend or frontend) and the four names
// built from its short name.
#pragma once

#include <string>
#include <string_view>

namespace Norv {

struct PluginType {
    std::string_view name;
    std::string_view detail;
};

inline constexpr PluginType kBackendPluginType{"backend", ""};
inline constexpr PluginType kFrontendPluginType{"frontend", ""};

struct PluginNames {
    std::string fullName;
    std::string shortName;
    std::string typeName;
    std::string typeDetail;
};

// "hxp-be-" or "hxp-fe-" and the short name; any other type gets "hxp-xx-"
// and an error in the log.
std::string GetFullNameFromShortNameAndType(std::string_view shortName, const PluginType& type);

PluginNames MakePluginNames(std::string_view shortName, const PluginType& type);

}  // namespace Norv
