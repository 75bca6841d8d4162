// Routes of exposed functions and the choice among them for a request: which
// function a path and method reach, and the path parameters it carries.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "remoting/request_method.h"
#include "remoting/url_template.h"

namespace Norv {

struct BindingFunctionDescriptor;

// One exposed function's route.
struct Route {
    const BindingFunctionDescriptor* function = nullptr;
    UrlTemplate urlTemplate;
    std::int32_t method = kMethodNone;  // kMethodNone accepts every method
    std::string methodName;             // compared only for kMethodNamed
};

// A request as routing sees it; a match fills in the last three members.
struct RoutingRequest {
    std::int32_t method = kMethodNone;
    std::string methodName;  // kMethodNamed only
    std::string path;        // as received, query part included
    const Route* route = nullptr;
    std::map<std::string, std::string, std::less<>> pathParameters;  // decoded
    std::string routeTemplate;
};

bool AcceptsMethod(const Route& route, std::int32_t method, std::string_view methodName);

class RouteTable {
public:
    RouteTable() = default;
    explicit RouteTable(const Route& only) : routes_{&only} {}

    // The route must outlive the table.
    void add(const Route& route) { routes_.push_back(&route); }

    // Routes are tried in order. One without parameters wins at once; among
    // the others the one capturing the fewest characters wins, the earlier on
    // a tie. Paths are matched without their query part, unless the template
    // itself has a '?'. Returns whether any route matched.
    bool match(RoutingRequest& request) const;

private:
    std::vector<const Route*> routes_;
};

}  // namespace Norv
