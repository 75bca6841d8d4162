// The plugin object's core: the host handle, the event and service-proxy
// tables, and the host's operations as virtual slots, so that plugin code never
// touches the host's function table itself.
#pragma once

#include "plugin/resource_event_source.h"

#include <norv_plugin.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace Norv {

// Seam (event subscriptions): the shared holder of one event handler.
class EventHandlerHolder;

class PluginCore : public ResourceEventSource {
public:
    PluginCore() = default;
    PluginCore(const PluginCore&) = delete;
    PluginCore& operator=(const PluginCore&) = delete;

    virtual ~PluginCore();
    // Unsubscribes every event name still subscribed and empties the tables;
    // every table stays usable. A failing core mutex throws its system error.
    virtual void Shutdown();

    // Host slots 0 to 8, in their order.
    virtual std::uint32_t SendRequest(HostResponseRecord* response, const HostRequestRecord* request) = 0;
    virtual std::uintptr_t HostSlot1(std::uintptr_t first, std::uintptr_t second) = 0;
    virtual std::uintptr_t HostSlot2(std::uintptr_t word) = 0;
    virtual std::uint32_t SubscribeEvent(const std::string& eventName, std::uint32_t hostHandle,
                                         HostEventCallback callback, void* context, std::uint32_t flags) = 0;
    virtual std::uint32_t UnsubscribeEvent(const std::string& eventName, std::uint32_t hostHandle) = 0;
    virtual std::uintptr_t HostSlot5(std::uintptr_t first, std::uintptr_t second, std::uintptr_t third, double value,
                                     std::uintptr_t fourth) = 0;
    virtual void YieldToHost() = 0;
    virtual void BeginWait(const std::string& label, std::uint32_t flags) = 0;
    virtual void EndWait() = 0;

    // Keeps the host handle and the user agent once the host has initialised
    // the plugin.
    void Start(std::uint32_t hostHandle, std::string userAgent);

    std::uint32_t HostHandle() const { return hostHandle_; }
    const std::string& UserAgent() const { return userAgent_; }

protected:
    // The object typed remoting calls go through; Start points it here.
    PluginCore* requestClient_ = nullptr;
    // Set when the host-defined types are registered.
    BindingRegistry* registry_ = nullptr;
    std::uint32_t hostHandle_ = 0;
    std::string userAgent_;
    // Seam (telemetry): the owned telemetry sender, created by Start.
    // Seam (event subscriptions): AddEventHandler, Subscribe and Unsubscribe
    // fill these; the event name is the key of both.
    std::unordered_map<std::string, std::shared_ptr<EventHandlerHolder>> eventHandlers_;
    std::unordered_map<std::string, std::int32_t> subscriptionCounts_;
    // Seam (service proxy): the pending-request, async, method and uuid
    // handler tables, guarded by the core mutex.
    std::mutex coreMutex_;
};

}  // namespace Norv
