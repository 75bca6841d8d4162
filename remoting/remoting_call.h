// Typed calls into the host's HTTP-like API: native parameters out as host
// value records in a request record, the response record checked, its body
// (a value or a stream) converted into a native answer, and every failure
// reported as a RemotingError with a fixed message. Nothing is thrown past a call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

#include "binding/assign_value.h"
#include "binding/binding_property.h"
#include "binding/binding_registry.h"
#include "binding/to_value.h"
#include "remoting/remoting_error.h"
#include "remoting/request_method.h"

#include <norv_plugin.h>

namespace Norv {

// What a call goes through: the host's request slot and wait slots, the value
// every request carries as its caller context, and the registry that knows the
// structures being converted. The plugin object provides it.
class RemotingTransport {
public:
    virtual ~RemotingTransport() = default;
    // False when no host can take the request (before init, or an empty slot):
    // the call then fails without a response.
    virtual bool send(HostResponseRecord& response, const HostRequestRecord& request) = 0;
    virtual void beginWait(const char* label, std::uint32_t flags) = 0;
    virtual void yieldToHost() = 0;
    virtual void endWait() = 0;
    virtual std::uint32_t callerContext() const = 0;
    virtual const BindingRegistry* registry() const = 0;
};

// The outcome of a call with a typed answer: the answer, or the error.
template <class T>
class RemotingResult {
public:
    RemotingResult(T value) : outcome_(std::in_place_index<0>, std::move(value)) {}
    RemotingResult(RemotingError error) : outcome_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return outcome_.index() == 0; }
    T& value() { return std::get<0>(outcome_); }
    const T& value() const { return std::get<0>(outcome_); }
    const RemotingError& error() const { return std::get<1>(outcome_); }

private:
    std::variant<T, RemotingError> outcome_;
};

namespace RemotingDetail {

// Sends `parameters` (already converted, or a failed conversion) and, when
// `answer` is given, reads the answer's dynamic value into it. The response
// record is released before this returns.
std::optional<RemotingError> Call(RemotingTransport& transport, std::int32_t method, std::string_view path,
                                  const BindingResult& parameters, BindingProperty* answer);

template <class P>
BindingResult ParametersOf(const RemotingTransport& transport, const P& parameters) {
    BindingResult converted;
    if constexpr (NativeType::Structure<P>) {
        const BindingRegistry* registry = transport.registry();
        const BindingTypeDescriptor* descriptor =
            registry == nullptr ? nullptr : registry->findTypeByHash(StaticType::HashCode<P>());
        if (descriptor == nullptr) {
            converted.setError(ToValueMessage::kUnregisteredStructure);
            return converted;
        }
        toValue(converted, parameters, descriptor);
    } else {
        toValue(converted, parameters);
    }
    return converted;
}

}  // namespace RemotingDetail

// A call without parameters and without a typed answer.
std::optional<RemotingError> RemotingCall(RemotingTransport& transport, std::int32_t method, std::string_view path);

// A call with parameters: a Structure travels as named argument entries, any
// other value as one unnamed entry.
template <class P>
std::optional<RemotingError> RemotingCall(RemotingTransport& transport, std::int32_t method, std::string_view path,
                                          const P& parameters) {
    return RemotingDetail::Call(transport, method, path, RemotingDetail::ParametersOf(transport, parameters), nullptr);
}

// A call whose answer is converted into a T.
template <class T>
RemotingResult<T> RemotingCallFor(RemotingTransport& transport, std::int32_t method, std::string_view path);

// Reads a response's stream to its end (4096 bytes a read, yielding to the
// host while it has no more yet) and parses it as JSON; the stream is released
// in every case.
BindingResult ReadStreamedBody(RemotingTransport& transport, const HostResponseRecord& response);

// BeginWait("Wait: yield", 0), YieldToHost, EndWait.
void WaitYield(RemotingTransport& transport);

}  // namespace Norv
