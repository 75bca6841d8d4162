// Fuzz bytes as the host's version words of a load record (the handshake runs
// to the end for every compatible version) and, after them, as a rendering
// format for the log renderer with a fixed record.
#include "diagnostics/log_api.h"
#include "diagnostics/log_groups.h"
#include "plugin/plugin_api_version.h"
#include "plugin/plugin_entry.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::uint32_t Word(const std::uint8_t* data, std::size_t size, std::size_t index) {
    std::uint32_t word = 0;
    for (std::size_t i = 0; i < 4 && 4 * index + i < size; ++i) word |= std::uint32_t{data[4 * index + i]} << (8 * i);
    return word;
}

void Handshake(const std::uint8_t* data, std::size_t size) {
    Norv::PluginApiVersion host{Word(data, size, 0), Word(data, size, 1), Word(data, size, 2), {}, {}};
    std::string text = Norv::FormatTextForm(host);
    if (text.size() > 32) __builtin_trap();
    // An incompatible host ends the process by design; only the rule is exercised for it.
    if (!Norv::IsCompatibleHostVersion(host, Norv::CurrentPluginApiVersion())) return;
    PluginLoadRecord record{};
    record.major = host.major;
    record.minor = host.minor;
    record.patch = host.patch;
    void* plugin = Norv::LoadPlugin(&record, &Norv::CreateModulePlugin, Norv::kModulePluginShortName);
    if (plugin == nullptr || record.major != 18 || record.minor != 0 || record.patch != 0) __builtin_trap();
    HostFunctionTable functions{};
    HostInterface host_interface{&functions, Word(data, size, 3)};
    record.callbacks->init(record.context, &host_interface);
    record.callbacks->unload(record.context);
}

void Render(const std::uint8_t* data, std::size_t size) {
    std::string format(reinterpret_cast<const char*>(data), size);
    static const Norv::LogRecord record{
        {2024, 2, 29, 12, 0, 1, 999}, Norv::kLogLevelError, Norv::kLogGroupDbg | Norv::kLogGroupNet, "fixed message"};
    const Norv::LogApi& api = Norv::GetLogApi();
    char line[Norv::kLogTextCapacity];
    std::size_t length = api.RenderRecord(&record, format.c_str(), line, sizeof line);
    if (length == 0 || length >= sizeof line || line[length] != '\0' || line[length - 1] != '\n') __builtin_trap();
    char small[7];
    length = api.RenderRecord(&record, format.c_str(), small, sizeof small);
    if (length >= sizeof small || small[length - 1] != '\n') __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Handshake(data, size < 16 ? size : 16);
    if (size > 16) Render(data + 16, size - 16);
    return 0;
}
