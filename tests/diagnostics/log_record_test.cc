#include "diagnostics/log_record.h"

#include "diagnostics/log_groups.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>

namespace Norv {
namespace {

std::string Render(const LogRecord& record, const char* format, std::size_t capacity = kLogTextCapacity) {
    std::string buffer(capacity, '\xFF');
    std::size_t length = RenderLogRecord(record, format, buffer.data(), capacity);
    EXPECT_EQ(buffer[length], '\0');
    return buffer.substr(0, length);
}

const Platform::LocalTime kTime{2024, 1, 31, 23, 9, 5, 7};

TEST(LogRecord, RendersEachCode) {
    LogRecord record{kTime, kLogLevelError, kLogGroupDbg | kLogGroupXtr | kLogGroupNet, "disk full"};
    char thread[32];
    std::snprintf(thread, sizeof thread, "%p",
                  reinterpret_cast<void*>(static_cast<std::uintptr_t>(Platform::CurrentThreadId())));
    struct Case {
        const char* format;
        std::string expected;
    } cases[] = {
        {"#D", "2024-01-31T23:09:05.007\n"},
        {"#L", " ERROR\n"},
        {"#G", "DBG;XTR;NET\n"},
        {"#M", "disk full\n"},
        {"#E", std::string(ExecutableFileName()) + "\n"},
        {"#T", std::string(thread) + "\n"},
        {"#D| #L| #G| #M", "2024-01-31T23:09:05.007|  ERROR| DBG;XTR;NET| disk full\n"},
        {"##", "#\n"},
        {"#Q#z", "Qz\n"},
        {"100%", "100%\n"},
        {"tail#", "tail\n"},
        {"", "\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(Render(record, c.format), c.expected) << c.format;
    // The elapsed time: seconds and milliseconds.
    EXPECT_TRUE(std::regex_match(Render(record, "#H"), std::regex("[0-9]{6}\\.[0-9]{3}\n")));
    // Every group set: 64 names of three characters, the longest the field holds.
    record.groups = ~0ull;
    EXPECT_EQ(Render(record, "#G"), LogGroups().Names(~0ull) + "\n");
}

TEST(LogRecord, EndsInExactlyOneLineBreakAlsoWhenCutAtCapacity) {
    LogRecord record{kTime, 0, 0, "line\n"};
    EXPECT_EQ(Render(record, "#M"), "line\n");
    EXPECT_EQ(Render(record, "#M#M"), "line\nline\n");
    record.message = nullptr;
    EXPECT_EQ(Render(record, "[#M]"), "[]\n");
    const std::string message(5000, 'x');
    record.message = message.c_str();
    EXPECT_EQ(Render(record, "ab#M", 6), "abxx\n");
    EXPECT_EQ(Render(record, "#M", 2), "\n");
}

}  // namespace
}  // namespace Norv
