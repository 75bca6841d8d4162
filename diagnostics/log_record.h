// One log record and its rendering through a format of '#' codes.
#pragma once

#include "platform/platform.h"

#include <cstddef>
#include <cstdint>

namespace Norv {

inline constexpr std::int32_t kLogLevelOkay = 0;
inline constexpr std::int32_t kLogLevelWarn = 1;
inline constexpr std::int32_t kLogLevelError = 2;
inline constexpr std::int32_t kLogLevelAlways = 3;

// Capacity of a formatted message and of a rendered line, terminator included.
inline constexpr std::size_t kLogTextCapacity = 4096;

struct LogRecord {
    Platform::LocalTime time;
    std::int32_t level;
    std::uint64_t groups;
    const char* message;
};

// Six characters for levels 0 to 3 ("  OKAY", "  WARN", " ERROR", "ALWAYS");
// "   ???" for any other level.
const char* LogLevelLabel(std::int32_t level);

// The file name of the process's executable (after the last path separator),
// "<unknown>" when the system does not say.
const char* ExecutableFileName();

// "2024-01-31T23:59:58.123" and, for file names, "2024-01-31T23-59-58".
// Both write at most capacity - 1 characters and a NUL; return the length.
std::size_t FormatLogTimeStamp(const Platform::LocalTime& time, char* buffer, std::size_t capacity);
std::size_t FormatLogFileTimeStamp(const Platform::LocalTime& time, char* buffer, std::size_t capacity);

// Renders the record through a format of '#' codes (#D time stamp, #E
// executable, #G groups, #H elapsed seconds, #L level label, #M message, #T
// thread; '#' and any other character give that character). Two characters of
// the capacity are kept back so that the line always ends in exactly one line
// break and a NUL. Returns the length; capacity must be at least 2.
std::size_t RenderLogRecord(const LogRecord& record, const char* format, char* buffer, std::size_t capacity);

}  // namespace Norv
