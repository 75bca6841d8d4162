// The bottom of the plugin object: the tables that route resource events to
// the handlers watching a path or a path pattern, and WatchResource, which
// fills them and delivers the current state as a first, synthetic event.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>

#include "binding/assign_value.h"
#include "plugin/debug_trace.h"
#include "plugin/host_types.h"
#include "remoting/remoting_call.h"

namespace Norv {

class BindingRegistry;

// A resource event with its data converted to the watcher's type.
template <class T>
struct ResourceEvent {
    std::string uri;
    Client::PluginResourceEventType eventType = Client::PluginResourceEventType::Create;
    T data{};
};

using ResourceEventHandler = std::function<void(const Client::PluginResourceEvent&)>;

// One watch: its handler, whether it is still registered (a handler running
// from a copy checks this before it is called), and how many events it saw.
struct ResourceWatch {
    explicit ResourceWatch(ResourceEventHandler handler) : handler(std::move(handler)) {}
    ResourceEventHandler handler;
    bool active = true;
    std::uint64_t delivered = 0;
};

inline constexpr const char* kResourceConversionTrace =
    "Couldn't convert resource %s to C++ while handling update for URL: %s";

// Converts resource or answer data into a native T: a deep copy for
// BindingProperty, the registered structure's rules for a structure.
template <class T>
void ConvertResourceData(BindingResult& result, T& target, const BindingProperty& input, std::string_view name,
                         const BindingRegistry* registry) {
    if constexpr (NativeType::Structure<T>) {
        const BindingTypeDescriptor* descriptor =
            registry == nullptr ? nullptr : registry->findTypeByHash(StaticType::HashCode<T>());
        assignStruct(result, &target, input, descriptor, name);
    } else if constexpr (std::is_enum_v<T>) {
        const BindingTypeDescriptor* descriptor =
            registry == nullptr ? nullptr : registry->findTypeByHash(StaticType::HashCode<T>());
        assignNative(result, target, input, name, registry, descriptor);
    } else {
        assignNative(result, target, input, name, registry, nullptr);
    }
}

class ResourceEventSource {
public:
    // Slots 0 and 1: nothing to do at this level.
    virtual void Subscribe(const std::string& path);
    virtual void Unsubscribe(const std::string& path);

    // Watches a path, or a pattern with '*', replacing an earlier watch of the
    // same text. For a plain path the current state is fetched with a GET and
    // handed over as a Create event, unless an event for the path arrived
    // while the GET waited (the event is newer).
    template <class T>
    void WatchResource(const std::string& path, std::function<void(const ResourceEvent<T>&)> handler);

    // Ends the watch of exactly this path or pattern and gives up its
    // subscription; its handler never runs again. False when nothing watched it.
    bool UnwatchResource(const std::string& path);

protected:
    ResourceEventSource() = default;
    // Not virtual: objects are destroyed through PluginCore, which adds it.
    ~ResourceEventSource() = default;

    // What the synthetic first event's GET goes through; none at this level.
    virtual RemotingTransport* ResourceTransport();

    void ClearResourceHandlers();

    // The registry that converts event data; Start copies it from PluginCore.
    BindingRegistry* eventRegistry_ = nullptr;
    std::unordered_map<std::string, std::shared_ptr<ResourceWatch>> exactPathHandlers_;
    std::unordered_map<std::string, std::shared_ptr<ResourceWatch>> wildcardHandlers_;

private:
    // `replaced` tells whether the path had a watch, whose subscription the new one takes over.
    std::shared_ptr<ResourceWatch> StoreWatch(const std::string& path, ResourceEventHandler handler, bool& replaced);
};

template <class T>
void ResourceEventSource::WatchResource(const std::string& path, std::function<void(const ResourceEvent<T>&)> handler) {
    auto typedHandler = std::make_shared<const std::function<void(const ResourceEvent<T>&)>>(std::move(handler));
    bool replaced = false;
    std::shared_ptr<ResourceWatch> watch = StoreWatch(
        path,
        [this, typedHandler](const Client::PluginResourceEvent& event) {
            ResourceEvent<T> typed;
            typed.uri = event.uri;
            typed.eventType = event.eventType;
            if (event.eventType != Client::PluginResourceEventType::Delete) {
                BindingResult converted;
                ConvertResourceData(converted, typed.data, event.data, "<value>", eventRegistry_);
                if (!converted.ok()) {
                    DebugTrace(kResourceConversionTrace, {converted.error(), event.uri});
                    return;
                }
            }
            (*typedHandler)(typed);
        },
        replaced);
    // One subscription per watched path, so that unwatching it gives back all it took.
    if (!replaced) Subscribe(path);
    if (path.find('*') != std::string::npos) return;

    RemotingTransport* transport = ResourceTransport();
    if (transport == nullptr) return;
    const std::uint64_t deliveredBefore = watch->delivered;
    RemotingResult<T> current = RemotingCallFor<T>(*transport, kMethodGet, path);
    if (!current.ok() || !watch->active || watch->delivered != deliveredBefore) return;
    ResourceEvent<T> created;
    created.uri = path;
    created.eventType = Client::PluginResourceEventType::Create;
    created.data = std::move(current.value());
    (*typedHandler)(created);
}

}  // namespace Norv
