// Request methods as numbers: the seven named ones in alphabetical order, and
// 8 for a method the request names by text.
#pragma once

#include <cstdint>
#include <string_view>

namespace Norv {

enum RequestMethod : std::int32_t {
    kMethodNone = 0,
    kMethodDelete = 1,
    kMethodGet = 2,
    kMethodHead = 3,
    kMethodOptions = 4,
    kMethodPatch = 5,
    kMethodPost = 6,
    kMethodPut = 7,
    kMethodNamed = 8,
};

// "DELETE" to "PUT" for 1 to 7; the empty text for every other number, 8 included.
std::string_view MethodText(std::int32_t method);

// A method number from the host: 1 to 8 stay, anything else is 0.
std::int32_t HostMethod(std::int32_t hostMethod);

}  // namespace Norv
