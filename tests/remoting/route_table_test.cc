#include "remoting/route_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Norv {
namespace {

struct RouteSpec {
    const char* text;
    std::int32_t method = kMethodNone;
    const char* methodName = "";
};

// Routes are told apart by their position in the table.
class Table {
public:
    explicit Table(std::initializer_list<RouteSpec> specs) {
        routes_.reserve(specs.size());  // the table keeps pointers
        for (const RouteSpec& spec : specs) {
            routes_.push_back({nullptr, UrlTemplate(spec.text), spec.method, spec.methodName});
            table_.add(routes_.back());
        }
    }

    // The matched route's index and its parameters as "name=value;", or "none".
    // One request serves every match, as a caller's may: each match must leave
    // only its own route's parameters in it.
    std::string match(const char* path, std::int32_t method = kMethodGet, const char* methodName = "") const {
        RoutingRequest& request = request_;
        request.route = nullptr;
        request.method = method;
        request.methodName = methodName;
        request.path = path;
        if (!table_.match(request)) return request.route == nullptr ? "none" : "none, yet a route was set";
        std::string text = std::to_string(request.route - &routes_[0]);
        if (request.routeTemplate != request.route->urlTemplate.text()) text += " (template not recorded)";
        for (const auto& [name, value] : request.pathParameters) text += " " + name + "=" + value;
        return text;
    }

private:
    std::vector<Route> routes_;
    RouteTable table_;
    mutable RoutingRequest request_;
};

TEST(RouteTable, PrefersRoutesWithoutParametersThenTheFewestCapturedCharacters) {
    const Table table({{"/{+rest}"}, {"/items/{id}"}, {"/items/{name}"}, {"/items/all"}, {"/{a}/{b}/{c}"}});
    const struct {
        const char* path;
        const char* match;
    } cases[] = {
        {"/items/7", "1 id=7"},           {"/items/all", "3"},      {"/x/y", "0 rest=x/y"}, {"/x/y/z", "4 a=x b=y c=z"},
        {"/items/a%20b+c", "1 id=a b c"}, {"/items/%2F", "1 id=/"},
    };
    for (const auto& c : cases) EXPECT_EQ(table.match(c.path), c.match) << c.path;
    EXPECT_EQ(Table({{"/{+all}"}, {"/{a}"}}).match("/x"), "0 all=x");
    EXPECT_EQ(Table({{"/{a}"}, {"/{+all}"}}).match("/x"), "0 a=x");
    EXPECT_EQ(Table({}).match("/x"), "none");
}

TEST(RouteTable, MatchesTheTextBeforeTheQueryPart) {
    const Table table({{"/items/{id}"}, {"/list"}, {"/files/{+path}"}, {"/find?all"}});
    const struct {
        const char* path;
        const char* match;
    } cases[] = {
        {"/items/7?verbose=1", "0 id=7"}, {"/items/7?a=/x", "0 id=7"}, {"/list?page=2", "1"}, {"/list?", "1"},
        {"/files/a/b?c/d", "2 path=a/b"}, {"/find?all", "3"},          {"/find", "none"},
    };
    for (const auto& c : cases) EXPECT_EQ(table.match(c.path), c.match) << c.path;
}

TEST(RouteTable, SkipsRoutesOfOtherMethods) {
    const Table table({{"/x", kMethodPost}, {"/x", kMethodNamed, "PURGE"}, {"/x", kMethodNone}});
    const struct {
        std::int32_t method;
        const char* methodName;
        const char* match;
    } cases[] = {
        {kMethodPost, "", "0"},  {kMethodNamed, "PURGE", "1"}, {kMethodNamed, "purge", "2"},
        {kMethodNamed, "", "2"}, {kMethodGet, "PURGE", "2"},   {kMethodNone, "", "2"},
    };
    for (const auto& c : cases) EXPECT_EQ(table.match("/x", c.method, c.methodName), c.match) << c.methodName;
    EXPECT_EQ(Table({{"/{a}", kMethodDelete}}).match("/x", kMethodGet), "none");
}

TEST(RouteTable, LaterNameKeepsItsValueAndMalformedTemplatesMatchNothing) {
    EXPECT_EQ(Table({{"/{a}/{a}"}}).match("/x/y"), "0 a=y");
    EXPECT_EQ(Table({{"/a}/{b}"}, {"/a/{b"}}).match("/a}/x"), "none");
    EXPECT_EQ(Table({{"/a/{b"}}).match("/a/{b"), "none");
}

}  // namespace
}  // namespace Norv
