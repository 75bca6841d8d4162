// The log manager as a table of plain functions, in the order other parts of
// the plugin (and the plugin log target) reach it.
#pragma once

#include "diagnostics/log_record.h"
#include "diagnostics/log_target.h"
#include "platform/platform.h"

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace Norv {

struct LogApi {
    std::int32_t (*Version)();  // always 1
    void (*Acquire)();          // the first acquire creates the manager
    void (*Release)();          // the last release destroys it
    void (*SetMinimumLevel)(std::int32_t level);
    std::int32_t (*GetMinimumLevel)();
    void (*SetMutedGroups)(std::uint64_t groups);
    std::uint64_t (*GetMutedGroups)();
    void (*Disable)();
    void (*Enable)();
    void (*SetAuxiliaryFlag)();
    void (*ClearAuxiliaryFlag)();
    void (*AttachTarget)(LogTargetInterface* target);
    void (*DetachTarget)(LogTargetInterface* target);
    LogTargetInterface* (*FindTarget)(const char* name);
    // The built-in targets; null while there is no manager.
    LogTargetInterface* (*StdOutTarget)();
    LogTargetInterface* (*StdErrTarget)();
    LogTargetInterface* (*DebuggerTarget)();
    std::uint64_t (*RegisterGroup)(const char* tag);
    // Writes at most capacity - 1 characters and a NUL; returns the length.
    std::size_t (*GroupNames)(std::uint64_t mask, char* buffer, std::size_t capacity);
    std::size_t (*RenderRecord)(const LogRecord* record, const char* format, char* buffer, std::size_t capacity);
    const char* (*LevelLabel)(std::int32_t level);
    const char* (*ExecutableName)();
    Platform::LocalTime (*CurrentTime)();
    std::size_t (*TimeStamp)(const Platform::LocalTime* time, char* buffer, std::size_t capacity);
    std::size_t (*FileTimeStamp)(const Platform::LocalTime* time, char* buffer, std::size_t capacity);
    void (*Log)(std::int32_t level, std::uint64_t groups, const char* format, std::va_list arguments);
};

const LogApi& GetLogApi();

}  // namespace Norv
