// YAML text into one BindingProperty tree: libyaml's events in, values out,
// with anchors and aliases and the typing of scalars. One document only.
#pragma once

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

// True when the text, after leading ' ' (only spaces), begins with "---".
bool LooksLikeYaml(const char* text);

}  // namespace Norv
