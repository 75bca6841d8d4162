#include "plugin/resource_event_source.h"

namespace Norv {

void ResourceEventSource::Subscribe(const std::string&) {}

void ResourceEventSource::Unsubscribe(const std::string&) {}

void ResourceEventSource::ClearResourceHandlers() {
    exactPathHandlers_.clear();
    wildcardHandlers_.clear();
}

}  // namespace Norv
