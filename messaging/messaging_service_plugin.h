// The plugin itself: keeps the client's messaging connection in step with the
// user's login.
#pragma once

#include "plugin/host_plugin.h"

#include <cstdint>
#include <string>

namespace Norv {

inline constexpr const char* kLoginSessionPath = "/vek-login/v1/session";
inline constexpr const char* kAccessTokenPath = "/ulm-auth/v1/authorization/access-token";
inline constexpr const char* kMessagingConnectPath = "/norv-messaging-service/v1/connect";

inline constexpr const char* kLoginSessionGone = "vek-norv-messaging-service: Login session has gone away.";
inline constexpr const char* kLoginTokenChanged = "vek-norv-messaging-service: Login token has changed.";
inline constexpr const char* kLoginTokenMissing = "vek-norv-messaging-service: Login session is missing token.";

class MessagingServicePlugin : public HostPlugin {
public:
    MessagingServicePlugin() = default;
    ~MessagingServicePlugin() override;

    // Watches the login session.
    bool Initialize() override;

    void OnLoginSession(const ResourceEvent<BindingProperty>& event);
    // Whether the host can hand out an access token (the probe succeeded).
    bool HasAccessToken();
    void Connect();
    void Disconnect();

    const std::string& LoginToken() const { return loginToken_; }

private:
    // The last identity token taken from a succeeded session.
    std::string loginToken_;
    // Counts the session events handled. The access-token probe may wait in
    // the host, which can deliver a newer event meanwhile; the older event's
    // handler then stops instead of acting on its stale session.
    std::uint64_t sessionEvents_ = 0;
};

}  // namespace Norv
