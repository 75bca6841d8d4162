// The plugin itself: keeps the client's messaging connection in step with the
// user's login.
#pragma once

#include "plugin/host_plugin.h"

#include <string>

namespace Norv {

class MessagingServicePlugin : public HostPlugin {
public:
    MessagingServicePlugin() = default;
    ~MessagingServicePlugin() override;

    bool Initialize() override;

private:
    // The last identity token posted to the messaging service.
    std::string loginToken_;
};

}  // namespace Norv
