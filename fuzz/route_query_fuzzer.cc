// Percent-decoding and query parsing of arbitrary text: nothing read past the
// input, nothing longer than it, and no byte that neither the text nor one of
// its escapes holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "remoting/percent_decode.h"
#include "remoting/query_string.h"

namespace {

std::size_t Nuls(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\0'));
}

std::size_t Count(std::string_view text, std::string_view piece) {
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string_view::npos; at = text.find(piece, at + 1)) ++count;
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::string decoded = Norv::PercentDecode(text);
    if (decoded.size() > text.size()) std::abort();
    if (Nuls(decoded) > Nuls(text) + Count(text, "%00")) std::abort();
    if (text.find_first_of("%+") == std::string_view::npos && decoded != text) std::abort();

    const std::string_view route = Norv::PathWithoutQuery(text);
    const std::string_view query = Norv::QueryOf(text);
    if (route.find('?') != std::string_view::npos) std::abort();
    if (route.size() < text.size() && route.size() + 1 + query.size() != text.size()) std::abort();

    std::size_t total = 0;
    for (const auto& [name, value] : Norv::ParseQuery(query)) {
        if (name.size() + value.size() > query.size()) std::abort();
        total += name.size() + value.size();
    }
    if (total > query.size()) std::abort();
    return 0;
}
