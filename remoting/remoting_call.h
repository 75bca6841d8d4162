// Typed calls into the host's HTTP-like API: native parameters out as host
// value records in a request record, the response record checked, its body
// (a value or a stream) converted into a native answer, and every failure
// reported as a RemotingError with a fixed message. Nothing is thrown past a call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

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
    // False once no host is left to yield to (it unloaded the plugin): a loop
    // that waits for the host to produce more must end then.
    virtual bool yieldToHost() = 0;
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

// The messages of a call (format texts: %1 the method name, %2 the path).
namespace RemotingMessage {
inline constexpr const char* kParametersNotConverted = "Request not sent: Error converting parameters for %1 %2: %3";
inline constexpr const char* kNotSent = "Request not sent: no host to take %1 %2";
inline constexpr const char* kErrorResponse = "Error response for %1 %2: %3";
inline constexpr const char* kResponseNotConverted = "Error converting response for %1 %2: %3";
inline constexpr const char* kStreamNotRead = "Error reading streamed response for %1 %2: %3";
inline constexpr const char* kCallException = "Exception during request %1 %2: %3";
// When even formatting the exception's message fails.
inline constexpr const char* kCallExceptionUnformatted = "Exception during request";
inline constexpr const char* kStreamReadError = "Stream read error";
inline constexpr const char* kWaitYieldLabel = "Wait: yield";
// The name conversions give the answer in their messages.
inline constexpr const char* kResultName = "<result>";
}  // namespace RemotingMessage

namespace RemotingDetail {

// The parameters of a call without any: an empty Structure, no argument entries.
BindingResult NoParameters();

// Sends `parameters` (already converted, or a failed conversion) and, when
// `answer` is given, reads the answer's dynamic value into it. The response
// record is released before this returns.
std::optional<RemotingError> Call(RemotingTransport& transport, std::int32_t method, std::string_view path,
                                  const BindingResult& parameters, BindingProperty* answer);

// The error of a call that failed on the plugin's side after the answer
// arrived (code 0), and of a call interrupted by an exception (code 0).
RemotingError ConversionError(std::int32_t method, std::string_view path, std::string_view message);
RemotingError ExceptionError(std::int32_t method, std::string_view path) noexcept;

// The element type behind vectors and maps, whose descriptor the elements need.
template <class T>
struct Innermost {
    using type = T;
};
template <class E>
struct Innermost<std::vector<E>> : Innermost<E> {};
template <class E>
struct Innermost<std::unordered_map<std::string, E>> : Innermost<E> {};

template <class T>
const BindingTypeDescriptor* DescriptorFor(const BindingRegistry* registry) {
    using Inner = typename Innermost<T>::type;
    constexpr bool described = NativeType::Structure<Inner> || std::is_enum_v<Inner>;
    if constexpr (described && HasStaticTypeText<Inner>) {
        return registry == nullptr ? nullptr : registry->findTypeByHash(StaticType::HashCode<Inner>());
    } else {
        return nullptr;
    }
}

template <class T>
RemotingResult<T> AnswerAs(const RemotingTransport& transport, std::int32_t method, std::string_view path,
                           BindingProperty& answer) noexcept {
    try {
        if constexpr (std::same_as<T, BindingProperty>) {
            return RemotingResult<T>(std::move(answer));
        } else {
            T value{};
            BindingResult converted;
            const BindingRegistry* registry = transport.registry();
            const BindingTypeDescriptor* descriptor = DescriptorFor<T>(registry);
            if constexpr (NativeType::Structure<T>) {
                assignStruct(converted, &value, answer, descriptor, RemotingMessage::kResultName);
            } else {
                assignNative(converted, value, answer, RemotingMessage::kResultName, registry, descriptor);
            }
            if (!converted.ok()) return ConversionError(method, path, converted.error());
            return RemotingResult<T>(std::move(value));
        }
    } catch (...) {
        return ExceptionError(method, path);
    }
}

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
    BindingResult converted;
    try {
        converted = RemotingDetail::ParametersOf(transport, parameters);
    } catch (...) {
        return RemotingDetail::ExceptionError(method, path);
    }
    return RemotingDetail::Call(transport, method, path, converted, nullptr);
}

// A call whose answer is converted into a T: a registered structure by its
// descriptor, a BindingProperty as it came, anything else by the native rules.
template <class T>
RemotingResult<T> RemotingCallFor(RemotingTransport& transport, std::int32_t method, std::string_view path) {
    BindingProperty answer;
    if (auto error = RemotingDetail::Call(transport, method, path, RemotingDetail::NoParameters(), &answer))
        return std::move(*error);
    return RemotingDetail::AnswerAs<T>(transport, method, path, answer);
}

// Reads a response's stream to its end (4096 bytes a read, yielding to the
// host while it has no more yet) and parses it as JSON; the stream is released
// once in every case. A read that fails or claims more bytes than the buffer
// holds gives "Stream read error".
BindingResult ReadStreamedBody(RemotingTransport& transport, const HostResponseRecord& response);

// BeginWait("Wait: yield", 0), YieldToHost, EndWait.
bool WaitYield(RemotingTransport& transport);

}  // namespace Norv
