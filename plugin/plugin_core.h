// The plugin object's core: the host handle, the event and service-proxy
// tables, and the host's operations as virtual slots, so that plugin code never
// touches the host's function table itself.
#pragma once

#include "plugin/host_types.h"
#include "plugin/resource_event_source.h"
#include "remoting/remoting_call.h"

#include <norv_plugin.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Norv {

class TelemetrySenderInterface;

// The shared holder of one event handler; the callback checks the holder's
// event type against its own form before it calls it.
class EventHandlerHolder {
public:
    virtual ~EventHandlerHolder() = default;
    virtual const StaticTypeInfo& EventType() const = 0;
};

template <class Event>
class EventHandlerHolderFor final : public EventHandlerHolder {
public:
    explicit EventHandlerHolderFor(std::function<void(const Event&)> handler) : handler_(std::move(handler)) {}
    const StaticTypeInfo& EventType() const override { return StaticType::Identity<Event>(); }
    // An empty handler throws std::bad_function_call.
    void operator()(const Event& event) const { handler_(event); }

private:
    std::function<void(const Event&)> handler_;
};

inline constexpr const char* kSubscribingTrace = "Subscribing to event: %s";
inline constexpr const char* kUnsubscribingTrace = "Unsubscribing to event: %s";
inline constexpr const char* kHandlingEventTrace = "Handling event %s";
inline constexpr const char* kPayloadConversionTrace = "Couldn't convert payload %s for event %s: %s";
inline constexpr const char* kNoAsyncHandlerMessage =
    "Could not find registered handler for async service proxy event %s";
inline constexpr const char* kFulfilledRequestMessage = "Fulfilled service proxy request: %s";
inline constexpr const char* kDroppedAnswerMessage = "Dropped unclaimed service proxy answer: %s";
// Answers no request has claimed yet; beyond this many keys the one that
// arrived (or was refreshed) longest ago goes, with a message.
inline constexpr std::size_t kReceivedAnswerLimit = 256;

using ServiceProxyHandler = std::function<void(const Client::PluginServiceProxyResponse&)>;

// "service.method": the key of method-based and async service-proxy messages.
std::string ServiceProxyMethodKey(const Client::PluginServiceProxyResponse& message);

class PluginCore : public ResourceEventSource {
public:
    PluginCore();
    PluginCore(const PluginCore&) = delete;
    PluginCore& operator=(const PluginCore&) = delete;

    // Slots 0 and 1: counted subscriptions of a path's event name; the host is
    // asked once per name. An Unsubscribe without a Subscribe does nothing.
    void Subscribe(const std::string& path) override;
    void Unsubscribe(const std::string& path) override;

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
    // Whether SendRequest reaches a host; a typed call fails without one.
    virtual bool CanSendRequest() const { return false; }

    // Keeps the host handle and the user agent once the host has initialised
    // the plugin, creates the telemetry sender and points the request client
    // and the event registry at this object's.
    void Start(std::uint32_t hostHandle, std::string userAgent);

    // Registers the handler of an event name (replacing the previous one) and
    // subscribes the name with the host; returns the host's result.
    std::uint32_t AddEventHandler(const std::string& eventName,
                                  std::function<void(const Client::PluginResourceEvent&)> handler,
                                  std::uint32_t flags = 0);
    std::uint32_t AddEventHandler(const std::string& eventName,
                                  std::function<void(const Client::PluginServiceProxyResponse&)> handler,
                                  std::uint32_t flags = 1);

    // Hands a resource event to the watcher of its path and to every matching
    // pattern's watcher.
    void DispatchResourceEvent(const Client::PluginResourceEvent& event);

