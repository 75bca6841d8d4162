#include "remoting/host_headers.h"

namespace Norv {

HeaderMap CollectHeaders(const HostHeaderEntry* headers, std::uint32_t count) {
    HeaderMap map;
    if (headers == nullptr) return map;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (headers[i].name == nullptr) continue;
        map.insert_or_assign(headers[i].name, headers[i].value ? headers[i].value : "");
    }
    return map;
}

}  // namespace Norv
