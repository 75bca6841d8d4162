// Posts telemetry events to the host's telemetry endpoint through the typed
// remoting calls of the plugin object that owns the sender.
#pragma once

#include "binding/binding_property.h"
#include "remoting/remoting_call.h"

#include <future>
#include <optional>
#include <string>
#include <string_view>

namespace Norv {

inline constexpr const char* kTelemetryPathPrefix = "/telemetry/v1/events/";

class TelemetrySenderInterface {
public:
    virtual ~TelemetrySenderInterface() = default;
    // The future is satisfied when it is returned; a failed call leaves its
    // RemotingError in it and logs nothing.
    virtual std::future<std::optional<RemotingError>> SendTelemetry(std::string_view eventName,
                                                                    const BindingProperty& value) = 0;
};

class TelemetrySender final : public TelemetrySenderInterface {
public:
    explicit TelemetrySender(RemotingTransport& client) : client_(client) {}
    std::future<std::optional<RemotingError>> SendTelemetry(std::string_view eventName,
                                                            const BindingProperty& value) override;

private:
    RemotingTransport& client_;
};

// The path of an event: the prefix and the name as it stands. Names come from
// plugin code, never from the host, so they are not encoded.
std::string TelemetryPath(std::string_view eventName);

}  // namespace Norv
