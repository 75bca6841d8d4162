// YAML text into one BindingProperty tree: libyaml's events in, values out,
// with anchors and aliases and the typing of scalars. One document only.
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/binding_property.h"

namespace Norv {

struct YamlLibrary;

// Reads the whole text as UTF-8 (embedded NULs included). Empty text is
// success with the Empty value. Fails for every text when libyaml cannot be loaded.
BindingResult ParseYaml(std::string_view text);
// The same with the given libyaml entry points; null stands for a library that
// could not be loaded.
BindingResult ParseYaml(std::string_view text, const YamlLibrary* yaml);

// Work the builder spends on anchors and aliases: path nodes made and visited.
// Tests bound it by the size of the document.
struct YamlBuildWork {
    std::uint64_t pathSteps = 0;
};
BindingResult ParseYaml(std::string_view text, const YamlLibrary* yaml, YamlBuildWork& work);

// True when the text, after leading ' ' (only spaces), begins with "---".
bool LooksLikeYaml(const char* text);

}  // namespace Norv
