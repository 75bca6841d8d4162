// Header pairs from a host record, collected into a map by name.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "norv_plugin.h"

namespace Norv {

using HeaderMap = std::unordered_map<std::string, std::string>;

// A repeated name keeps its last value. A null array reads as no headers
// whatever the count says; a pair with a null name is skipped and a null value
// reads as the empty text.
HeaderMap CollectHeaders(const HostHeaderEntry* headers, std::uint32_t count);

}  // namespace Norv
