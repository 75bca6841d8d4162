#include "plugin/resource_event_source.h"

namespace Norv {

void ResourceEventSource::Subscribe(const std::string&) {}

void ResourceEventSource::Unsubscribe(const std::string&) {}

RemotingTransport* ResourceEventSource::ResourceTransport() {
    return nullptr;
}

std::shared_ptr<ResourceWatch> ResourceEventSource::StoreWatch(const std::string& path, ResourceEventHandler handler,
                                                               bool& replaced) {
    auto& table = path.find('*') == std::string::npos ? exactPathHandlers_ : wildcardHandlers_;
    auto watch = std::make_shared<ResourceWatch>(std::move(handler));
    std::shared_ptr<ResourceWatch>& slot = table[path];
    replaced = slot != nullptr;
    if (replaced) slot->active = false;
    slot = watch;
    return watch;
}

bool ResourceEventSource::UnwatchResource(const std::string& path) {
    auto& table = path.find('*') == std::string::npos ? exactPathHandlers_ : wildcardHandlers_;
    auto found = table.find(path);
    if (found == table.end()) return false;
    found->second->active = false;
    table.erase(found);
    Unsubscribe(path);
    return true;
}

void ResourceEventSource::ClearResourceHandlers() {
    for (auto* table : {&exactPathHandlers_, &wildcardHandlers_}) {
        for (auto& entry : *table) entry.second->active = false;
        table->clear();
    }
}

}  // namespace Norv
