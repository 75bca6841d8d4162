// Native structure <-> dynamic value, both directions, against nlohmann::json
// with hand-written from_json/to_json for the same 20-field structure: mixed
// scalars, a string, a nested structure and a vector of ten int32.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "binding/assign_value.h"
#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/to_value.h"

namespace Bench {

struct Inner {
    static constexpr Norv::FixedText kStaticTypeText{"struct Bench::Inner"};
    std::int32_t id = 0;
    double weight = 0;
    bool active = false;
};

struct Sample {
    static constexpr Norv::FixedText kStaticTypeText{"struct Bench::Sample"};
    bool flag = false;
    std::int8_t tiny = 0;
    std::uint8_t octet = 0;
    std::int16_t shortValue = 0;
    std::uint16_t port = 0;
    std::int32_t count = 0;
    std::uint32_t mask = 0;
    std::int64_t stamp = 0;
    std::uint64_t total = 0;
    float ratio = 0;
    double mean = 0;
    bool enabled = false;
    std::int32_t retries = 0;
    std::uint32_t limit = 0;
    std::int64_t offset = 0;
    double scale = 0;
    std::int16_t level = 0;
    std::string name;
    Inner inner;
    std::vector<std::int32_t> values;
};

void from_json(const nlohmann::json& j, Inner& v) {
    j.at("id").get_to(v.id);
    j.at("weight").get_to(v.weight);
    j.at("active").get_to(v.active);
}

void to_json(nlohmann::json& j, const Inner& v) {
    j = nlohmann::json{{"id", v.id}, {"weight", v.weight}, {"active", v.active}};
}

void from_json(const nlohmann::json& j, Sample& v) {
    j.at("flag").get_to(v.flag);
    j.at("tiny").get_to(v.tiny);
    j.at("octet").get_to(v.octet);
    j.at("shortValue").get_to(v.shortValue);
    j.at("port").get_to(v.port);
    j.at("count").get_to(v.count);
    j.at("mask").get_to(v.mask);
    j.at("stamp").get_to(v.stamp);
    j.at("total").get_to(v.total);
    j.at("ratio").get_to(v.ratio);
    j.at("mean").get_to(v.mean);
    j.at("enabled").get_to(v.enabled);
    j.at("retries").get_to(v.retries);
    j.at("limit").get_to(v.limit);
    j.at("offset").get_to(v.offset);
    j.at("scale").get_to(v.scale);
    j.at("level").get_to(v.level);
    j.at("name").get_to(v.name);
    j.at("inner").get_to(v.inner);
    j.at("values").get_to(v.values);
}

void to_json(nlohmann::json& j, const Sample& v) {
    j = nlohmann::json{{"flag", v.flag},       {"tiny", v.tiny},   {"octet", v.octet},   {"shortValue", v.shortValue},
                       {"port", v.port},       {"count", v.count}, {"mask", v.mask},     {"stamp", v.stamp},
                       {"total", v.total},     {"ratio", v.ratio}, {"mean", v.mean},     {"enabled", v.enabled},
                       {"retries", v.retries}, {"limit", v.limit}, {"offset", v.offset}, {"scale", v.scale},
                       {"level", v.level},     {"name", v.name},   {"inner", v.inner},   {"values", v.values}};
}

Sample MakeSample() {
    Sample s;
    s.flag = true;
    s.tiny = -5;
    s.octet = 200;
    s.shortValue = -1234;
    s.port = 8080;
    s.count = 123456;
    s.mask = 0xF0F0F0F0u;
    s.stamp = -9876543210;
    s.total = 12345678901234ull;
    s.ratio = 0.75f;
    s.mean = 3.14159;
    s.enabled = true;
    s.retries = 3;
    s.limit = 1000;
    s.offset = 42;
    s.scale = 1.5e10;
    s.level = 7;
    s.name = "a name that is longer than the small string buffer";
    s.inner = {17, 0.5, true};
    s.values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    return s;
}

struct Registered {
    Norv::BindingRegistry registry;
    const Norv::BindingTypeDescriptor* sample = nullptr;

    Registered() {
        registry.registerType<Inner>("Inner")
            .addField("id", &Inner::id)
            .addField("weight", &Inner::weight)
            .addField("active", &Inner::active);
        registry.registerType<Sample>("Sample")
            .addField("flag", &Sample::flag)
            .addField("tiny", &Sample::tiny)
            .addField("octet", &Sample::octet)
            .addField("shortValue", &Sample::shortValue)
            .addField("port", &Sample::port)
            .addField("count", &Sample::count)
            .addField("mask", &Sample::mask)
            .addField("stamp", &Sample::stamp)
            .addField("total", &Sample::total)
            .addField("ratio", &Sample::ratio)
            .addField("mean", &Sample::mean)
            .addField("enabled", &Sample::enabled)
            .addField("retries", &Sample::retries)
            .addField("limit", &Sample::limit)
            .addField("offset", &Sample::offset)
            .addField("scale", &Sample::scale)
            .addField("level", &Sample::level)
            .addField("name", &Sample::name)
            .addField("inner", &Sample::inner)
            .addField("values", &Sample::values);
        sample = registry.findType("Sample");
    }
};

const Registered& Types() {
    static const Registered types;
    return types;
}

// A tree that stays alive for the whole run, as trees do in a busy plugin: it
// keeps a page of the pool's chunk in use. Without one, every conversion that
// needs a 4 KiB page commits and releases a whole 64 KiB chunk (the pool gives
// a chunk back as soon as all its pages are free), and the system calls swamp
// the conversion itself.
void KeepPagePoolWarm() {
    static Norv::BindingProperty* const resident = [] {
        auto* value = new Norv::BindingProperty();
        for (int i = 0; i < 64; ++i) value->member("resident" + std::to_string(i)) = i;
        return value;
    }();
    benchmark::DoNotOptimize(resident);
}

void BM_AssignStruct_Norv(benchmark::State& state) {
    KeepPagePoolWarm();
    const Registered& types = Types();
    const Sample source = MakeSample();
    Norv::BindingResult input;
    Norv::structToValue(input, &source, types.sample);
    for (auto _ : state) {
        Sample target;
        Norv::BindingResult result;
        Norv::assignStruct(result, &target, input.value, types.sample, "<value>");
        benchmark::DoNotOptimize(target);
        if (!result.ok()) state.SkipWithError("conversion failed");
    }
}

void BM_AssignStruct_Nlohmann(benchmark::State& state) {
    const nlohmann::json input = MakeSample();
    for (auto _ : state) {
        Sample target = input.get<Sample>();
        benchmark::DoNotOptimize(target);
    }
}

void BM_StructToValue_Norv(benchmark::State& state) {
    KeepPagePoolWarm();
    const Registered& types = Types();
    const Sample source = MakeSample();
    for (auto _ : state) {
        Norv::BindingResult result;
        Norv::structToValue(result, &source, types.sample);
        benchmark::DoNotOptimize(result);
    }
}

void BM_StructToValue_Nlohmann(benchmark::State& state) {
    const Sample source = MakeSample();
    for (auto _ : state) {
        nlohmann::json result = source;
        benchmark::DoNotOptimize(result);
    }
}

BENCHMARK(BM_AssignStruct_Norv)->Name("BM_AssignStruct/Norv");
BENCHMARK(BM_AssignStruct_Nlohmann)->Name("BM_AssignStruct/Nlohmann");
BENCHMARK(BM_StructToValue_Norv)->Name("BM_StructToValue/Norv");
BENCHMARK(BM_StructToValue_Nlohmann)->Name("BM_StructToValue/Nlohmann");

}  // namespace Bench

BENCHMARK_MAIN();
