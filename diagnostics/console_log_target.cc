#include "diagnostics/console_log_target.h"

#include <cstdio>
#include <mutex>

namespace Norv {

// Detached before the derived parts are gone, so no write reaches them. The
// target's lock is not held here: writes take the manager's lock and then the
// target's, and detaching takes the manager's, so holding ours would invert
// that order.
BaseConsoleLogTarget::~BaseConsoleLogTarget() {
    Detach();
}

bool BaseConsoleLogTarget::Write(const LogRecord& record) {
    char line[kLogTextCapacity];
    RenderLogRecord(record, LineFormat(), line, sizeof line);
    std::lock_guard<Platform::Mutex> guard(OutputLock());
    return Output(line);
}

bool StdErrLogTarget::Output(const char* line) {
    return std::fputs(line, stderr) >= 0;
}

void StdErrLogTarget::Flush() {
    std::fflush(stderr);
}

bool StdOutLogTarget::Output(const char* line) {
    bool written = std::fputs(line, stdout) >= 0;
    if (flushEachRecord_) std::fflush(stdout);
    return written;
}

void StdOutLogTarget::Flush() {
    std::fflush(stdout);
}

bool DebuggerConsoleLogTarget::Output(const char* line) {
    Platform::DebuggerOutput(line);
    return true;
}

}  // namespace Norv
