#include "plugin/host_types.h"

#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"

#include <algorithm>
#include <vector>

namespace Norv::Client {

namespace {

void AddTagOnce(std::vector<std::string>& tags) {
    if (std::find(tags.begin(), tags.end(), kHostTypeTag) == tags.end()) tags.emplace_back(kHostTypeTag);
}

template <class T>
BindingTypeBuilderFor<T> Declare(BindingRegistry& registry, std::string_view name) {
    BindingTypeBuilderFor<T> builder = registry.registerType<T>(name);
    AddTagOnce(builder.descriptor()->tags);
    return builder;
}

void DeclareEvent(BindingRegistry& registry, std::string_view name, const StaticTypeInfo* payload,
                  std::string_view description) {
    BindingEventBuilder builder = registry.registerEvent(name, payload);
    builder.description(description);
    AddTagOnce(builder.event()->tags);
}

}  // namespace

void RegisterHostTypes(BindingRegistry& registry) {
    Declare<PluginManagerState>(registry, "PluginManagerState")
        .addEnumValue("NotReady", PluginManagerState::NotReady)
        .addEnumValue("PluginsInitialized", PluginManagerState::PluginsInitialized);
    Declare<PluginManagerResource>(registry, "PluginManagerResource").addField("state", &PluginManagerResource::state);
    Declare<PluginResourceEventType>(registry, "PluginResourceEventType")
        .addEnumValue("Create", PluginResourceEventType::Create)
        .addEnumValue("Update", PluginResourceEventType::Update)
        .addEnumValue("Delete", PluginResourceEventType::Delete);
    Declare<PluginResourceEvent>(registry, "PluginResourceEvent")
        .addField("uri", &PluginResourceEvent::uri)
        .addField("eventType", &PluginResourceEvent::eventType)
        .addField("data", &PluginResourceEvent::data);
    Declare<PluginLcdsEvent>(registry, "PluginLcdsEvent")
        .addField("clientId", &PluginLcdsEvent::clientId)
        .addField("subtopic", &PluginLcdsEvent::subtopic)
        .addField("typeName", &PluginLcdsEvent::typeName)
        .addField("body", &PluginLcdsEvent::body);
    Declare<PluginLcdsResponse>(registry, "PluginLcdsResponse")
        .addField("typeName", &PluginLcdsResponse::typeName)
        .addField("body", &PluginLcdsResponse::body);
    Declare<PluginServiceProxyResponse>(registry, "PluginServiceProxyResponse")
        .addField("uuid", &PluginServiceProxyResponse::uuid)
        .addField("serviceName", &PluginServiceProxyResponse::serviceName)
        .addField("methodName", &PluginServiceProxyResponse::methodName)
        .addField("payload", &PluginServiceProxyResponse::payload)
        .addField("status", &PluginServiceProxyResponse::status)
        .addField("error", &PluginServiceProxyResponse::error);

    DeclareEvent(registry, kJsonApiEventName, StaticTypeOf<PluginResourceEvent>(), "Fired when a resource is changed.");
    DeclareEvent(registry, kLcdsEventName, StaticTypeOf<PluginLcdsEvent>(),
                 "Fired when a message is received over the LCDS connection.");
    DeclareEvent(registry, kServiceProxyUuidEventName, StaticTypeOf<PluginServiceProxyResponse>(),
                 "Fired when a uuid-based service proxy message is received.");
    DeclareEvent(registry, kServiceProxyMethodEventName, StaticTypeOf<PluginServiceProxyResponse>(),
                 "Fired when a method-based service proxy message is received.");
    DeclareEvent(registry, kServiceProxyAsyncEventName, StaticTypeOf<PluginServiceProxyResponse>(),
                 "Fired when an async service proxy message is received.");
}

}  // namespace Norv::Client