    // The service proxy: answers are paired with pending requests by key (a
    // uuid, or the method key), async messages go to the handler of their key.
    // Handlers run without the core mutex, so one may register the next
    // request; handlers called on different threads therefore do not exclude
    // each other and must guard what they share themselves.
    void OnServiceProxyUuid(const Client::PluginServiceProxyResponse& answer);
    void OnServiceProxyMethod(const Client::PluginServiceProxyResponse& answer);
    void OnServiceProxyAsync(const Client::PluginServiceProxyResponse& message);
    // Hands the earliest stored answer that a request waits for to that
    // request, which is then forgotten; at most one per call.
    void FulfilPendingRequest();
    // Waits for the answer under `key`; one that arrived first is delivered now.
    void AddPendingRequest(const std::string& key, ServiceProxyHandler handler);
    // Replaces the handler of async messages under `key`.
    void SetAsyncHandler(const std::string& key, ServiceProxyHandler handler);
    std::size_t PendingRequestCount();
    std::size_t ReceivedAnswerCount();

    std::uint32_t HostHandle() const { return hostHandle_; }
    const std::string& UserAgent() const { return userAgent_; }
    // What typed calls go through: the request client set by Start.
    RemotingTransport& Remoting() { return transport_; }
    TelemetrySenderInterface* Telemetry() const { return telemetry_.get(); }

protected:
    RemotingTransport* ResourceTransport() override { return &transport_; }

    // Marks a call from the host into this object. An unload that arrives
    // while one is under way shuts the plugin down at once but destroys it
    // only when the outermost call returns.
    class HostCallScope {
    public:
        explicit HostCallScope(PluginCore& core) : core_(core) { ++core_.activeHostCalls_; }
        ~HostCallScope();
        HostCallScope(const HostCallScope&) = delete;
        HostCallScope& operator=(const HostCallScope&) = delete;

    private:
        PluginCore& core_;
    };
    // Destroys the object now, or when the outermost host call returns.
    static void DestroyWhenIdle(PluginCore* core);

    // The object typed remoting calls go through; Start points it here.
    PluginCore* requestClient_ = nullptr;
    // Set when the host-defined types are registered.
    BindingRegistry* registry_ = nullptr;
    std::uint32_t hostHandle_ = 0;
    std::string userAgent_;
    std::unique_ptr<TelemetrySenderInterface> telemetry_;
    // The event name is the key of both.
    std::unordered_map<std::string, std::shared_ptr<EventHandlerHolder>> eventHandlers_;
    std::unordered_map<std::string, std::int32_t> subscriptionCounts_;
    // The service-proxy tables, guarded by the core mutex. Handlers are taken
    // out (or copied) and run without it, so one that registers, answers or
    // shuts down neither deadlocks nor destroys what runs. Received answers
    // keep their arrival order.
    std::unordered_map<std::string, ServiceProxyHandler> pendingRequests_;
    std::vector<std::pair<std::string, Client::PluginServiceProxyResponse>> receivedAnswers_;
    std::unordered_map<std::string, std::shared_ptr<const ServiceProxyHandler>> asyncHandlers_;
    std::mutex coreMutex_;

private:
    void ReceiveAnswer(std::string key, const Client::PluginServiceProxyResponse& answer);

    class RequestClient final : public RemotingTransport {
    public:
        explicit RequestClient(PluginCore& core) : core_(core) {}
        bool send(HostResponseRecord& response, const HostRequestRecord& request) override;
        void beginWait(const char* label, std::uint32_t flags) override;
        bool yieldToHost() override;
        void endWait() override;
        std::uint32_t callerContext() const override { return core_.hostHandle_; }
        const BindingRegistry* registry() const override { return core_.registry_; }

    private:
        PluginCore& core_;
    };

    template <class Event>
    std::uint32_t StoreEventHandler(const std::string& eventName, std::function<void(const Event&)> handler,
                                    std::uint32_t flags);
    template <class Event>
    static void NORV_CALL EventCallback(const HostEventRecord* record);
    template <class Event>
    void DeliverEvent(const HostEventRecord& record);

    RequestClient transport_{*this};
    std::uint32_t activeHostCalls_ = 0;
    bool destroyWhenIdle_ = false;
};

}  // namespace Norv
