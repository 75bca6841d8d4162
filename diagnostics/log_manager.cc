#include "diagnostics/log_manager.h"

#include "diagnostics/format.h"
#include "diagnostics/log_groups.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace Norv {

namespace {
constinit std::atomic<LogManager*> g_manager{nullptr};
constinit std::atomic<std::int32_t> g_references{0};
}  // namespace

void LogManager::Acquire() noexcept {
    if (g_references.fetch_add(1) != 0) return;
    try {
        Current();
    } catch (...) {
        // Out of memory: the reference still counts, and the manager is
        // created by its first use; the release that balances it destroys it.
    }
}

void LogManager::Release() noexcept {
    std::int32_t references = g_references.load();
    do {
        if (references <= 0) return;  // unbalanced: never go below zero
    } while (!g_references.compare_exchange_weak(references, references - 1));
    if (references == 1) delete g_manager.exchange(nullptr);
}

LogManager& LogManager::Current() {
    LogManager* manager = g_manager.load(std::memory_order_acquire);
    if (manager != nullptr) return *manager;
    auto* created = new LogManager;
    if (g_manager.compare_exchange_strong(manager, created)) return *created;
    delete created;  // another thread was first
    return *manager;
}

LogManager* LogManager::Existing() {
    return g_manager.load(std::memory_order_acquire);
}

LogManager::LogManager() {
    stdErr_.StoreSettings({1, kLogGroupDbg, kLogGroupGen, "#E(#T): #L| #M"});
    stdOut_.StoreSettings({1, kLogGroupGen, kLogGroupDbg, "#M"});
    debugger_.StoreSettings({1, kLogGroupDbg, 0, "#E(#T): #L| #M"});
    stdErr_.AttachTo(*this);
    debugger_.AttachTo(*this);
}

LogManager::~LogManager() {
    // Last attached first; a target's own detach removes it from the list, and
    // one that does not is dropped anyway.
    for (;;) {
        LogTargetInterface* last;
        {
            std::lock_guard<Platform::Mutex> guard(lock_);
            if (targets_.empty()) break;
            last = targets_.back();
        }
        last->operations->Detach(last);
        std::lock_guard<Platform::Mutex> guard(lock_);
        if (!targets_.empty() && targets_.back() == last) targets_.pop_back();
    }
}

void LogManager::Write(const LogRecord& record) {
    std::lock_guard<Platform::Mutex> guard(lock_);
    if (record.level == 1) ++warnings_;
    if (record.level == 2) ++errors_;
    for (LogTargetInterface* target : targets_) target->operations->Write(target, &record);
}

void LogManager::SetMinimumLevel(std::int32_t level) {
    std::lock_guard<Platform::Mutex> guard(lock_);
    minimumLevel_.store(level);
}

std::int32_t LogManager::MinimumLevel() {
    std::lock_guard<Platform::Mutex> guard(lock_);
    return minimumLevel_.load();
}

void LogManager::SetMutedGroups(std::uint64_t groups) {
    std::lock_guard<Platform::Mutex> guard(lock_);
    mutedGroups_.store(groups);
}

std::uint64_t LogManager::MutedGroups() {
    std::lock_guard<Platform::Mutex> guard(lock_);
    return mutedGroups_.load();
}

void LogManager::SetDisabled(bool disabled) {
    std::lock_guard<Platform::Mutex> guard(lock_);
    disabled_.store(disabled);
}

void LogManager::SetAuxiliaryFlag(bool set) {
    std::lock_guard<Platform::Mutex> guard(lock_);
    auxiliaryFlag_ = set;
}

bool LogManager::AuxiliaryFlag() {
    std::lock_guard<Platform::Mutex> guard(lock_);
    return auxiliaryFlag_;
}

void LogManager::AttachTarget(LogTargetInterface* target) {
    if (target == nullptr) return;
    std::lock_guard<Platform::Mutex> guard(lock_);
    targets_.push_back(target);
}

void LogManager::DetachTarget(LogTargetInterface* target) {
    std::lock_guard<Platform::Mutex> guard(lock_);
    auto found = std::find(targets_.begin(), targets_.end(), target);
    if (found != targets_.end()) targets_.erase(found);
}

bool LogManager::HasTarget(const LogTargetInterface* target) {
    std::lock_guard<Platform::Mutex> guard(lock_);
    return std::find(targets_.begin(), targets_.end(), target) != targets_.end();
}

LogTargetInterface* LogManager::FindTarget(const char* name) {
    if (name == nullptr) return nullptr;
    std::lock_guard<Platform::Mutex> guard(lock_);
    for (LogTargetInterface* target : targets_) {
        const char* targetName = target->operations->GetName(target);
        if (targetName != nullptr && std::strcmp(targetName, name) == 0) return target;
    }
    return nullptr;
}

std::uint32_t LogManager::WarningCount() {
    std::lock_guard<Platform::Mutex> guard(lock_);
    return warnings_;
}

std::uint64_t LogManager::ErrorCount() {
    std::lock_guard<Platform::Mutex> guard(lock_);
    return errors_;
}

namespace {

// Kept out of line so that a dropped record never pays for its frame.
[[gnu::noinline]] void WriteRecord(LogManager& manager, std::int32_t level, std::uint64_t groups, const char* format,
                                   std::va_list arguments) {
    // Rendered by the formatter, not the C library: a number in a log line
    // never follows the process locale.
    char message[kLogTextCapacity];
    FormatPrintfInto(message, sizeof message, format, arguments);
    manager.Write(LogRecord{Platform::CurrentLocalTime(), level, groups, message});
}

LogManager& ManagerForLogging() {
    LogManager* manager = g_manager.load(std::memory_order_acquire);
    return manager != nullptr ? *manager : LogManager::Current();
}

}  // namespace

void LogV(std::int32_t level, std::uint64_t groups, const char* format, std::va_list arguments) {
    LogManager& manager = ManagerForLogging();
    if (manager.Drops(level, groups)) return;
    WriteRecord(manager, level, groups, format, arguments);
}

void Log(std::int32_t level, std::uint64_t groups, const char* format, ...) {
    LogManager& manager = ManagerForLogging();
    if (manager.Drops(level, groups)) return;
    std::va_list arguments;
    va_start(arguments, format);
    WriteRecord(manager, level, groups, format, arguments);
    va_end(arguments);
}

}  // namespace Norv
