#include "tests/support/recording_log_target.h"

#include "diagnostics/log_manager.h"

namespace Norv::Testing {

bool RecordingLogTarget::Write(const LogRecord& record) {
    char line[kLogTextCapacity];
    std::size_t length = RenderLogRecord(record, LineFormat(), line, sizeof line);
    lines_.emplace_back(line, length);
    messages_.emplace_back(record.message == nullptr ? "" : record.message);
    levels_.push_back(record.level);
    return true;
}

LogCapture::LogCapture(const char* format) {
    LogManager::Acquire();
    LogManager::Current().StdErrTarget().Detach();
    LogManager::Current().DebuggerTarget().Detach();
    target_.Configure({0, 0, 0, format});
}

LogCapture::~LogCapture() {
    target_.Detach();
    LogManager::Release();
}

}  // namespace Norv::Testing
