// The base of every log target: its filter, its format and the interface of
// plain operations through which the log manager reaches it.
#pragma once

#include "diagnostics/log_record.h"
#include "platform/platform.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace Norv {

class LogManager;
class LogTarget;
struct LogTargetInterface;

// The manager keeps only these operations and the interface they take, so a
// target need not be a C++ object the manager knows.
struct LogTargetOperations {
    std::int32_t (*Version)(LogTargetInterface* self);  // always 1
    void (*SetLevel)(LogTargetInterface* self, std::int32_t level);
    std::int32_t (*GetLevel)(LogTargetInterface* self);
    void (*SetMasks)(LogTargetInterface* self, std::uint64_t include, std::uint64_t exclude);
    std::uint64_t (*GetIncludeMask)(LogTargetInterface* self);
    std::uint64_t (*GetExcludeMask)(LogTargetInterface* self);
    const char* (*GetName)(LogTargetInterface* self);
    const char* (*GetFormat)(LogTargetInterface* self);
    void (*Attach)(LogTargetInterface* self);
    void (*Detach)(LogTargetInterface* self);
    bool (*IsAttached)(LogTargetInterface* self);
    // Filters the record, then writes it; false when the output failed.
    bool (*Write)(LogTargetInterface* self, const LogRecord* record);
};

struct LogTargetInterface {
    const LogTargetOperations* operations;
    LogTarget* target;
};

// What a configuration sets on a target in one step.
struct LogTargetSettings {
    std::int32_t level = 1;
    std::uint64_t include = 0;
    std::uint64_t exclude = 0;
    std::string format = "#D| #L| #G| #M";
};

class LogTarget {
public:
    LogTarget();
    virtual ~LogTarget();  // detaches, so the manager never keeps a dead target
    LogTarget(const LogTarget&) = delete;
    LogTarget& operator=(const LogTarget&) = delete;

    virtual void Detach();
    virtual const char* Name() const { return "LogTarget"; }
    virtual const char* LineFormat() const { return format_.c_str(); }
    // Called only for records that passed the filter.
    virtual bool Write(const LogRecord& record) = 0;
    virtual void Flush() = 0;

    LogTargetInterface* Interface() { return &interface_; }

    // Appends the target to the process's log manager (created if need be);
    // nothing happens when it is attached already.
    void Attach();
    void AttachTo(LogManager& manager);
    // Whether the manager lists the target (it may have been removed from the
    // list directly, through the log table).
    bool IsAttached() const;

    void SetLevel(std::int32_t level) { level_.store(level); }
    std::int32_t Level() const { return level_.load(); }
    // Stores include minus exclude, so a group is never both.
    void SetMasks(std::uint64_t include, std::uint64_t exclude);
    std::uint64_t IncludeMask() const { return include_.load(); }
    std::uint64_t ExcludeMask() const { return exclude_.load(); }

    // Detaches, stores the settings, attaches again (to the current manager
    // when it was not attached), then sets level and masks.
    void Configure(const LogTargetSettings& settings);
    // Stores the settings and leaves the target where it is.
    void StoreSettings(const LogTargetSettings& settings);

    // The target's own filter: level first; a record without groups always
    // passes; else the exclude mask rejects and a non-empty include mask must match.
    bool Accepts(const LogRecord& record) const;

protected:
    Platform::Mutex& OutputLock() { return lock_; }

private:
    LogTargetInterface interface_;
    std::atomic<LogManager*> manager_{nullptr};
    Platform::Mutex lock_;
    std::atomic<std::int32_t> level_{1};
    std::atomic<std::uint64_t> include_{0};
    std::atomic<std::uint64_t> exclude_{0};
    std::string format_ = "#D| #L| #G| #M";
};

}  // namespace Norv
