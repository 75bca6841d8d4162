#include "diagnostics/assertion_report.h"

#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"
#include "diagnostics/log_record.h"

#include <charconv>

namespace Norv {

namespace {
bool Present(const char* text) {
    return text != nullptr && *text != '\0';
}
}  // namespace

std::string AssertionReportText(const char* expression, const char* description, const char* file, std::uint32_t line,
                                const char* function) {
    std::string text = "Assertion failed!\n\n";
    if (Present(file)) text.append("File: ").append(file).append("\n");
    if (line != 0) {
        char digits[16];
        auto result = std::to_chars(digits, digits + sizeof digits, line);
        text.append("Line: ").append(digits, result.ptr).append("\n\n");
    }
    if (Present(function)) text.append("Function: ").append(function).append("\n\n");
    if (Present(expression)) text.append("Expression: ").append(expression);
    if (Present(description)) text.append("\n\n").append("Description: ").append(description);
    return text;
}

void ReportAssertionFailure(const char* expression, const char* description, const char* file, std::uint32_t line,
                            const char* function) {
    std::string text = AssertionReportText(expression, description, file, line, function);
    Log(kLogLevelError, kLogGroupDbg, "%s", text.c_str());
}

}  // namespace Norv
