#include "plugin/resource_path.h"

#include "plugin/host_types.h"

namespace Norv {

namespace {
constexpr std::string_view kConfigurationSegment = "vek-platform-config";
constexpr int kSegmentsKept = 3;
constexpr int kConfigurationSegmentsKept = 5;
}  // namespace

std::string ResourceEventName(std::string_view path) {
    std::string name = Client::kJsonApiEventName;
    int kept = 0;
    int limit = kSegmentsKept;
    std::size_t position = 0;
    while (position < path.size() && kept < limit) {
        std::size_t end = path.find('/', position);
        if (end == std::string_view::npos) end = path.size();
        if (end > position) {
            std::string_view segment = path.substr(position, end - position);
            if (kept == 0 && segment == kConfigurationSegment) limit = kConfigurationSegmentsKept;
            name += '_';
            name += segment;
            ++kept;
        }
        position = end + 1;
    }
    return name;
}

bool MatchesResourcePattern(std::string_view pattern, std::string_view path) {
    std::size_t p = 0;
    std::size_t s = 0;
    while (p < pattern.size()) {
        if (pattern[p] == '*') {
            if (s == path.size()) return false;
            std::size_t slash = path.find('/', s);
            s = slash == std::string_view::npos ? path.size() : slash;
        } else {
            if (s == path.size() || pattern[p] != path[s]) return false;
            ++s;
        }
        ++p;
    }
    return s == path.size();
}

}  // namespace Norv
