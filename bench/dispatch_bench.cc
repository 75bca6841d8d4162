// A call through the request handler to a registered function: without a body,
// and with a 1 KiB JSON body read into a structure. The peer of the latter is
// ParseJson plus assignStruct of the same body, so the difference is what
// dispatch itself costs.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "binding/assign_value.h"
#include "formats/json_reader.h"
#include "remoting/function_registration.h"

namespace {

struct Order {
    static constexpr Norv::FixedText kStaticTypeText{"struct Norv::Bench::Order"};
    std::string id;
    std::string customer;
    std::int32_t quantity = 0;
    double price = 0;
    std::vector<std::string> tags;
    std::string note;
};

const std::string& OrderJson() {
    static const std::string text = [] {
        std::string json = R"({"id":"order-0001","customer":"customer-42","quantity":7,"price":19.95,"tags":[)";
        for (int i = 0; i < 40; ++i) json += (i == 0 ? "\"tag-" : ",\"tag-") + std::to_string(i) + "\"";
        json += R"(],"note":")";
        while (json.size() < 1022) json += 'n';
        return json + "\"}";
    }();
    return text;
}

struct Fixture {
    Fixture() {
        registry.registerType<Order>("Order")
            .addField("id", &Order::id)
            .addField("customer", &Order::customer)
            .addField("quantity", &Order::quantity)
            .addField("price", &Order::price)
            .addField("tags", &Order::tags)
            .addField("note", &Order::note);
        lookup = Norv::RegisterFunction(registry, {"Lookup", "/items/{id}", Norv::kMethodGet, {{"id"}}},
                                        [](const std::string& id) { return static_cast<std::int32_t>(id.size()); });
        place =
            Norv::RegisterFunction(registry, {"Place", "/orders", Norv::kMethodPost, {{"order", Norv::kLocationBody}}},
                                   [](const Order& order) { return order.quantity; });
    }

    Norv::BindingRegistry registry;
    Norv::RegisteredFunction lookup;
    Norv::RegisteredFunction place;
};

Fixture& Functions() {
    static Fixture fixture;
    return fixture;
}

void Call(benchmark::State& state, const Norv::RegisteredFunction& function, HostRequestRecord record) {
    const Norv::FunctionHandlerContext context{nullptr, function.route};
    record.handlerContext = &context;
    for (auto _ : state) {
        HostResponseRecord response{};
        Norv::HandleFunctionRequest(&response, &record);
        if (response.hasError != 0) state.SkipWithError(response.error);
        response.release(&response);
    }
}

void NoBody(benchmark::State& state) {
    HostRequestRecord record{};
    record.method = Norv::kMethodGet;
    record.path = "/items/12345";
    Call(state, Functions().lookup, record);
}

void JsonBody(benchmark::State& state) {
    HostRequestRecord record{};
    record.method = Norv::kMethodPost;
    record.path = "/orders";
    record.contentType = "application/json";
    record.body = OrderJson().data();
    record.bodyLength = static_cast<std::uint32_t>(OrderJson().size());
    Call(state, Functions().place, record);
}

void ParseAndAssign(benchmark::State& state) {
    const Norv::BindingRegistry& registry = Functions().registry;
    for (auto _ : state) {
        Norv::BindingResult parsed = Norv::ParseJson(OrderJson());
        Order order;
        Norv::BindingResult assigned;
        Norv::assignStruct(assigned, order, parsed.value, registry, "order");
        if (!parsed.ok() || !assigned.ok()) state.SkipWithError("conversion failed");
        benchmark::DoNotOptimize(order.quantity);
    }
}

BENCHMARK(NoBody)->Name("BM_DispatchNoBody/Norv");
BENCHMARK(JsonBody)->Name("BM_DispatchJsonBody/Norv");
BENCHMARK(ParseAndAssign)->Name("BM_DispatchJsonBody/ParseAndAssign");

}  // namespace

BENCHMARK_MAIN();
