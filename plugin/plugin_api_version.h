// The plugin API version the host and the plugin exchange in the handshake,
// its text form and the rule that decides whether a host can drive the plugin.
#pragma once

#include <cstdint>
#include <string>

namespace Norv {

struct PluginApiVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::string prerelease;
    std::string build;
};

// The version this plugin is built against: 18.0.0.
PluginApiVersion CurrentPluginApiVersion();

// "1.2.3", then "-" and the prerelease text and "+" and the build text when
// they are not empty. Lets Format take a PluginApiVersion argument.
std::string FormatTextForm(const PluginApiVersion& version);

// Same major number, and a newer minor number or the same minor number with
// at least the plugin's patch number. The texts take no part.
bool IsCompatibleHostVersion(const PluginApiVersion& host, const PluginApiVersion& plugin);

}  // namespace Norv
