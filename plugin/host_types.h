// The vocabulary every plugin of the family shares with the host: the payloads
// of the events the host delivers and the event names, registered into the
// plugin's registry at the handshake under the tag "nclient".
#pragma once

#include <cstdint>
#include <string>

#include "binding/binding_property.h"
#include "binding/static_type.h"

namespace Norv {

class BindingRegistry;

namespace Client {

enum class PluginManagerState : std::int32_t {
    NotReady = 0,
    PluginsInitialized = 1,
};

enum class PluginResourceEventType : std::int32_t {
    Create = 0,
    Update = 1,
    Delete = 2,
};

}  // namespace Client

template <>
struct StaticTypeText<Client::PluginManagerState> {
    static constexpr FixedText value{"enum Norv::Client::PluginManagerState"};
};
template <>
struct StaticTypeText<Client::PluginResourceEventType> {
    static constexpr FixedText value{"enum Norv::Client::PluginResourceEventType"};
};

namespace Client {

struct PluginManagerResource {
    static constexpr FixedText kStaticTypeText{"struct Norv::Client::PluginManagerResource"};
    PluginManagerState state = PluginManagerState::NotReady;
};

struct PluginResourceEvent {
    static constexpr FixedText kStaticTypeText{"struct Norv::Client::PluginResourceEvent"};
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    BindingProperty data;
};

namespace AppModule {

struct PluginLcdsEvent {
    static constexpr FixedText kStaticTypeText{"struct Norv::Client::AppModule::PluginLcdsEvent"};
    std::string clientId;
    std::string subtopic;
    std::string typeName;
    BindingProperty body;
};

struct PluginLcdsResponse {
    static constexpr FixedText kStaticTypeText{"struct Norv::Client::AppModule::PluginLcdsResponse"};
    std::string typeName;
    BindingProperty body;
};

struct PluginServiceProxyResponse {
    static constexpr FixedText kStaticTypeText{"struct Norv::Client::AppModule::PluginServiceProxyResponse"};
    std::string uuid;
    std::string serviceName;
    std::string methodName;
    std::string payload;
    std::string status;
    std::string error;
};

}  // namespace AppModule

using AppModule::PluginLcdsEvent;
using AppModule::PluginLcdsResponse;
using AppModule::PluginServiceProxyResponse;

inline constexpr const char* kHostTypeTag = "nclient";

inline constexpr const char* kJsonApiEventName = "OnJsonApiEvent";
inline constexpr const char* kLcdsEventName = "OnLcdsEvent";
inline constexpr const char* kServiceProxyUuidEventName = "OnServiceProxyUuidEvent";
inline constexpr const char* kServiceProxyMethodEventName = "OnServiceProxyMethodEvent";
inline constexpr const char* kServiceProxyAsyncEventName = "OnServiceProxyAsyncEvent";

// Registers the types, then the five events. Values and members go only into
// types that are new; the tag goes onto every type and event that lacks it,
// so a second registration changes nothing.
void RegisterHostTypes(BindingRegistry& registry);

}  // namespace Client
}  // namespace Norv
