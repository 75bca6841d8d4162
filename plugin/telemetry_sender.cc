#include "plugin/telemetry_sender.h"

namespace Norv {

namespace {

bool IsUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~';
}

}  // namespace

std::string TelemetryPath(std::string_view eventName) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string path = kTelemetryPathPrefix;
    path.reserve(path.size() + eventName.size());
    for (unsigned char c : eventName) {
        if (IsUnreserved(c)) {
            path += static_cast<char>(c);
        } else {
            path += '%';
            path += kHex[c >> 4];
            path += kHex[c & 0xF];
        }
    }
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
