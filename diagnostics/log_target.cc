#include "diagnostics/log_target.h"

#include "diagnostics/log_manager.h"

namespace Norv {

namespace {

LogTarget& Target(LogTargetInterface* self) {
    return *self->target;
}

constexpr LogTargetOperations kOperations = {
    [](LogTargetInterface*) -> std::int32_t { return 1; },
    [](LogTargetInterface* self, std::int32_t level) { Target(self).SetLevel(level); },
    [](LogTargetInterface* self) { return Target(self).Level(); },
    [](LogTargetInterface* self, std::uint64_t include, std::uint64_t exclude) {
        Target(self).SetMasks(include, exclude);
    },
    [](LogTargetInterface* self) { return Target(self).IncludeMask(); },
    [](LogTargetInterface* self) { return Target(self).ExcludeMask(); },
    [](LogTargetInterface* self) { return Target(self).Name(); },
    [](LogTargetInterface* self) { return Target(self).LineFormat(); },
    [](LogTargetInterface* self) { Target(self).Attach(); },
    [](LogTargetInterface* self) { Target(self).Detach(); },
    [](LogTargetInterface* self) { return Target(self).IsAttached(); },
    [](LogTargetInterface* self, const LogRecord* record) {
        LogTarget& target = Target(self);
        return !target.Accepts(*record) || target.Write(*record);
    },
};

}  // namespace

LogTarget::LogTarget() : interface_{&kOperations, this} {}

LogTarget::~LogTarget() {
    LogTarget::Detach();
}

// The manager a target remembers may be gone (a target removed from its list
// directly is not detached when it is destroyed); only the live one is asked.
void LogTarget::Detach() {
    LogManager* manager = manager_.exchange(nullptr);
    if (manager != nullptr && manager == LogManager::Existing()) manager->DetachTarget(&interface_);
}

void LogTarget::Attach() {
    AttachTo(LogManager::Current());
}

void LogTarget::AttachTo(LogManager& manager) {
    if (manager_.load() == &manager && manager.HasTarget(&interface_)) return;
    Detach();
    manager_.store(&manager);
    manager.AttachTarget(&interface_);
}

bool LogTarget::IsAttached() const {
    LogManager* manager = manager_.load();
    return manager != nullptr && manager == LogManager::Existing() && manager->HasTarget(&interface_);
}

void LogTarget::SetMasks(std::uint64_t include, std::uint64_t exclude) {
    include_.store(include & ~exclude);
    exclude_.store(exclude);
}

void LogTarget::Configure(const LogTargetSettings& settings) {
    Detach();
    StoreSettings(settings);
    Attach();
    SetLevel(settings.level);
    SetMasks(settings.include, settings.exclude);
}

void LogTarget::StoreSettings(const LogTargetSettings& settings) {
    level_.store(settings.level);
    include_.store(settings.include);
    exclude_.store(settings.exclude);
    format_ = settings.format;
}

bool LogTarget::Accepts(const LogRecord& record) const {
    if (record.level < level_.load()) return false;
    if (record.groups == 0) return true;
    if ((record.groups & exclude_.load()) != 0) return false;
    std::uint64_t include = include_.load();
    return include == 0 || (record.groups & include) != 0;
}

}  // namespace Norv
