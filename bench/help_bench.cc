// Help for an API of 50 functions, 50 types (half structures, half
// enumerations) and 20 events, in both formats, and for one twice that size:
// "ours/Doubled" near 0.5 means the work grows linearly with the API. The
// "allocations" counter is per rendering, counted by the runtime's allocator.
#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/help/api_help.h"
#include "diagnostics/allocation_statistics.h"

// Counted by the runtime's own allocator, as the shipping module counts; the
// array and nothrow forms come through these.
void* operator new(std::size_t bytes) {
    if (void* block = Norv::Memory::Allocate(bytes)) return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    Norv::Memory::Release(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Norv::Memory::Release(block);
}

namespace {

using Norv::BindingTypeKind;
using Kind = BindingTypeKind;

struct Api {
    Norv::BindingRegistry registry;
    std::vector<const Norv::BindingFunctionDescriptor*> functions;
    std::vector<const Norv::BindingTypeDescriptor*> types;
    std::vector<const Norv::BindingEventDescriptor*> events;
};

// `scale` 1 gives 50 functions, 50 types and 20 events.
std::unique_ptr<Api> MakeApi(int scale) {
    auto api = std::make_unique<Api>();
    Norv::BindingRegistry& registry = api->registry;
    registry.registerBuiltins();
    const int typeCount = 50 * scale;
    for (int i = 0; i < typeCount; ++i) {
        const std::string name = "Type" + std::to_string(i);
        const bool isEnum = i % 2 == 1;
        Norv::BindingTypeBuilder builder = registry.registerType(name, isEnum ? 4 : 48, nullptr, isEnum);
        builder.description("Describes the state of the " + name + " resource {as seen by the host}.")
            .addTag("$bench")
            .addTag("nclient");
        if (isEnum) {
            for (int v = 0; v < 6; ++v) {
                builder.addEnumValue("Value" + std::to_string(5 - v), 5 - v, v % 2 ? "The resource is ready" : "");
            }
        } else {
            const Norv::BindingTypeDescriptor* previous = api->types.empty() ? nullptr : api->types.back();
            const Norv::BindingTypeIdentifier fieldTypes[] = {{Kind::String},
                                                              {Kind::UInt32},
                                                              {Kind::Object},
                                                              {Kind::Vector, Kind::Struct, previous},
                                                              {Kind::Map, Kind::String},
                                                              {Kind::Bool}};
            for (int f = 0; f < 6; ++f) {
                builder.addField("field" + std::to_string(f), f % 3 ? "What the field holds" : "", 8u * f, nullptr,
                                 fieldTypes[f], {}, 0, nullptr);
            }
        }
        api->types.push_back(builder.descriptor());
    }
    for (int i = 0; i < 50 * scale; ++i) {
        auto function = std::make_unique<Norv::BindingFunctionDescriptor>();
        function->name = "Function" + std::to_string(i);
        function->description = "Changes the resource {" + std::to_string(i) + "} and answers its new state.";
        function->help = i % 4 ? "" : "-Call it only after the plugin has started.";
        for (int p = 0; p < 3; ++p) {
            Norv::BindingParameterDescriptor parameter;
            parameter.name = "argument" + std::to_string(p);
            parameter.description = p == 1 ? "" : "What the call works on";
            parameter.type = p == 2 ? Norv::BindingTypeIdentifier{Kind::Struct, Kind::None, api->types[i % typeCount]}
                                    : Norv::BindingTypeIdentifier{Kind::Int64};
            parameter.optional = p == 0;
            function->parameters.push_back(parameter);
        }
        function->returns = {Kind::Vector, Kind::String};
        function->threadSafe = i % 2 == 0;
        function->tags = {"$bench", "remote"};
        api->functions.push_back(registry.registerFunction(std::move(function)));
    }
    for (int i = 0; i < 20 * scale; ++i) {
        Norv::BindingEventBuilder event =
            registry.registerEvent("OnEvent" + std::to_string(i), api->types[(2 * i) % typeCount]);
        event.description("Fired when a resource changes.").addTag("nclient");
        api->events.push_back(event.event());
    }
    return api;
}

void Render(benchmark::State& state, int scale, Norv::BindingHelpFormat format) {
    const std::unique_ptr<Api> api = MakeApi(scale);
    const std::uint64_t before = Norv::CurrentAllocationStatistics().Allocations();
    for (auto _ : state) {
        Norv::BindingResult help = Norv::BuildApiHelp(api->registry, api->functions, api->types, api->events, format);
        if (!help.ok()) state.SkipWithError("help failed");
        benchmark::DoNotOptimize(help);
    }
    state.counters["allocations"] =
        benchmark::Counter(static_cast<double>(Norv::CurrentAllocationStatistics().Allocations() - before),
                           benchmark::Counter::kAvgIterations);
}

void Epytext(benchmark::State& state) {
    Render(state, 1, Norv::BindingHelpFormat::Epytext);
}
void EpytextDoubled(benchmark::State& state) {
    Render(state, 2, Norv::BindingHelpFormat::Epytext);
}
void Full(benchmark::State& state) {
    Render(state, 1, Norv::BindingHelpFormat::Full);
}
void FullDoubled(benchmark::State& state) {
    Render(state, 2, Norv::BindingHelpFormat::Full);
}

}  // namespace

BENCHMARK(Epytext)->Name("HelpEpytext/Norv")->Unit(benchmark::kMicrosecond);
BENCHMARK(EpytextDoubled)->Name("HelpEpytext/Doubled")->Unit(benchmark::kMicrosecond);
BENCHMARK(Full)->Name("HelpFull/Norv")->Unit(benchmark::kMicrosecond);
BENCHMARK(FullDoubled)->Name("HelpFull/Doubled")->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
