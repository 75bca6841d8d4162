#include "diagnostics/log_manager.h"

#include "diagnostics/format.h"
#include "diagnostics/log_api.h"
#include "diagnostics/log_groups.h"
#include "tests/support/comma_decimal_locale.h"
#include "tests/support/recording_log_target.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace Norv {
namespace {

using Testing::RecordingLogTarget;

std::string ThreadText() {
    char text[32];
    std::snprintf(text, sizeof text, "%p",
                  reinterpret_cast<void*>(static_cast<std::uintptr_t>(Platform::CurrentThreadId())));
    return text;
}

// Each test gets a manager of its own: the last release destroys it.
class LogManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        static char debuggerToStderr[] = "NORV_DEBUGGER_OUTPUT=stderr";
        putenv(debuggerToStderr);
        api.Acquire();
    }
    void TearDown() override {
        api.Release();
        EXPECT_EQ(LogManager::Existing(), nullptr);
    }
    void DetachConsoleTargets() {
        for (LogTargetInterface* target : {api.StdErrTarget(), api.DebuggerTarget()}) {
            target->operations->Detach(target);
        }
    }

    const LogApi& api = GetLogApi();
};

// Calls the table's log entry as another part of the plugin would.
void LogThroughApi(std::int32_t level, std::uint64_t groups, const char* format, ...) NORV_PRINTF_FORMAT(3, 4);
void LogThroughApi(std::int32_t level, std::uint64_t groups, const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    GetLogApi().Log(level, groups, format, arguments);
    va_end(arguments);
}

TEST_F(LogManagerTest, DefaultsWriteWarningsToStandardErrorAndTheDebuggerAndDropMutedGroups) {
    ::testing::internal::CaptureStderr();
    LogThroughApi(0, 0, "%s", "dropped");
    LogThroughApi(1, 0, "%s %d", "shown", 7);
    std::string output = ::testing::internal::GetCapturedStderr();
    std::string line = std::string(ExecutableFileName()) + "(" + ThreadText() + "):   WARN| shown 7\n";
    // Without a debugger channel the POSIX debugger target writes to standard error too.
    EXPECT_EQ(output, Platform::IsWindows() ? line : line + line);
    EXPECT_EQ(LogManager::Current().WarningCount(), 1u);

    // Muted groups are dropped, and general messages kept off the console.
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    Log(3, kLogGroupXtr, "muted");
    Log(3, kLogGroupGen, "general");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

    ::testing::internal::CaptureStdout();
    LogManager::Current().StdOutTarget().Attach();
    Log(1, kLogGroupGen, "general");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "general\n");
}

TEST_F(LogManagerTest, BuiltInTargetsHaveTheirFormatsAndMasks) {
    // Version, name, format, level, include and exclude masks, attached.
    const std::pair<LogTargetInterface*, const char*> cases[] = {
        {api.StdErrTarget(), "1 StdErrLogTarget #E(#T): #L| #M 1 1 2 1"},
        {api.StdOutTarget(), "1 StdOutLogTarget #M 1 2 1 0"},
        {api.DebuggerTarget(), "1 DebuggerConsoleLogTarget #E(#T): #L| #M 1 1 0 1"},
    };
    for (const auto& [target, expected] : cases) {
        ASSERT_NE(target, nullptr) << expected;
        const LogTargetOperations& op = *target->operations;
        EXPECT_EQ(
            Format("%1 %2 %3 %4 %5 %6 %7", op.Version(target), op.GetName(target), op.GetFormat(target),
                   op.GetLevel(target), op.GetIncludeMask(target), op.GetExcludeMask(target), op.IsAttached(target)),
            expected);
        EXPECT_EQ(api.FindTarget(op.GetName(target)), op.IsAttached(target) ? target : nullptr) << expected;
    }
}

TEST_F(LogManagerTest, TargetFilterAppliesLevelThenGroups) {
    DetachConsoleTargets();
    api.SetMinimumLevel(0);
    api.SetMutedGroups(0);
    struct Case {
        std::int32_t level;
        std::uint64_t groups;
        std::int32_t targetLevel;
        std::uint64_t include;
        std::uint64_t exclude;
        bool written;
    } cases[] = {
        {0, 0, 1, 0, 0, false},                        // below the target's level
        {1, 0, 1, kLogGroupDbg, kLogGroupDbg, true},   // no groups: always written
        {1, kLogGroupNet, 1, 0, 0, true},              // empty include: every group
        {1, kLogGroupNet, 1, kLogGroupDbg, 0, false},  // include must match
        {1, kLogGroupNet | kLogGroupDbg, 1, kLogGroupDbg, 0, true},
        {1, kLogGroupNet | kLogGroupDbg, 1, kLogGroupDbg, kLogGroupNet, false},  // exclude wins
    };
    for (const Case& c : cases) {
        RecordingLogTarget target;
        target.Configure({c.targetLevel, c.include, c.exclude, "#L|#M"});
        Log(c.level, c.groups, "record");
        EXPECT_EQ(target.Lines().size(), c.written ? 1u : 0u)
            << "level " << c.level << " groups " << c.groups << " include " << c.include;
    }
}

TEST_F(LogManagerTest, ManagerDropsByLevelMuteAndDisable) {
    DetachConsoleTargets();
    RecordingLogTarget target;
    target.Configure({0, 0, 0, "#M"});
    api.SetMinimumLevel(2);
    EXPECT_EQ(api.GetMinimumLevel(), 2);
    Log(1, 0, "below");
    Log(2, 0, "at");
    api.SetMutedGroups(kLogGroupNet);
    EXPECT_EQ(api.GetMutedGroups(), kLogGroupNet);
    Log(3, kLogGroupNet | kLogGroupDbg, "muted");
    api.Disable();
    Log(3, 0, "disabled");
    api.Enable();
    api.SetAuxiliaryFlag();  // not consulted by the logging path
    Log(3, 0, "enabled");
    EXPECT_EQ(target.Messages(), (std::vector<std::string>{"at", "enabled"}));
    // Only written warnings and errors are counted.
    EXPECT_EQ(LogManager::Current().WarningCount(), 0u);
    EXPECT_EQ(LogManager::Current().ErrorCount(), 1u);
}

