#include "remoting/query_string.h"

#include "remoting/percent_decode.h"

namespace Norv {

std::string_view PathWithoutQuery(std::string_view path) {
    return path.substr(0, path.find('?'));
}

std::string_view QueryOf(std::string_view path) {
    const std::size_t mark = path.find('?');
    return mark == std::string_view::npos ? std::string_view() : path.substr(mark + 1);
}

QueryMap ParseQuery(std::string_view query) {
    QueryMap entries;
    for (;;) {
        const std::size_t end = query.find('&');
        const std::string_view piece = query.substr(0, end);
        // "?a=1&" and "?a=1&&b=2" name no argument in their empty pieces.
        if (!piece.empty()) {
            const std::size_t equals = piece.find('=');
            std::string value =
                equals == std::string_view::npos ? std::string() : PercentDecode(piece.substr(equals + 1));
            entries.insert_or_assign(PercentDecode(piece.substr(0, equals)), std::move(value));
        }
        if (end == std::string_view::npos) break;
        query.remove_prefix(end + 1);
    }
    return entries;
}

}  // namespace Norv
