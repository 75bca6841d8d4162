#include "plugin/telemetry_sender.h"

namespace Norv {

std::string TelemetryPath(std::string_view eventName) {
    std::string path = kTelemetryPathPrefix;
    path.append(eventName);
    return path;
}

std::future<std::optional<RemotingError>> TelemetrySender::SendTelemetry(std::string_view eventName,
                                                                         const BindingProperty& value) {
    std::promise<std::optional<RemotingError>> promise;
    std::future<std::optional<RemotingError>> future = promise.get_future();
    promise.set_value(RemotingCall(client_, kMethodPost, TelemetryPath(eventName), value));
    return future;
}

}  // namespace Norv
