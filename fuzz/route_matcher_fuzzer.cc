// A URL template and a path (split at the first NUL, which no template may
// hold) matched by UrlTemplate and by std::regex on the template's expression:
// whether they match and every capture must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "remoting/url_template.h"

namespace {

// std::regex backtracks through every split of the captures before it gives
// up, so it is only asked where that stays affordable.
bool RegexAffordable(std::size_t groups, std::size_t length) {
    double work = 1;
    for (std::size_t i = 0; i < groups; ++i) work *= static_cast<double>(length + 1);
    return work <= 4e6;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 512) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view text = input.substr(0, split);
    const std::string path(split == std::string_view::npos ? text : input.substr(split + 1));

    const Norv::UrlTemplate urlTemplate(text);
    std::vector<std::string_view> captures(urlTemplate.parameters().size());
    const bool matched = urlTemplate.match(path, captures);
    if (!urlTemplate.ok()) {
        if (matched || !urlTemplate.parameters().empty() || !urlTemplate.expression().empty()) std::abort();
        return 0;
    }
    if (!RegexAffordable(captures.size(), path.size())) return 0;

    std::smatch found;
    const std::regex expression(urlTemplate.expression());
    if (std::regex_match(path, found, expression) != matched) std::abort();
    if (!matched) return 0;
    if (found.size() != captures.size() + 1) std::abort();
    for (std::size_t i = 0; i < captures.size(); ++i) {
        if (static_cast<std::size_t>(found.position(i + 1)) !=
            static_cast<std::size_t>(captures[i].data() - path.data()))
            std::abort();
        if (static_cast<std::size_t>(found.length(i + 1)) != captures[i].size()) std::abort();
    }
    return 0;
}
