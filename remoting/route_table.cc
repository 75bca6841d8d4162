#include "remoting/route_table.h"

#include <limits>
#include <string_view>

#include "remoting/percent_decode.h"
#include "remoting/query_string.h"

namespace Norv {

bool AcceptsMethod(const Route& route, std::int32_t method, std::string_view methodName) {
    if (route.method == kMethodNone) return true;
    return route.method == method && (method != kMethodNamed || route.methodName == methodName);
}

bool RouteTable::match(RoutingRequest& request) const {
    const Route* winner = nullptr;
    std::size_t winnerLength = std::numeric_limits<std::size_t>::max();
    std::vector<std::string_view> captures;
    std::vector<std::string_view> winnerCaptures;
    const std::string_view routePath = request.path;
    const std::string_view withoutQuery = PathWithoutQuery(routePath);
    for (const Route* route : routes_) {
        if (!AcceptsMethod(*route, request.method, request.methodName)) continue;
        const UrlTemplate& urlTemplate = route->urlTemplate;
        // A query part would otherwise end up inside the last capture and keep
        // literal routes from matching at all.
        const std::string_view path = urlTemplate.spansQuery() ? routePath : withoutQuery;
        if (urlTemplate.literal()) {
            if (path != urlTemplate.text()) continue;
            winner = route;
            winnerCaptures.clear();
            break;
        }
        captures.resize(urlTemplate.parameters().size());
        if (!urlTemplate.match(path, captures)) continue;
        std::size_t length = 0;
        for (std::string_view capture : captures) length += capture.size();
        if (winner != nullptr && length >= winnerLength) continue;
        winner = route;
        winnerLength = length;
        winnerCaptures.swap(captures);
    }
    if (winner == nullptr) return false;

    request.route = winner;
    request.routeTemplate = winner->urlTemplate.text();
    request.pathParameters.clear();
    const std::vector<UrlParameter>& parameters = winner->urlTemplate.parameters();
    for (std::size_t i = 0; i < winnerCaptures.size(); ++i)
        request.pathParameters.insert_or_assign(parameters[i].name, PercentDecode(winnerCaptures[i]));
    return true;
}

}  // namespace Norv
