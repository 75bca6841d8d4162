// The assertion report: a failed check turned into one multi-line error text in
// the log. Stopping the process afterwards is the caller's decision.
#pragma once

#include <cstdint>
#include <string>

namespace Norv {

// Null and empty texts, and line 0, leave their part out.
std::string AssertionReportText(const char* expression, const char* description, const char* file, std::uint32_t line,
                                const char* function);

// Logs the report at level 2 in the group "DBG".
void ReportAssertionFailure(const char* expression, const char* description, const char* file, std::uint32_t line,
                            const char* function);

}  // namespace Norv
