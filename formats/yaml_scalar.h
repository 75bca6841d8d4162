// Typing of one YAML scalar into a value: by its tag, else by its quoting and
// text (null words, numbers, boolean words, text).
#pragma once

#include <string>
#include <string_view>

#include "binding/binding_property.h"

namespace Norv {

// `tag` is null when the scalar has none. Returns false with `error` set to the
// message when the tag is unsupported or the text does not fit the tag.
bool TypeYamlScalar(BindingProperty& target, const char* tag, std::string_view text, bool quoted, std::string& error);

}  // namespace Norv
