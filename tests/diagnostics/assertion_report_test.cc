#include "diagnostics/assertion_report.h"

#include "tests/support/recording_log_target.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

TEST(AssertionReport, TextHasOnlyTheGivenParts) {
    struct Case {
        const char* expression;
        const char* description;
        const char* file;
        std::uint32_t line;
        const char* function;
        const char* expected;
    } cases[] = {
        {"x", nullptr, nullptr, 0, nullptr, "Assertion failed!\n\nExpression: x"},
        {"e", "d", "a", 7, "f",
         "Assertion failed!\n\nFile: a\nLine: 7\n\nFunction: f\n\nExpression: e\n\nDescription: d"},
        {"", "", "", 0, "", "Assertion failed!\n\n"},
        {nullptr, "only", nullptr, 4294967295u, nullptr,
         "Assertion failed!\n\nLine: 4294967295\n\n\n\nDescription: only"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(AssertionReportText(c.expression, c.description, c.file, c.line, c.function), c.expected);
    }
}

TEST(AssertionReport, ReportIsAnErrorInTheDebugGroup) {
    Testing::LogCapture log("#G|#M");
    ReportAssertionFailure("ALE-EECF0606", "why", "", 0, "");
    ASSERT_EQ(log.Target().Levels(), std::vector<std::int32_t>{2});
    EXPECT_EQ(log.Lines()[0], "DBG|Assertion failed!\n\nExpression: ALE-EECF0606\n\nDescription: why\n");
}

}  // namespace
}  // namespace Norv
