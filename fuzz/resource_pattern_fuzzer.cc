// The watchers' '*' patterns against a reference written the other way round
// (segment by segment), on a pattern and a path split at the first NUL byte.
#include "plugin/resource_path.h"

#include <cstdint>
#include <string_view>

namespace {

// A '*' takes its segment's rest: what follows it in the pattern must then
// sit exactly at the next '/' or the end, and the segment must not be empty.
bool Reference(std::string_view pattern, std::string_view path) {
    std::size_t p = 0, s = 0;
    for (; p < pattern.size(); ++p) {
        if (pattern[p] != '*') {
            if (s >= path.size() || path[s] != pattern[p]) return false;
            ++s;
            continue;
        }
        if (s >= path.size()) return false;
        while (s < path.size() && path[s] != '/') ++s;
    }
    return s == path.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t split = input.find('\0');
    std::string_view pattern = input.substr(0, split);
    std::string_view path = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    if (Norv::MatchesResourcePattern(pattern, path) != Reference(pattern, path)) __builtin_trap();
    return 0;
}
