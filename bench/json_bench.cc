// ParseJson against RapidJSON's DOM, RapidJSON's bare tokenizer and nlohmann::json.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include <string>
#include <vector>

#include "bench/reader_documents.h"
#include "formats/json_reader.h"
#include "tests/support/fnv_colliding_texts.h"

namespace {

// The default flags: ParseJson reads as they say, strings copied out of the text.
constexpr unsigned kFlags = rapidjson::kParseDefaultFlags;

// An array of 50,000 distinct 64-character strings, all sharing one FNV-1a
// hash when `colliding`: reading it must cost what reading ordinary ones does.
std::string StringsDocument(bool colliding) {
    constexpr std::size_t kCount = 50000;
    std::vector<std::string> texts = Norv::Testing::FnvCollidingTexts(kCount);
    if (!colliding) {
        for (std::size_t i = 0; i < kCount; ++i) texts[i] = std::string(59, 'x') + std::to_string(100000 + i);
    }
    std::string json = "[";
    for (const std::string& text : texts) json += "\"" + text + "\",";
    json.back() = ']';
    return json;
}

const std::string& Text(int which) {
    static const std::string texts[] = {
        Norv::Bench::JsonApiDocument().dump(),
        Norv::Bench::NumbersDocument().dump(),
        Norv::Bench::ConfigurationDocument().dump(),
        StringsDocument(true),
        StringsDocument(false),
    };
    return texts[which];
}

template <class Parse>
void Run(benchmark::State& state, int which, Parse parse) {
    const std::string& text = Text(which);
    for (auto _ : state) parse(text);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void Norv(benchmark::State& state, int which) {
    Run(state, which, [](const std::string& text) {
        Norv::BindingResult result = Norv::ParseJson(text);
        if (!result.ok()) throw std::runtime_error(std::string(result.error()));
        benchmark::DoNotOptimize(result.value.kind());
    });
}

void RapidJsonDom(benchmark::State& state, int which) {
    Run(state, which, [](const std::string& text) {
        rapidjson::Document document;
        document.Parse<kFlags>(text.c_str());
        benchmark::DoNotOptimize(document.GetType());
    });
}

void RapidJsonReader(benchmark::State& state, int which) {
    Run(state, which, [](const std::string& text) {
        rapidjson::BaseReaderHandler<> ignore;
        rapidjson::StringStream stream(text.c_str());
        rapidjson::Reader reader;
        benchmark::DoNotOptimize(reader.Parse<kFlags>(stream, ignore).IsError());
    });
}

void Nlohmann(benchmark::State& state, int which) {
    Run(state, which, [](const std::string& text) {
        nlohmann::json document = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(document.type());
    });
}

#define NORV_READER_BENCH(Case, index)                                                      \
    BENCHMARK_CAPTURE(Norv, index, index)->Name("BM_" #Case "/Norv");                       \
    BENCHMARK_CAPTURE(RapidJsonDom, index, index)->Name("BM_" #Case "/RapidJsonDom");       \
    BENCHMARK_CAPTURE(RapidJsonReader, index, index)->Name("BM_" #Case "/RapidJsonReader"); \
    BENCHMARK_CAPTURE(Nlohmann, index, index)->Name("BM_" #Case "/Nlohmann");

NORV_READER_BENCH(JsonApi, 0)
NORV_READER_BENCH(Numbers, 1)
NORV_READER_BENCH(Configuration, 2)
NORV_READER_BENCH(CollidingStrings, 3)
NORV_READER_BENCH(OrdinaryStrings, 4)

}  // namespace

BENCHMARK_MAIN();
