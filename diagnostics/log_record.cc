#include "diagnostics/log_record.h"

#include "diagnostics/elapsed_clock.h"
#include "diagnostics/log_groups.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

namespace Norv {

namespace {

// Appends to a fixed buffer up to a limit; reports when the limit is reached.
class TextSink {
public:
    TextSink(char* buffer, std::size_t limit) : buffer_(buffer), limit_(limit) {}

    bool Full() const { return length_ >= limit_; }
    std::size_t Length() const { return length_; }

    void Append(std::string_view text) {
        std::size_t count = text.size() < limit_ - length_ ? text.size() : limit_ - length_;
        std::memcpy(buffer_ + length_, text.data(), count);
        length_ += count;
    }
    void Append(char c) {
        if (!Full()) buffer_[length_++] = c;
    }
    // A decimal number padded with zeros to the width, as "%0<width>d" would
    // print it, without the C library's locale.
    void AppendPadded(std::int64_t value, int width) {
        char digits[24];
        auto [end, error] = std::to_chars(digits, digits + sizeof digits, value < 0 ? -value : value);
        (void)error;
        int count = static_cast<int>(end - digits);
        if (value < 0) {
            Append('-');
            --width;
        }
        for (int i = count; i < width; ++i) Append('0');
        Append(std::string_view(digits, static_cast<std::size_t>(count)));
    }

private:
    char* buffer_;
    std::size_t limit_;
    std::size_t length_ = 0;
};

void AppendTimeStamp(TextSink& sink, const Platform::LocalTime& time, char timeSeparator, bool milliseconds) {
    sink.AppendPadded(time.year, 4);
    sink.Append('-');
    sink.AppendPadded(time.month, 2);
    sink.Append('-');
    sink.AppendPadded(time.day, 2);
    sink.Append('T');
    sink.AppendPadded(time.hour, 2);
    sink.Append(timeSeparator);
    sink.AppendPadded(time.minute, 2);
    sink.Append(timeSeparator);
    sink.AppendPadded(time.second, 2);
    if (milliseconds) {
        sink.Append('.');
        sink.AppendPadded(time.millisecond, 3);
    }
}

std::size_t WriteTimeStamp(const Platform::LocalTime& time, char* buffer, std::size_t capacity, char separator,
                           bool milliseconds) {
    if (buffer == nullptr || capacity == 0) return 0;
    TextSink sink(buffer, capacity - 1);
    AppendTimeStamp(sink, time, separator, milliseconds);
    buffer[sink.Length()] = '\0';
    return sink.Length();
}

struct ExecutablePath {
    char path[1024];
    const char* fileName;

    ExecutablePath() : path{}, fileName("<unknown>") {
        if (Platform::ProcessModuleFileName(path, sizeof path) == 0) return;
        fileName = path;
        for (const char* c = path; *c != '\0'; ++c) {
            if (*c == '\\' || *c == '/') fileName = c + 1;
        }
    }
};

}  // namespace

const char* LogLevelLabel(std::int32_t level) {
    static constexpr const char* kLabels[] = {"  OKAY", "  WARN", " ERROR", "ALWAYS"};
    return level >= 0 && level <= 3 ? kLabels[level] : "   ???";
}

const char* ExecutableFileName() {
    static const ExecutablePath executable;
    return executable.fileName;
}

std::size_t FormatLogTimeStamp(const Platform::LocalTime& time, char* buffer, std::size_t capacity) {
    return WriteTimeStamp(time, buffer, capacity, ':', true);
}

std::size_t FormatLogFileTimeStamp(const Platform::LocalTime& time, char* buffer, std::size_t capacity) {
    return WriteTimeStamp(time, buffer, capacity, '-', false);
}

std::size_t RenderLogRecord(const LogRecord& record, const char* format, char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity < 2) return 0;
    TextSink sink(buffer, capacity - 2);
    for (const char* c = format == nullptr ? "" : format; *c != '\0' && !sink.Full(); ++c) {
        if (*c != '#') {
            sink.Append(*c);
            continue;
        }
        if (*++c == '\0') break;
        switch (*c) {
            case 'D':
                AppendTimeStamp(sink, record.time, ':', true);
                break;
            case 'E':
                sink.Append(ExecutableFileName());
                break;
            case 'G': {
                char names[LogGroupTable::kCapacity * 4 + 1];
                sink.Append(std::string_view(names, LogGroups().AppendNames(record.groups, names, 0, sizeof names)));
                break;
            }
            case 'H': {
                double seconds = ElapsedSeconds();
                auto whole = static_cast<std::int64_t>(seconds);
                sink.AppendPadded(whole, 6);
                sink.Append('.');
                sink.AppendPadded(static_cast<std::int64_t>((seconds - static_cast<double>(whole)) * 1000.0), 3);
                break;
            }
            case 'L':
                sink.Append(LogLevelLabel(record.level));
                break;
            case 'M':
                sink.Append(record.message == nullptr ? "" : record.message);
                break;
            case 'T': {
                char thread[32];
                int length =
                    std::snprintf(thread, sizeof thread, "%p",
                                  reinterpret_cast<void*>(static_cast<std::uintptr_t>(Platform::CurrentThreadId())));
                if (length > 0) sink.Append(std::string_view(thread, static_cast<std::size_t>(length)));
                break;
            }
            default:
                sink.Append(*c);
                break;
        }
    }
    std::size_t length = sink.Length();
    if (length == 0 || buffer[length - 1] != '\n') buffer[length++] = '\n';
    buffer[length] = '\0';
    return length;
}

}  // namespace Norv
