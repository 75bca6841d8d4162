#include "tools/host-sim/call_load.h"

#include <algorithm>
#include <chrono>
#include <latch>
#include <thread>
#include <vector>

namespace Norv::HostSim {

namespace {

using Clock = std::chrono::steady_clock;

struct ThreadResult {
    std::vector<std::uint64_t> nanoseconds;
    std::uint64_t differing = 0;
    std::string firstDiffering;
    Clock::time_point start;
    Clock::time_point end;
};

// One call, timed around the handler alone; the answer is read and the
// response released after the clock stops.
std::uint64_t TimedCall(const PluginFunctionRecord& function, const HostRequestRecord& request, std::string& answer) {
    HostResponseRecord response{};
    const Clock::time_point before = Clock::now();
    function.handler(&response, &request);
    const Clock::time_point after = Clock::now();
    answer = AnswerText(response);
    if (response.release != nullptr) response.release(&response);
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(after - before).count());
}

void CallRepeatedly(const PluginFunctionRecord& function, const HostRequestRecord& request, std::uint32_t calls,
                    const std::string& first, std::latch& ready, ThreadResult& result) {
    result.nanoseconds.reserve(calls);
    std::string answer;
    ready.arrive_and_wait();
    result.start = Clock::now();
    for (std::uint32_t i = 0; i < calls; ++i) {
        result.nanoseconds.push_back(TimedCall(function, request, answer));
        if (answer == first) continue;
        if (result.differing++ == 0) result.firstDiffering = answer;
    }
    result.end = Clock::now();
}

double Microseconds(std::uint64_t nanoseconds) {
    return static_cast<double>(nanoseconds) / 1000.0;
}

}  // namespace

LoadReport RunLoad(const PluginFunctionRecord& function, const HostRequestRecord& request, const LoadOptions& options) {
    LoadReport report;
    // The first answer, given before the threads start, is the one every other is held to.
    TimedCall(function, request, report.firstAnswer);
    std::vector<ThreadResult> results(std::max<std::uint32_t>(options.threads, 1));
    {
        std::latch ready(static_cast<std::ptrdiff_t>(results.size()));
        std::vector<std::thread> threads;
        for (ThreadResult& result : results) {
            threads.emplace_back(CallRepeatedly, std::cref(function), std::cref(request), options.calls,
                                 std::cref(report.firstAnswer), std::ref(ready), std::ref(result));
        }
        for (std::thread& thread : threads) thread.join();
    }
    std::vector<std::uint64_t> all;
    Clock::time_point start = results.front().start;
    Clock::time_point end = results.front().end;
    for (const ThreadResult& result : results) {
        all.insert(all.end(), result.nanoseconds.begin(), result.nanoseconds.end());
        start = std::min(start, result.start);
        end = std::max(end, result.end);
    }
    if (all.empty()) return report;
    for (const ThreadResult& result : results) {
        if (report.differing == 0) report.firstDiffering = result.firstDiffering;
        report.differing += result.differing;
    }
    report.calls = all.size();
    report.seconds = std::chrono::duration<double>(end - start).count();
    report.callsPerSecond = report.seconds > 0 ? static_cast<double>(report.calls) / report.seconds : 0;
    auto percentile = [&all](std::size_t perMille) {
        auto at = all.begin() + static_cast<std::ptrdiff_t>((all.size() - 1) * perMille / 1000);
        std::nth_element(all.begin(), at, all.end());
        return Microseconds(*at);
    };
    report.medianMicroseconds = percentile(500);
    report.p99Microseconds = percentile(990);
    return report;
}

int CallUnderLoad(const Options& options, const ApiCall& call, const LoadOptions& load, std::FILE* out) {
    ApiSession session(options);
    if (int started = session.Start(); started != kExitOk) return started;
    const PluginFunctionRecord* function = FindFunction(session.Table(), call);
    std::fprintf(out, "[load] %s %s: %u threads, %u calls each\n", call.method.c_str(), call.path.c_str(), load.threads,
                 load.calls);
    if (function == nullptr || function->handler == nullptr) {
        std::fprintf(out, "  ! no function of the plugin takes %s %s\n", call.method.c_str(), call.path.c_str());
        return kExitNoFunction;
    }
    const ApiRequest request(call, *function);
    const LoadReport report = RunLoad(*function, *request.Record(), load);
    std::fprintf(out, "  first answer : %s\n", report.firstAnswer.c_str());
    std::fprintf(out, "  calls        : %llu in %.3f s, %.0f calls/s\n", static_cast<unsigned long long>(report.calls),
                 report.seconds, report.callsPerSecond);
    std::fprintf(out, "  latency      : median %.1f us, 99th percentile %.1f us\n", report.medianMicroseconds,
                 report.p99Microseconds);
    int status = kExitOk;
    if (report.differing == 0) {
        std::fprintf(out, "  answers      : every answer equalled the first\n");
    } else {
        std::fprintf(out, "  answers      : %llu differed from the first; the first that did: %s\n",
                     static_cast<unsigned long long>(report.differing), report.firstDiffering.c_str());
        status = kExitUnbalanced;
    }
    session.Unload();
    for (const std::string& fault : session.Host().Imbalances()) {
        std::fprintf(out, "  ! %s\n", fault.c_str());
        status = kExitUnbalanced;
    }
    return status;
}

}  // namespace Norv::HostSim
