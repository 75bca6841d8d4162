#include "diagnostics/log_api.h"

#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"

namespace Norv {

namespace {

LogTargetInterface* BuiltIn(LogTarget& (*pick)(LogManager&)) {
    LogManager* manager = LogManager::Existing();
    return manager == nullptr ? nullptr : pick(*manager).Interface();
}

constexpr LogApi kLogApi = {
    []() -> std::int32_t { return 1; },
    &LogManager::Acquire,
    &LogManager::Release,
    [](std::int32_t level) { LogManager::Current().SetMinimumLevel(level); },
    []() { return LogManager::Current().MinimumLevel(); },
    [](std::uint64_t groups) { LogManager::Current().SetMutedGroups(groups); },
    []() { return LogManager::Current().MutedGroups(); },
    []() { LogManager::Current().SetDisabled(true); },
    []() { LogManager::Current().SetDisabled(false); },
    []() { LogManager::Current().SetAuxiliaryFlag(true); },
    []() { LogManager::Current().SetAuxiliaryFlag(false); },
    [](LogTargetInterface* target) { LogManager::Current().AttachTarget(target); },
    [](LogTargetInterface* target) { LogManager::Current().DetachTarget(target); },
    [](const char* name) { return LogManager::Current().FindTarget(name); },
    []() { return BuiltIn([](LogManager& m) -> LogTarget& { return m.StdOutTarget(); }); },
    []() { return BuiltIn([](LogManager& m) -> LogTarget& { return m.StdErrTarget(); }); },
    []() { return BuiltIn([](LogManager& m) -> LogTarget& { return m.DebuggerTarget(); }); },
    [](const char* tag) { return LogGroups().Register(tag); },
    [](std::uint64_t mask, char* buffer, std::size_t capacity) -> std::size_t {
        if (buffer == nullptr || capacity == 0) return 0;
        return LogGroups().AppendNames(mask, buffer, 0, capacity);
    },
    [](const LogRecord* record, const char* format, char* buffer, std::size_t capacity) -> std::size_t {
        return record == nullptr ? 0 : RenderLogRecord(*record, format, buffer, capacity);
    },
    &LogLevelLabel,
    &ExecutableFileName,
    &Platform::CurrentLocalTime,
    [](const Platform::LocalTime* time, char* buffer, std::size_t capacity) -> std::size_t {
        return time == nullptr ? 0 : FormatLogTimeStamp(*time, buffer, capacity);
    },
    [](const Platform::LocalTime* time, char* buffer, std::size_t capacity) -> std::size_t {
        return time == nullptr ? 0 : FormatLogFileTimeStamp(*time, buffer, capacity);
    },
    &LogV,
};

}  // namespace

const LogApi& GetLogApi() {
    return kLogApi;
}

}  // namespace Norv
