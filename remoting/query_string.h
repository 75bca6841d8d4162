// The query part of a request path: "a=1&b=x%20y" as a map from decoded name to
// decoded value.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace Norv {

using QueryMap = std::map<std::string, std::string, std::less<>>;

// What routes match: the path up to its first '?'.
std::string_view PathWithoutQuery(std::string_view path);

// The text after the first '?' of `path`; empty when there is none.
std::string_view QueryOf(std::string_view path);

// Pieces between '&' split at their first '='; a piece without one is a name
// with the empty value, an empty piece is skipped, and a repeated name keeps
// its last value.
QueryMap ParseQuery(std::string_view query);

}  // namespace Norv
