// The process-wide log manager: filters records by level and muted groups,
// stamps them and hands them to every attached target, in attachment order.
#pragma once

#include "diagnostics/console_log_target.h"
#include "diagnostics/log_record.h"
#include "diagnostics/log_target.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <vector>

#define NORV_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))

namespace Norv {

class LogManager {
public:
    // The manager lives from the first acquire (or the first log call) to the
    // last release. An acquire that cannot create the manager still counts.
    static void Acquire() noexcept;
    static void Release() noexcept;
    // The current manager, created as the first acquire would when there is none.
    static LogManager& Current();
    // The current manager or null.
    static LogManager* Existing();

    LogManager(const LogManager&) = delete;
    LogManager& operator=(const LogManager&) = delete;

    // The cheap test a record meets before any formatting: disabled, below the
    // minimum level or in a muted group. Takes no lock.
    bool Drops(std::int32_t level, std::uint64_t groups) const {
        return disabled_.load(std::memory_order_relaxed) || level < minimumLevel_.load(std::memory_order_relaxed) ||
               (groups & mutedGroups_.load(std::memory_order_relaxed)) != 0;
    }
    // Counts warnings and errors and writes the record to every attached target.
    void Write(const LogRecord& record);

    void SetMinimumLevel(std::int32_t level);
    std::int32_t MinimumLevel();
    void SetMutedGroups(std::uint64_t groups);
    std::uint64_t MutedGroups();
    void SetDisabled(bool disabled);
    // A flag the logging path does not consult; kept for the table's callers.
    void SetAuxiliaryFlag(bool set);
    bool AuxiliaryFlag();

    void AttachTarget(LogTargetInterface* target);
    void DetachTarget(LogTargetInterface* target);
    bool HasTarget(const LogTargetInterface* target);
    // The first attached target of that name, or null.
    LogTargetInterface* FindTarget(const char* name);

    StdOutLogTarget& StdOutTarget() { return stdOut_; }
    StdErrLogTarget& StdErrTarget() { return stdErr_; }
    DebuggerConsoleLogTarget& DebuggerTarget() { return debugger_; }

    std::uint32_t WarningCount();
    std::uint64_t ErrorCount();

private:
    LogManager();
    ~LogManager();

    Platform::Mutex lock_;
    std::vector<LogTargetInterface*> targets_;
    std::atomic<bool> disabled_{false};
    std::atomic<std::int32_t> minimumLevel_{1};
    std::atomic<std::uint64_t> mutedGroups_{4};
    bool auxiliaryFlag_ = false;
    std::uint32_t warnings_ = 0;
    std::uint64_t errors_ = 0;
    // Destroyed before the list and the lock, detaching as they go.
    StdErrLogTarget stdErr_;
    StdOutLogTarget stdOut_;
    DebuggerConsoleLogTarget debugger_;
};

// Logs a printf-formatted message (cut to 4095 characters) at a level in a
// set of groups; creates the manager when there is none.
void LogV(std::int32_t level, std::uint64_t groups, const char* format, std::va_list arguments)
    NORV_PRINTF_FORMAT(3, 0);
void Log(std::int32_t level, std::uint64_t groups, const char* format, ...) NORV_PRINTF_FORMAT(3, 4);

}  // namespace Norv
