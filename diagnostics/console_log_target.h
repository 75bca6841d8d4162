// The built-in targets of the log manager: standard error, standard output and
// the debugger's output.
#pragma once

#include "diagnostics/log_target.h"

namespace Norv {

// Renders each record with the target's format and writes the line under the
// target's own lock.
class BaseConsoleLogTarget : public LogTarget {
public:
    ~BaseConsoleLogTarget() override;
    const char* Name() const override { return "BaseConsoleLogTarget"; }
    bool Write(const LogRecord& record) override;

protected:
    virtual bool Output(const char* line) = 0;
};

class StdErrLogTarget : public BaseConsoleLogTarget {
public:
    const char* Name() const override { return "StdErrLogTarget"; }
    void Flush() override;

protected:
    bool Output(const char* line) override;
};

class StdOutLogTarget : public BaseConsoleLogTarget {
public:
    const char* Name() const override { return "StdOutLogTarget"; }
    void Flush() override;
    void SetFlushEachRecord(bool flush) { flushEachRecord_ = flush; }

protected:
    bool Output(const char* line) override;

private:
    bool flushEachRecord_ = false;
};

class DebuggerConsoleLogTarget : public BaseConsoleLogTarget {
public:
    const char* Name() const override { return "DebuggerConsoleLogTarget"; }
    void Flush() override {}

protected:
    bool Output(const char* line) override;
};

}  // namespace Norv
