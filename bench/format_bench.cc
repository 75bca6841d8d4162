// Format against the C library's snprintf and {fmt} on the message shapes the
// runtime composes most. Every variant returns a std::string, so each pays for
// the same result object.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "diagnostics/format.h"

#if __has_include(<fmt/format.h>)
#include <fmt/format.h>
#define NORV_BENCH_FMT 1
#endif

namespace {

const std::string kFileText = "The system cannot find the file specified.";
const std::string kMethod = "GET";
const std::string kPath = "/vek-login/v1/session";
const std::string kHostError = "Service unavailable";
const std::string kName = "<result>";
const std::string kTypeName = "int32";
const std::int64_t kValue = -9876543210;

std::string SnprintfString(const char* format, auto... args) {
    char buffer[4096];
    const int size = std::snprintf(buffer, sizeof buffer, format, args...);
    return std::string(buffer, size < 0 ? 0 : static_cast<std::size_t>(size));
}

void TextAndInt_Format(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(Norv::Format("%1 (%2)", kFileText, 2));
}
void TextAndInt_Snprintf(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(SnprintfString("%s (%d)", kFileText.c_str(), 2));
}

void ThreeTexts_Format(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(Norv::Format("Error response for %1 %2: %3", kMethod, kPath, kHostError));
    }
}
void ThreeTexts_Snprintf(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            SnprintfString("Error response for %s %s: %s", kMethod.c_str(), kPath.c_str(), kHostError.c_str()));
    }
}

void OutOfRange_Format(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            Norv::Format("Value %1 for '%2' of type %3 is out of range", kValue, kName, kTypeName));
    }
}
void OutOfRange_Snprintf(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(SnprintfString("Value %lld for '%s' of type %s is out of range",
                                                static_cast<long long>(kValue), kName.c_str(), kTypeName.c_str()));
    }
}

#ifdef NORV_BENCH_FMT
void TextAndInt_Fmt(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(fmt::format("{} ({})", kFileText, 2));
}
void ThreeTexts_Fmt(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(fmt::format("Error response for {} {}: {}", kMethod, kPath, kHostError));
    }
}
void OutOfRange_Fmt(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(fmt::format("Value {} for '{}' of type {} is out of range", kValue, kName, kTypeName));
    }
}
#endif

// Names pair up as BM_<Shape>/<Variant> for the ratio script.
BENCHMARK(TextAndInt_Format)->Name("BM_TextAndInt/Format");
BENCHMARK(TextAndInt_Snprintf)->Name("BM_TextAndInt/Snprintf");
BENCHMARK(ThreeTexts_Format)->Name("BM_ThreeTexts/Format");
BENCHMARK(ThreeTexts_Snprintf)->Name("BM_ThreeTexts/Snprintf");
BENCHMARK(OutOfRange_Format)->Name("BM_OutOfRange/Format");
BENCHMARK(OutOfRange_Snprintf)->Name("BM_OutOfRange/Snprintf");
#ifdef NORV_BENCH_FMT
BENCHMARK(TextAndInt_Fmt)->Name("BM_TextAndInt/Fmt");
BENCHMARK(ThreeTexts_Fmt)->Name("BM_ThreeTexts/Fmt");
BENCHMARK(OutOfRange_Fmt)->Name("BM_OutOfRange/Fmt");
#endif

}  // namespace

BENCHMARK_MAIN();
