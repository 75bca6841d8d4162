// JSON text into one BindingProperty tree: RapidJSON tokenizes, the system's
// own builder turns the events into values and numbers into value kinds.
#pragma once

#include <string>

#include "binding/binding_property.h"

namespace Norv {

// Reads NUL-terminated UTF-8 text; whatever follows the first NUL is not seen.
// Empty or whitespace-only text is success with the Empty value.
BindingResult ParseJson(const char* text);
BindingResult ParseJson(const std::string& text);

// True when the first character after leading ' ' (only spaces) is '{' or '['.
bool LooksLikeJson(const char* text);

}  // namespace Norv
