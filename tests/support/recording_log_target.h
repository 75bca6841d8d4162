// A log target that keeps every line it is given, rendered with its format,
// and a capture that makes it the process log's only target for a while.
#pragma once

#include "diagnostics/log_target.h"

#include <string>
#include <vector>

namespace Norv::Testing {

class RecordingLogTarget : public LogTarget {
public:
    ~RecordingLogTarget() override { Detach(); }
    const char* Name() const override { return "RecordingLogTarget"; }
    bool Write(const LogRecord& record) override;
    void Flush() override {}

    const std::vector<std::string>& Lines() const { return lines_; }
    // The records' bare messages and levels.
    const std::vector<std::string>& Messages() const { return messages_; }
    const std::vector<std::int32_t>& Levels() const { return levels_; }

private:
    std::vector<std::string> lines_;
    std::vector<std::string> messages_;
    std::vector<std::int32_t> levels_;
};

// Holds a log-manager reference, detaches the console targets and attaches a
// recording target that takes every level and group; releases it all at the end.
class LogCapture {
public:
    explicit LogCapture(const char* format = "#G|#L|#M");
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    RecordingLogTarget& Target() { return target_; }
    const std::vector<std::string>& Lines() const { return target_.Lines(); }

private:
    RecordingLogTarget target_;
};

}  // namespace Norv::Testing
