// Calls the plugin's exposed functions for the host: the request handler the
// host calls per function, the route behind each function, and the binding of
// a request's headers, query, path, host arguments and body to the function's
// parameters before it is invoked and its result written back.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "binding/binding_function_descriptor.h"
#include "binding/binding_property.h"
#include "binding/binding_registry.h"
#include "binding/static_type.h"
#include "norv_plugin.h"
#include "remoting/call_result.h"
#include "remoting/host_headers.h"
#include "remoting/route_table.h"

namespace Norv {

// The messages of dispatch (format texts for Format).
namespace DispatchMessage {
inline constexpr const char* kInvalidFunction = "Invalid function";
inline constexpr const char* kUnsupportedBuiltin = "Unsupported builtin function";
inline constexpr const char* kUnknownArgument = "Unknown argument '%1' for '%2'.";
inline constexpr const char* kInvalidLocation = "Argument '%1' for '%2' was specified in an invalid location.";
inline constexpr const char* kExpectedValue = "Expected value for argument '%1'.";
inline constexpr const char* kIndexFormat = "Index %1 is in an incorrect format";
inline constexpr const char* kIndexRange = "Index %1 is out of range";
inline constexpr const char* kTooManyElements = "Argument '%1' for '%2' would create more than %3 elements.";
inline constexpr const char* kNestedTooDeep = "Argument '%1' for '%2' is nested more than %3 levels deep.";
inline constexpr const char* kJsonArgument = "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
inline constexpr const char* kYamlArgument = "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";
inline constexpr const char* kMessagePackArgument =
    "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
inline constexpr const char* kUnsupportedBody = "Unsupported body content type";
inline constexpr const char* kExtraMessagePack = "Extra MessgePack data found in body";
// What the host gets when a function (or dispatch itself) throws.
inline constexpr const char* kFunctionThrew = "Function '%1' failed: %2";
}  // namespace DispatchMessage

inline constexpr std::int32_t kStatusBadRequest = 400;
inline constexpr std::int32_t kStatusNotFound = 404;
inline constexpr std::int32_t kStatusFunctionThrew = 500;

// Where a parameter's argument may come from.
enum ParameterLocation : std::uint32_t {
    kLocationAnywhere = 0,
    kLocationQuery = 1,
    kLocationPath = 2,
    kLocationHostArgument = 3,
    kLocationHeader = 4,
    kLocationBody = 5,
};

// Element indexes and depth of a dotted argument path ("items.3.name"): a
// bigger index would grow a collection to any size the caller names.
inline constexpr std::uint32_t kMaxArgumentIndex = 65535;
// Elements that the argument paths of one call may create in all: without it
// a path of many large indexes ("a.65535.65535...") multiplies them.
inline constexpr std::size_t kMaxArgumentElements = 65536;

// The request itself, for a function that asks for it.
struct RemotingRequest {
    static constexpr FixedText kStaticTypeText{"struct Norv::RemotingRequest"};

    std::uint32_t callerContext = 0;
    std::int64_t time = 0;  // 100-nanosecond ticks since 1970, taken before the result is written
    const BindingRegistry* registry = nullptr;
    std::string path;
    std::int32_t method = kMethodNone;
    std::string methodName;  // kMethodNamed only
    HeaderMap headers;
};

// The type codes under which a function asks for a RemotingRequest.
inline constexpr std::uint32_t kRemotingRequestType = StaticType::HashCodeOfText("struct Norv::RemotingRequest");
inline constexpr std::uint32_t kTransportRequestType =
    StaticType::HashCodeOfText("struct Norv::HttpBaseTransport::Request");

// How dispatch calls one function; the function descriptor owns it as its callback.
class FunctionInvoker : public BindingFunctionCallback {
public:
    // Converts the argument values (one per parameter, in order) and calls the
    // function; failures go into `result`. Returns a handle of what the
    // function returned, released through destroy().
    virtual void* invoke(CallResult& result, std::span<BindingProperty> arguments, std::uint32_t callerContext) = 0;
    // Fills the result's body, status and headers from a handle of invoke().
    virtual void write(CallResult& result, const RemotingRequest* request, void* handle,
                       std::uint32_t callerContext) = 0;
    // Called once for every handle invoke() returned other than null.
    virtual void destroy(void* handle) noexcept = 0;
    // The type code of the request object the function wants; 0 for none.
    virtual std::uint32_t requestType() const { return 0; }
};

// A function's route as dispatch keeps it. Parameter locations come from the
// descriptor's parameters; the flag and the text lists are the host's to read.
struct FunctionRoute : Route {
    std::uint8_t flag = 0;
    std::vector<std::vector<std::string>> textLists;
};

// A function descriptor that carries its own route, so the registry that owns
// the function keeps the route alive with it.
struct RoutedFunctionDescriptor : BindingFunctionDescriptor {
    FunctionRoute route;
};

// The plugin's registry of types, events and exposed functions, starting with
// the builtins. Functions enter it through RegisterFunction.
class FunctionDispatcher : public BindingRegistry {
public:
    FunctionDispatcher() { registerBuiltins(); }

    // The routes of the exposed functions in name order, taken under the
    // registry's lock: what the API table hands the host, one handler context each.
    std::vector<const FunctionRoute*> routes() const;
};

// What the host hands back with every call of one function (8 bytes on 32-bit).
struct FunctionHandlerContext {
    void* plugin;
    const FunctionRoute* route;
};
static_assert(sizeof(void*) != 4 || sizeof(FunctionHandlerContext) == 8);

// The handler the host calls for a function. The request's handler context is
// a FunctionHandlerContext. Never throws: a throwing function answers with
// kFunctionThrew and kStatusFunctionThrew.
void NORV_CALL HandleFunctionRequest(HostResponseRecord* response, const HostRequestRecord* request);

// The registry the builtin "Help" describes, and how its help value (the full
// format) is built from it.
struct BuiltinHelp {
    const BindingRegistry* registry = nullptr;
    BindingResult (*build)(const BindingRegistry& registry) = nullptr;
};

// The builtin "Help"'s answer: every function, type and event of `registry`
// in the full help format.
BindingResult BuildBuiltinHelp(const BindingRegistry& registry);

// The builtins that describe `registry`.
inline BuiltinHelp RegistryBuiltins(const BindingRegistry& registry) {
    return {&registry, &BuildBuiltinHelp};
}

// Routes `request` through `table` and calls the function it reaches, filling
// `response` (released first). With `builtins`, a function tagged "$builtin"
// is answered by the builtin call instead; without, it is called like any
// other. May throw; HandleFunctionRequest does not.
void DispatchRequest(HostResponseRecord& response, const HostRequestRecord& request, const RouteTable& table,
                     const BuiltinHelp* builtins = nullptr);

}  // namespace Norv
