// libyaml's event API, loaded once at run time from its own shared library so
// that the plugin neither links it nor fails to load when it is missing.
#pragma once

#include <yaml.h>

namespace Norv {

struct YamlLibrary {
    decltype(&yaml_parser_initialize) parserInitialize;
    decltype(&yaml_parser_set_encoding) parserSetEncoding;
    decltype(&yaml_parser_set_input_string) parserSetInputString;
    decltype(&yaml_parser_parse) parserParse;
    decltype(&yaml_event_delete) eventDelete;
    decltype(&yaml_parser_delete) parserDelete;
};

// The file name looked for: "yaml.dll" on Windows, "libyaml-0.so.2" elsewhere.
const char* YamlLibraryName();

// The resolved entry points, or null when the library or one of them is
// missing. Resolved on first use (thread-safe) and kept for the process.
const YamlLibrary* LoadYamlLibrary();

}  // namespace Norv
