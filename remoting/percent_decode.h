// Decoding of captured path text and query parts: '+' stands for a blank and
// "%hh" for the byte with those two hexadecimal digits.
#pragma once

#include <string>
#include <string_view>

namespace Norv {

// Never longer than `text`. An escape whose two characters are not both
// hexadecimal digits is kept as it stands, and a '%' with fewer than two
// characters after it is dropped.
std::string PercentDecode(std::string_view text);

}  // namespace Norv
