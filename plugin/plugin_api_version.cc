#include "plugin/plugin_api_version.h"

#include "diagnostics/format.h"

namespace Norv {

PluginApiVersion CurrentPluginApiVersion() {
    return PluginApiVersion{18, 0, 0, {}, {}};
}

std::string FormatTextForm(const PluginApiVersion& version) {
    char numbers[33];
    FormatInto(numbers, sizeof numbers, "%1.%2.%3", version.major, version.minor, version.patch);
    std::string text = numbers;
    if (!version.prerelease.empty()) text.append("-").append(version.prerelease);
    if (!version.build.empty()) text.append("+").append(version.build);
    return text;
}

bool IsCompatibleHostVersion(const PluginApiVersion& host, const PluginApiVersion& plugin) {
    if (host.major != plugin.major) return false;
    return host.minor > plugin.minor || (host.minor == plugin.minor && host.patch >= plugin.patch);
}

}  // namespace Norv
