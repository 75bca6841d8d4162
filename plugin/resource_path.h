// How resource paths meet host events: the event name a path is announced
// under, and the '*' patterns that watch many paths at once.
#pragma once

#include <string>
#include <string_view>

namespace Norv {

// "OnJsonApiEvent" and the path's first three non-empty segments joined by
// '_' (five segments under "vek-platform-config").
std::string ResourceEventName(std::string_view path);

// A '*' takes the characters up to the next '/' or the end, greedily and
// without giving any back; it needs at least one character left unless it
// faces a '/'. Everything else matches itself.
bool MatchesResourcePattern(std::string_view pattern, std::string_view path);

}  // namespace Norv
