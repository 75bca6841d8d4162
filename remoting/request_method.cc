#include "remoting/request_method.h"

namespace Norv {

std::string_view MethodText(std::int32_t method) {
    static constexpr std::string_view kNames[] = {"DELETE", "GET", "HEAD", "OPTIONS", "PATCH", "POST", "PUT"};
    if (method < kMethodDelete || method > kMethodPut) return {};
    return kNames[method - kMethodDelete];
}

std::int32_t HostMethod(std::int32_t hostMethod) {
    return hostMethod >= kMethodDelete && hostMethod <= kMethodNamed ? hostMethod : kMethodNone;
}

}  // namespace Norv
