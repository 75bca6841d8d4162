#include "plugin/plugin_core.h"

#include <utility>

namespace Norv {

PluginCore::~PluginCore() = default;

void PluginCore::Shutdown() {
    for (const auto& entry : eventHandlers_) UnsubscribeEvent(entry.first, hostHandle_);
    eventHandlers_.clear();
    {
        std::lock_guard<std::mutex> guard(coreMutex_);
        // Seam (service proxy): empty the service-proxy tables here.
    }
    ClearResourceHandlers();
}

void PluginCore::Start(std::uint32_t hostHandle, std::string userAgent) {
    hostHandle_ = hostHandle;
    userAgent_ = std::move(userAgent);
    requestClient_ = this;
    eventRegistry_ = registry_;
    // Seam (telemetry): create the telemetry sender.
    // Seam (service proxy): register the three service-proxy event handlers.
}

}  // namespace Norv
