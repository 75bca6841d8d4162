#include "diagnostics/host_call_guard.h"

#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"

#include <exception>

namespace Norv {

namespace {
constexpr const char* kHostCallExceptionFormat = "Exception in %s: %s";
}  // namespace

void ReportHostCallException(const char* where) noexcept {
    try {
        try {
            throw;
        } catch (const std::exception& exception) {
            Log(kLogLevelError, kLogGroupDbg, kHostCallExceptionFormat, where, exception.what());
        } catch (...) {
            Log(kLogLevelError, kLogGroupDbg, kHostCallExceptionFormat, where, "unknown exception");
        }
    } catch (...) {
        // Logging itself failed (out of memory); the host still gets its failure value.
    }
}

}  // namespace Norv
