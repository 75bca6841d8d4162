// ParseYaml against libyaml's bare event loop and yaml-cpp's YAML::Load.
#include <benchmark/benchmark.h>
#include <yaml-cpp/yaml.h>

#include <stdexcept>
#include <string>

#include "bench/libyaml_events.h"
#include "bench/reader_documents.h"
#include "formats/yaml_library.h"
#include "formats/yaml_reader.h"

namespace {

// 100,000 aliases inside 500 nested sequences (about 300 KB).
std::string DeepAliasesDocument() {
    std::string text(500, '[');
    text += "&a x";
    for (int i = 0; i < 100000; ++i) text += ", *a";
    return text + std::string(500, ']');
}

// 300 anchors under a 1 MB key and 20,000 aliases to them.
std::string LongKeyAliasesDocument() {
    std::string text = "? " + std::string(1 << 20, 'k') + "\n: [";
    for (int i = 0; i < 300; ++i) text += "&a" + std::to_string(i) + " x, ";
    text += "x]\nb: [";
    for (int i = 0; i < 20000; ++i) text += "*a" + std::to_string(i % 300) + ", ";
    return text + "x]\n";
}

const std::string& Text(int which) {
    static const std::string texts[] = {
        Norv::Bench::ToYaml(Norv::Bench::JsonApiDocument()),
        Norv::Bench::ToYaml(Norv::Bench::NumbersDocument()),
        Norv::Bench::ToYaml(Norv::Bench::ConfigurationDocument()),
        DeepAliasesDocument(),
        LongKeyAliasesDocument(),
    };
    return texts[which];
}

template <class Parse>
void Run(benchmark::State& state, int which, Parse parse) {
    if (Norv::LoadYamlLibrary() == nullptr) {
        state.SkipWithError("libyaml is not present");
        return;
    }
    const std::string& text = Text(which);
    for (auto _ : state) parse(text);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}

void Norv(benchmark::State& state, int which) {
    Run(state, which, [](const std::string& text) {
        Norv::BindingResult result = Norv::ParseYaml(text);
        if (!result.ok()) throw std::runtime_error(std::string(result.error()));
        benchmark::DoNotOptimize(result.value.kind());
    });
}

// The floor: every event parsed and deleted through the same entry points, nothing built.
void LibyamlEvents(benchmark::State& state, int which) {
    Run(state, which, [](const std::string& text) { benchmark::DoNotOptimize(Norv::Bench::ReadLibyamlEvents(text)); });
}

void YamlCpp(benchmark::State& state, int which) {
    Run(state, which, [](const std::string& text) {
        YAML::Node document = YAML::Load(text);
        benchmark::DoNotOptimize(document.Type());
    });
}

#define NORV_READER_BENCH(Case, index)                                                  \
    BENCHMARK_CAPTURE(Norv, index, index)->Name("BM_" #Case "/Norv");                   \
    BENCHMARK_CAPTURE(LibyamlEvents, index, index)->Name("BM_" #Case "/LibyamlEvents"); \
    BENCHMARK_CAPTURE(YamlCpp, index, index)->Name("BM_" #Case "/YamlCpp");

NORV_READER_BENCH(JsonApi, 0)
NORV_READER_BENCH(Numbers, 1)
NORV_READER_BENCH(Configuration, 2)
// yaml-cpp refuses nesting this deep, so only the floor is the peer here.
#define NORV_ALIAS_BENCH(Case, index)                                 \
    BENCHMARK_CAPTURE(Norv, index, index)->Name("BM_" #Case "/Norv"); \
    BENCHMARK_CAPTURE(LibyamlEvents, index, index)->Name("BM_" #Case "/LibyamlEvents");

NORV_ALIAS_BENCH(DeepAliases, 3)
NORV_ALIAS_BENCH(LongKeyAliases, 4)

}  // namespace

BENCHMARK_MAIN();
