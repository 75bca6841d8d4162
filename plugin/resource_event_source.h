// The bottom of the plugin object: the tables that route resource events to
// the handlers watching a path or a path pattern.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>

namespace Norv {

class BindingRegistry;
namespace Client {
struct PluginResourceEvent;
}

using ResourceEventHandler = std::function<void(const Client::PluginResourceEvent&)>;

class ResourceEventSource {
public:
    // Slots 0 and 1: nothing to do at this level.
    virtual void Subscribe(const std::string& path);
    virtual void Unsubscribe(const std::string& path);

protected:
    ResourceEventSource() = default;
    // Not virtual: objects are destroyed through PluginCore, which adds it.
    ~ResourceEventSource() = default;

    void ClearResourceHandlers();

    // The registry that converts event data; Start copies it from PluginCore.
    BindingRegistry* eventRegistry_ = nullptr;
    // Seam (resource watching): WatchResource and DispatchResourceEvent fill
    // and read these two tables.
    std::unordered_map<std::string, ResourceEventHandler> exactPathHandlers_;
    std::unordered_map<std::string, ResourceEventHandler> wildcardHandlers_;
};

}  // namespace Norv
