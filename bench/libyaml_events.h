// The floor of the YAML benchmarks: every event of a text parsed and deleted
// through the entry points ParseYaml uses, nothing built.
#pragma once

#include <string_view>

#include "formats/yaml_library.h"

namespace Norv::Bench {

// Whether the stream ended without an error; the library must be loaded.
inline bool ReadLibyamlEvents(std::string_view text) {
    const YamlLibrary& yaml = *LoadYamlLibrary();
    yaml_parser_t parser;
    yaml.parserInitialize(&parser);
    yaml.parserSetEncoding(&parser, YAML_UTF8_ENCODING);
    yaml.parserSetInputString(&parser, reinterpret_cast<const unsigned char*>(text.data()), text.size());
    yaml_event_t event;
    bool done = false;
    while (!done) {
        if (yaml.parserParse(&parser, &event) == 0) break;
        done = event.type == YAML_STREAM_END_EVENT;
        yaml.eventDelete(&event);
    }
    yaml.parserDelete(&parser);
    return done;
}

}  // namespace Norv::Bench