TEST_F(LogManagerTest, TargetsAreWrittenInAttachmentOrderAndLeaveWhenDestroyed) {
    DetachConsoleTargets();
    std::string order;
    struct Named : RecordingLogTarget {
        Named(std::string* order, char mark) : order_(order), mark_(mark) {}
        bool Write(const LogRecord& record) override {
            *order_ += mark_;
            return RecordingLogTarget::Write(record);
        }
        std::string* order_;
        char mark_;
    };
    Named second(&order, 'b');
    {
        Named first(&order, 'a');
        first.Attach();
        second.Attach();
        second.Attach();  // attaching twice changes nothing
        Log(1, 0, "one");
        EXPECT_EQ(api.FindTarget("RecordingLogTarget"), first.Interface());
        first.Configure({1, 0, 0, "#M"});  // attaches it again, at the end
        Log(1, 0, "configured");
    }
    EXPECT_EQ(api.FindTarget("RecordingLogTarget"), second.Interface());
    Log(1, 0, "two");
    EXPECT_EQ(order, "abbab");
}

TEST_F(LogManagerTest, TargetRemovedThroughTheTableCanAttachAgainAndReferencesKeepTheManager) {
    LogTargetInterface* stdErr = api.StdErrTarget();
    api.DetachTarget(stdErr);
    EXPECT_EQ(api.FindTarget("StdErrLogTarget"), nullptr);
    stdErr->operations->Attach(stdErr);
    EXPECT_EQ(api.FindTarget("StdErrLogTarget"), stdErr);
    // A further reference keeps the manager alive.
    LogManager* manager = LogManager::Existing();
    ASSERT_NE(manager, nullptr);
    api.Acquire();
    api.Release();
    EXPECT_EQ(LogManager::Existing(), manager);
}

TEST_F(LogManagerTest, ConfigurationStoresIncludeWithoutExclude) {
    DetachConsoleTargets();
    RecordingLogTarget target;
    target.Configure({2, kLogGroupDbg | kLogGroupNet, kLogGroupNet, "#L #M"});
    EXPECT_EQ(target.IncludeMask(), kLogGroupDbg);
    EXPECT_EQ(target.ExcludeMask(), kLogGroupNet);
    Log(2, kLogGroupDbg, "formatted %s", "line");
    ASSERT_EQ(target.Lines().size(), 1u);
    EXPECT_EQ(target.Lines()[0], " ERROR formatted line\n");
}

TEST_F(LogManagerTest, MessagesIgnoreTheProcessLocaleAndLongOnesAreCut) {
    DetachConsoleTargets();
    RecordingLogTarget target;
    target.Configure({0, 0, 0, "#M"});
    {
        Testing::CommaDecimalLocale locale;
        ASSERT_TRUE(locale.Active()) << "no comma-decimal locale; scripts/setup.sh generates one";
        Log(1, 0, "%.2f|%g|%s|%d", 1.5, 0.25, "text", 42);
        LogThroughApi(1, 0, "%2$e %1$s", "through the table", 1234.5);
    }
    Log(1, 0, "%s", std::string(6000, 'y').c_str());
    EXPECT_EQ(target.Messages(), (std::vector<std::string>{"1.50|0.25|text|42", "1.234500e+03 through the table",
                                                           std::string(kLogTextCapacity - 1, 'y')}));
}

TEST(LogApi, TableHelpersMatchTheirFunctions) {
    const LogApi& api = GetLogApi();
    EXPECT_EQ(api.Version(), 1);
    const char* const labels[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS", "   ???"};
    for (int level = -1; level < 5; ++level) EXPECT_STREQ(api.LevelLabel(level), labels[level < 0 ? 4 : level]);
    // The bare file name, without its directory.
    EXPECT_EQ(std::string(api.ExecutableName()).rfind("diagnostics_test", 0), 0u) << api.ExecutableName();
    char names[16];
    EXPECT_EQ(api.GroupNames(kLogGroupDbg | kLogGroupGen, names, sizeof names), 7u);
    EXPECT_STREQ(names, "DBG;GEN");
    EXPECT_EQ(api.GroupNames(kLogGroupDbg | kLogGroupGen, names, 5), 4u);
    EXPECT_STREQ(names, "DBG;");
    EXPECT_EQ(api.RegisterGroup("NET"), kLogGroupNet);
    Platform::LocalTime time{2001, 2, 3, 4, 5, 6, 789};
    char stamp[32];
    EXPECT_EQ(api.TimeStamp(&time, stamp, sizeof stamp), 23u);
    EXPECT_STREQ(stamp, "2001-02-03T04:05:06.789");
    EXPECT_EQ(api.FileTimeStamp(&time, stamp, sizeof stamp), 19u);
    EXPECT_STREQ(stamp, "2001-02-03T04-05-06");
    EXPECT_EQ(api.TimeStamp(&time, stamp, 5), 4u);
    EXPECT_STREQ(stamp, "2001");
    LogRecord record{time, 3, 0, "m"};
    char line[32];
    EXPECT_EQ(api.RenderRecord(&record, "#L:#M", line, sizeof line), 9u);
    EXPECT_STREQ(line, "ALWAYS:m\n");
}

}  // namespace
}  // namespace Norv
