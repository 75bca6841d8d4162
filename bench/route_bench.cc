// Route matching against std::regex on the same expressions: one template and
// path at a time, and a lookup through a table of 100 routes.
#include <benchmark/benchmark.h>

#include <regex>
#include <string>
#include <vector>

#include "remoting/route_table.h"
#include "remoting/url_template.h"

namespace {

struct Case {
    const char* text;
    const char* path;
};

constexpr Case kCases[] = {
    {"/items/{id}", "/items/12345"},
    {"/files/{+path}", "/files/photos/2024/summer/beach.jpg"},
    {"/api/v1/users/{user}/items/{+path}", "/api/v1/users/alice/items/a/b/c"},
    {"/docs/{+page}/{section}", "/docs/guide/install/linux/options"},
};

void Norv(benchmark::State& state, int which) {
    const Norv::UrlTemplate urlTemplate(kCases[which].text);
    const std::string path = kCases[which].path;
    std::vector<std::string_view> captures(urlTemplate.parameters().size());
    for (auto _ : state) {
        if (!urlTemplate.match(path, captures)) state.SkipWithError("no match");
        benchmark::DoNotOptimize(captures.data());
    }
}

void StdRegex(benchmark::State& state, int which) {
    const std::regex expression(Norv::UrlTemplate(kCases[which].text).expression());
    const std::string path = kCases[which].path;
    std::smatch found;
    for (auto _ : state) {
        if (!std::regex_match(path, found, expression)) state.SkipWithError("no match");
        benchmark::DoNotOptimize(found.size());
    }
}

#define NORV_ROUTE_BENCH(Case, index)                                 \
    BENCHMARK_CAPTURE(Norv, index, index)->Name("BM_" #Case "/Norv"); \
    BENCHMARK_CAPTURE(StdRegex, index, index)->Name("BM_" #Case "/StdRegex");

NORV_ROUTE_BENCH(Segment, 0)
NORV_ROUTE_BENCH(Rest, 1)
NORV_ROUTE_BENCH(TwoParameters, 2)
NORV_ROUTE_BENCH(Backtracking, 3)

// 100 routes of a typical service, half with parameters; the path reaches the
// last route, so every route is tried.
std::vector<std::string> TableTemplates() {
    std::vector<std::string> texts;
    for (int i = 0; i < 50; ++i) {
        texts.push_back("/service" + std::to_string(i) + "/v1/items/{id}");
        texts.push_back("/service" + std::to_string(i) + "/v1/status");
    }
    return texts;
}

constexpr const char* kTablePath = "/service49/v1/status?verbose=1";

void Norv(benchmark::State& state) {
    std::vector<Norv::Route> routes;
    for (const std::string& text : TableTemplates()) routes.push_back({nullptr, Norv::UrlTemplate(text), 0, {}});
    Norv::RouteTable table;
    for (const Norv::Route& route : routes) table.add(route);
    Norv::RoutingRequest request;
    request.method = Norv::kMethodGet;
    request.path = kTablePath;
    for (auto _ : state) {
        if (!table.match(request)) state.SkipWithError("no match");
        benchmark::DoNotOptimize(request.route);
    }
}

void StdRegex(benchmark::State& state) {
    std::vector<std::regex> expressions;
    for (const std::string& text : TableTemplates()) expressions.emplace_back(Norv::UrlTemplate(text).expression());
    const std::string path = std::string(kTablePath).substr(0, std::string(kTablePath).find('?'));
    std::smatch found;
    for (auto _ : state) {
        const std::regex* winner = nullptr;
        for (const std::regex& expression : expressions) {
            if (std::regex_match(path, found, expression)) winner = &expression;
        }
        if (winner == nullptr) state.SkipWithError("no match");
        benchmark::DoNotOptimize(winner);
    }
}

BENCHMARK(Norv)->Name("BM_Table100/Norv");
BENCHMARK(StdRegex)->Name("BM_Table100/StdRegex");

}  // namespace

BENCHMARK_MAIN();
