// ParseMessagePack against msgpack-c's unpack on the same documents.
#define MSGPACK_NO_BOOST
#include <benchmark/benchmark.h>

#include <cstdint>
#include <msgpack.hpp>
#include <stdexcept>
#include <vector>

#include "bench/reader_documents.h"
#include "bench/tree_steps.h"
#include "formats/msgpack_reader.h"

namespace {

const std::vector<std::uint8_t>& Bytes(int which) {
    static const std::vector<std::uint8_t> bytes[] = {
        nlohmann::json::to_msgpack(Norv::Bench::JsonApiDocument()),
        nlohmann::json::to_msgpack(Norv::Bench::NumbersDocument()),
        nlohmann::json::to_msgpack(Norv::Bench::ConfigurationDocument()),
    };
    return bytes[which];
}

template <class Parse>
void Run(benchmark::State& state, int which, Parse parse) {
    const std::vector<std::uint8_t>& bytes = Bytes(which);
    for (auto _ : state) parse(bytes);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void Norv(benchmark::State& state, int which) {
    Run(state, which, [](const std::vector<std::uint8_t>& bytes) {
        std::size_t position = 0;
        Norv::BindingResult result = Norv::ParseMessagePack(bytes.data(), bytes.size(), position);
        if (!result.ok() || position != bytes.size()) throw std::runtime_error("unexpected MessagePack result");
        benchmark::DoNotOptimize(result.value.kind());
    });
}

void MsgpackC(benchmark::State& state, int which) {
    Run(state, which, [](const std::vector<std::uint8_t>& bytes) {
        msgpack::object_handle handle = msgpack::unpack(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        benchmark::DoNotOptimize(handle.get().type);
    });
}

// The value model's own share: the same tree built from its steps listed
// beforehand, through the value's interface, with no reading.
void TreeOnly(benchmark::State& state, int which) {
    static const nlohmann::json sources[] = {Norv::Bench::JsonApiDocument(), Norv::Bench::NumbersDocument(),
                                             Norv::Bench::ConfigurationDocument()};
    const std::vector<Norv::Bench::TreeStep> steps = Norv::Bench::ListTreeSteps(sources[which]);
    Run(state, which, [&](const std::vector<std::uint8_t>&) {
        Norv::BindingProperty root;
        Norv::Bench::BuildTree(steps, root);
        benchmark::DoNotOptimize(root.kind());
    });
}

#define NORV_READER_BENCH(Case, index)                                        \
    BENCHMARK_CAPTURE(Norv, index, index)->Name("BM_" #Case "/Norv");         \
    BENCHMARK_CAPTURE(MsgpackC, index, index)->Name("BM_" #Case "/MsgpackC"); \
    BENCHMARK_CAPTURE(TreeOnly, index, index)->Name("BM_" #Case "/TreeOnly");

NORV_READER_BENCH(JsonApi, 0)
NORV_READER_BENCH(Numbers, 1)
NORV_READER_BENCH(Configuration, 2)

}  // namespace

BENCHMARK_MAIN();
