// What a log record costs when the manager drops it (by level, by muted group)
// against one that is formatted, stamped and written to a target that discards
// it. Each case pairs the dropped record ("Norv") with a written one ("Written").
#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"

#include <benchmark/benchmark.h>

namespace {

using namespace Norv;

class NullLogTarget : public LogTarget {
public:
    ~NullLogTarget() override { Detach(); }
    const char* Name() const override { return "NullLogTarget"; }
    bool Write(const LogRecord&) override { return true; }
    void Flush() override {}
};

// The manager's defaults (minimum level 1, "XTR" muted) with the null target alone.
class NullLog {
public:
    NullLog() {
        LogManager::Acquire();
        LogManager::Current().StdErrTarget().Detach();
        LogManager::Current().DebuggerTarget().Detach();
        target_.Configure({0, 0, 0, "#D| #L| #G| #M"});
    }
    ~NullLog() {
        target_.Detach();
        LogManager::Release();
    }

private:
    NullLogTarget target_;
};

void LogRecordOf(benchmark::State& state, std::int32_t level, std::uint64_t groups) {
    NullLog log;
    for (auto _ : state) {
        Log(level, groups, "Request %s failed with status %d", "GET /vek-login/v1/session", 404);
    }
}

void Written(benchmark::State& state) {
    LogRecordOf(state, kLogLevelWarn, kLogGroupDbg);
}
void DroppedByLevel(benchmark::State& state) {
    LogRecordOf(state, kLogLevelOkay, kLogGroupDbg);
}
void DroppedByMutedGroup(benchmark::State& state) {
    LogRecordOf(state, kLogLevelError, kLogGroupXtr);
}

BENCHMARK(DroppedByLevel)->Name("LogDroppedByLevel/Norv");
BENCHMARK(Written)->Name("LogDroppedByLevel/Written");
BENCHMARK(DroppedByMutedGroup)->Name("LogDroppedByMutedGroup/Norv");
BENCHMARK(Written)->Name("LogDroppedByMutedGroup/Written");

}  // namespace

BENCHMARK_MAIN();
