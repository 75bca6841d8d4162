#include "formats/yaml_library.h"

#include "platform/platform.h"

namespace Norv {
namespace {

template <class Function>
bool Resolve(void* library, const char* name, Function& entry) {
    entry = reinterpret_cast<Function>(Platform::FindLibrarySymbol(library, name));
    return entry != nullptr;
}

// Returns the table filled, or null; the library handle is never closed
// because callers keep the entry points for the life of the process.
const YamlLibrary* Open(YamlLibrary& table) {
    void* library = Platform::OpenLibrary(YamlLibraryName());
    if (library == nullptr) return nullptr;
    const bool complete = Resolve(library, "yaml_parser_initialize", table.parserInitialize) &&
                          Resolve(library, "yaml_parser_set_encoding", table.parserSetEncoding) &&
                          Resolve(library, "yaml_parser_set_input_string", table.parserSetInputString) &&
                          Resolve(library, "yaml_parser_parse", table.parserParse) &&
                          Resolve(library, "yaml_event_delete", table.eventDelete) &&
                          Resolve(library, "yaml_parser_delete", table.parserDelete);
    if (complete) return &table;
    Platform::CloseLibrary(library);
    return nullptr;
}

}  // namespace

const char* YamlLibraryName() {
    return Platform::IsWindows() ? "yaml.dll" : "libyaml-0.so.2";
}

const YamlLibrary* LoadYamlLibrary() {
    static YamlLibrary table{};
    static const YamlLibrary* const loaded = Open(table);
    return loaded;
}

}  // namespace Norv
