#include "messaging/messaging_service_plugin.h"

#include "diagnostics/log_groups.h"
#include "diagnostics/log_manager.h"
#include "plugin/plugin_entry.h"

namespace Norv {

const char kModulePluginShortName[] = "vek-norv-messaging-service";

HostPlugin* CreateModulePlugin() {
    return new MessagingServicePlugin;
}

namespace {
constexpr const char* kSucceededState = "SUCCEEDED";
}  // namespace

MessagingServicePlugin::~MessagingServicePlugin() {
    loginToken_.clear();
}

bool MessagingServicePlugin::Initialize() {
    WatchResource<BindingProperty>(kLoginSessionPath,
                                   [this](const ResourceEvent<BindingProperty>& event) { OnLoginSession(event); });
    return true;
}

void MessagingServicePlugin::OnLoginSession(const ResourceEvent<BindingProperty>& event) {
    const std::uint64_t thisEvent = ++sessionEvents_;
    if (event.eventType == Client::PluginResourceEventType::Delete) {
        Log(kLogLevelWarn, kLogGroupDbg, "%s", kLoginSessionGone);
        loginToken_.clear();
        Disconnect();
        return;
    }
    if (event.data.get("state").toString() != kSucceededState) return;
    if (HasAccessToken() || sessionEvents_ != thisEvent) return;

    std::string token = event.data.get("idToken").toString();
    if (token != loginToken_) {
        Log(kLogLevelAlways, kLogGroupDbg, "%s", kLoginTokenChanged);
        loginToken_ = std::move(token);
    }
    if (!loginToken_.empty()) {
        Connect();
        return;
    }
    Log(kLogLevelError, kLogGroupDbg, "%s", kLoginTokenMissing);
}

bool MessagingServicePlugin::HasAccessToken() {
    return RemotingCallFor<BindingProperty>(Remoting(), kMethodGet, kAccessTokenPath).ok();
}

void MessagingServicePlugin::Connect() {
    RemotingCall(Remoting(), kMethodPost, kMessagingConnectPath, loginToken_);
}

void MessagingServicePlugin::Disconnect() {
    RemotingCall(Remoting(), kMethodDelete, kMessagingConnectPath);
}

}  // namespace Norv
