#include "remoting/function_dispatcher.h"

#include <charconv>
#include <chrono>
#include <cstring>
#include <exception>
#include <string_view>
#include <utility>

#include "binding/binding_limits.h"
#include "binding/help/api_help.h"
#include "binding/help/builtin_types.h"
#include "binding/host_value.h"
#include "diagnostics/format.h"
#include "diagnostics/host_call_guard.h"
#include "formats/json_reader.h"
#include "formats/msgpack_reader.h"
#include "formats/yaml_reader.h"
#include "remoting/content_type.h"
#include "remoting/query_string.h"
#include "remoting/response_record.h"

namespace Norv {
namespace {

std::string_view TextOr(const char* text) {
    return text == nullptr ? std::string_view() : std::string_view(text);
}

// The argument values of one call and the rules that fill them.
class ArgumentBinder {
public:
    ArgumentBinder(const BindingFunctionDescriptor& function, CallResult& result)
        : function_(function), result_(result), values_(function.parameters.size()) {}

    std::span<BindingProperty> values() { return values_; }

    // A missing required flag reads false.
    void defaultFlags() {
        for (std::size_t i = 0; i < values_.size(); ++i) {
            const BindingParameterDescriptor& parameter = function_.parameters[i];
            if (parameter.type.kind == BindingTypeKind::Bool && !parameter.optional) values_[i] = false;
        }
    }

    // `name` may carry a dotted path into the parameter's value ("opts.limit", "items.2").
    void bindText(std::string_view name, std::string_view text, std::uint32_t location) {
        if (!result_.ok()) return;
        const std::size_t dot = name.find('.');
        const std::string_view parameterName = name.substr(0, dot);
        const std::size_t index = find(parameterName);
        if (index == kNone) return fail(Format(DispatchMessage::kUnknownArgument, parameterName, function_.name));
        if (!allows(index, location)) return;
        if (dot == std::string_view::npos) return assignText(index, text);

        BindingProperty* target = &values_[index];
        std::string_view path = name.substr(dot + 1);
        for (std::size_t depth = 1;; ++depth) {
            const std::size_t end = path.find('.');
            const std::string_view segment = path.substr(0, end);
            if (depth > kMaxNestingDepth)
                return fail(Format(DispatchMessage::kNestedTooDeep, parameterName, function_.name, kMaxNestingDepth));
            if (!segment.empty() && segment[0] >= '0' && segment[0] <= '9') {
                std::uint32_t element = 0;
                if (!parseIndex(segment, element)) return;
                const std::size_t have = target->kind() == BindingValueKind::Collection ? target->size() : 0;
                if (element >= have) {
                    elementsCreated_ += element + 1 - have;
                    if (elementsCreated_ > kMaxArgumentElements)
                        return fail(Format(DispatchMessage::kTooManyElements, parameterName, function_.name,
                                           kMaxArgumentElements));
                }
                target = &target->element(element);
            } else {
                target = &target->member(segment);
            }
            if (end == std::string_view::npos) break;
            path.remove_prefix(end + 1);
        }
        *target = text;
    }

    void bindHostArguments(const HostArgumentEntry* entries, std::uint32_t count, std::size_t pathParameters) {
        if (entries == nullptr) return;
        for (std::uint32_t i = 0; i < count && result_.ok(); ++i) {
            const HostArgumentEntry& entry = entries[i];
            std::size_t index = kNone;
            std::string label;
            if (entry.name != nullptr) {
                label = entry.name;
                index = find(label);
            } else {
                // Positional arguments follow the path parameters.
                const std::size_t position = i + pathParameters;
                label = std::to_string(position);
                if (position < values_.size()) index = position;
            }
            // A named host argument binds whatever the parameter's declared location: hosts hand
            // query and header values over this way.
            if (index == kNone) return fail(Format(DispatchMessage::kUnknownArgument, label, function_.name));
            HostResult failure{};
            BindingProperty value;
            if (!readHostValue(failure, value, entry.value, function_.parameters[index].name)) {
                fail(TextOr(failure.error));
                resetHostResult(failure);
                return;
            }
            values_[index] = std::move(value);
        }
    }

    void bindBody(const HostRequestRecord& record) {
        if (!result_.ok() || record.body == nullptr) return;
        std::size_t index = 0;
        while (index < values_.size() && function_.parameters[index].location != kLocationBody) ++index;
        if (index == values_.size()) return;

        const auto* bytes = static_cast<const char*>(record.body);
        // A length is exact; without one a text body ends at its NUL.
        const std::string_view text(bytes, record.bodyLength != 0 ? record.bodyLength : std::strlen(bytes));
        BindingResult parsed;
        switch (BodyContentType(TextOr(record.contentType))) {
            case kBodyJson:
                parsed = ParseJson(std::string(text));
                break;
            case kBodyYaml:
                parsed = ParseYaml(text);
                break;
            case kBodyMessagePack: {
                std::size_t position = 0;
                parsed = ParseMessagePack(bytes, record.bodyLength, position);
                if (parsed.ok() && position < record.bodyLength) return fail(DispatchMessage::kExtraMessagePack);
                break;
            }
            default:
                return fail(DispatchMessage::kUnsupportedBody);
        }
        if (!parsed.ok()) return fail(parsed.error());
        values_[index] = std::move(parsed.value);
    }

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    void fail(std::string_view message) { result_.setError(message); }

    std::size_t find(std::string_view name) const {
        for (std::size_t i = 0; i < values_.size(); ++i) {
            if (function_.parameters[i].name == name) return i;
        }
        return kNone;
    }

    bool allows(std::size_t index, std::uint32_t location) {
        const BindingParameterDescriptor& parameter = function_.parameters[index];
        if (parameter.location == kLocationAnywhere || parameter.location == location) return true;
        fail(Format(DispatchMessage::kInvalidLocation, parameter.name, function_.name));
        return false;
    }

    // Unsigned, with the base its prefix gives ("0x" hexadecimal, a leading 0 octal).
    bool parseIndex(std::string_view segment, std::uint32_t& index) {
        int base = 10;
        std::string_view digits = segment;
        if (digits.size() > 1 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            base = 16;
            digits.remove_prefix(2);
        } else if (digits.size() > 1 && digits[0] == '0') {
            base = 8;
            digits.remove_prefix(1);
        }
        std::uint64_t number = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
        if (end != digits.data() + digits.size() || (error != std::errc() && error != std::errc::result_out_of_range)) {
            fail(Format(DispatchMessage::kIndexFormat, segment));
            return false;
        }
        if (error == std::errc::result_out_of_range || number > kMaxArgumentIndex) {
            fail(Format(DispatchMessage::kIndexRange, segment));
            return false;
        }
        index = static_cast<std::uint32_t>(number);
        return true;
    }

    void assignText(std::size_t index, std::string_view text) {
        const BindingParameterDescriptor& parameter = function_.parameters[index];
        const BindingTypeKind kind = parameter.type.kind;
        BindingProperty& value = values_[index];
        const bool composite =
            kind == BindingTypeKind::Object || kind == BindingTypeKind::Vector || kind == BindingTypeKind::Struct;
        if (text.empty()) {
            if (kind == BindingTypeKind::Bool) {
                value = true;
            } else if (kind == BindingTypeKind::Vector) {
                value = BindingProperty();
                value.makeCollection();
            } else if (composite) {
                value = BindingProperty();
                value.makeStructure();
            } else {
                fail(Format(DispatchMessage::kExpectedValue, parameter.name));
            }
            return;
        }
        BindingResult parsed;
        const char* message = nullptr;
        switch (ValueContentType({}, text, composite)) {
            case ValueContent::Json:
                parsed = ParseJson(std::string(text));
                message = DispatchMessage::kJsonArgument;
                break;
            case ValueContent::Yaml:
                parsed = ParseYaml(text);
                message = DispatchMessage::kYamlArgument;
                break;
            case ValueContent::MessagePack: {
                std::size_t position = 0;
                parsed = ParseMessagePack(text.data(), text.size(), position);
                message = DispatchMessage::kMessagePackArgument;
                break;
            }
            default:
                value = text;
                return;
        }
        if (!parsed.ok()) return fail(Format(message, parameter.name, function_.name, parsed.error()));
        value = std::move(parsed.value);
    }

    const BindingFunctionDescriptor& function_;
    CallResult& result_;
    std::vector<BindingProperty> values_;
    std::size_t elementsCreated_ = 0;
};

// Destroys a function's result handle however the call ends.
class ResultHandle {
public:
    ResultHandle(FunctionInvoker& invoker, void* handle) : invoker_(invoker), handle_(handle) {}
    ResultHandle(const ResultHandle&) = delete;
    ResultHandle& operator=(const ResultHandle&) = delete;
    ~ResultHandle() {
        if (handle_ != nullptr) invoker_.destroy(handle_);
    }
    void* get() const { return handle_; }

private:
    FunctionInvoker& invoker_;
    void* handle_;
};

std::int64_t CurrentTicks() {
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void CallFunction(HostResponseRecord& response, const HostRequestRecord& record, const RoutingRequest& routing) {
    const BindingFunctionDescriptor& function = *routing.route->function;
    auto* invoker = dynamic_cast<FunctionInvoker*>(function.callback.get());
    CallResult result;
    ArgumentBinder binder(function, result);

    const HeaderMap headers = CollectHeaders(record.headers, record.headerCount);
    std::vector<std::pair<std::string, std::string_view>> headerArguments;
    for (const BindingParameterDescriptor& parameter : function.parameters) {
        if (parameter.location != kLocationAnywhere && parameter.location != kLocationHeader) continue;
        std::string lowered = parameter.name;
        // ASCII only: the process locale must not change which header matches.
        for (char& c : lowered) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        }
        if (auto hit = headers.find(lowered); hit != headers.end())
            headerArguments.emplace_back(parameter.name, hit->second);
    }
    const QueryMap query = ParseQuery(QueryOf(routing.path));

    binder.defaultFlags();
    for (const auto& [name, value] : headerArguments) binder.bindText(name, value, kLocationHeader);
    for (const auto& [name, value] : routing.pathParameters) binder.bindText(name, value, kLocationPath);
    for (const auto& [name, value] : query) binder.bindText(name, value, kLocationQuery);
    binder.bindHostArguments(record.arguments, record.argumentCount, routing.pathParameters.size());
    binder.bindBody(record);

    if (result.ok() && invoker == nullptr) result.setError(DispatchMessage::kInvalidFunction);
    if (!result.ok()) return FillResponse(response, result, function.registry);

    ResultHandle handle(*invoker, invoker->invoke(result, binder.values(), record.callerContext));
    if (result.ok()) {
        const std::uint32_t wanted = invoker->requestType();
        if (wanted == kRemotingRequestType || wanted == kTransportRequestType) {
            RemotingRequest request;
            request.callerContext = record.callerContext;
            request.registry = function.registry;
            request.path = routing.path;
            request.method = routing.method;
            request.methodName = routing.methodName;
            request.headers = headers;
            request.time = CurrentTicks();
            invoker->write(result, &request, handle.get(), record.callerContext);
        } else {
            invoker->write(result, nullptr, handle.get(), record.callerContext);
        }
    }
    FillResponse(response, result, function.registry);
}

}  // namespace

BindingResult BuildBuiltinHelp(const BindingRegistry& registry) {
    return BuildApiHelp(registry, BindingHelpFormat::Full);
}

namespace {

void CallBuiltin(HostResponseRecord& response, const BuiltinHelp& builtins, const BindingFunctionDescriptor& function) {
    if (function.name != "Help" || builtins.registry == nullptr || builtins.build == nullptr) {
        RecordResponseError(response, DispatchMessage::kUnsupportedBuiltin);
        response.status = kStatusBadRequest;
        return;
    }
    BindingResult help = builtins.build(*builtins.registry);
    if (!help.ok()) {
        RecordResponseError(response, help.error());
        response.status = kStatusBadRequest;
        return;
    }
    CallResult result;
    result.body = std::move(help.value);
    FillResponse(response, result, builtins.registry);
}

bool IsBuiltin(const BindingFunctionDescriptor& function) {
    for (const std::string& tag : function.tags) {
        if (tag == kBuiltinTag) return true;
    }
    return false;
}

// Called from a catch block only.
void AnswerThrown(HostResponseRecord& response, const FunctionRoute* route, const char* what) noexcept {
    ReportHostCallException("HandleFunctionRequest");
    GuardHostCall("HandleFunctionRequest", [&] {
        std::string_view name;
        if (route != nullptr && route->function != nullptr) name = route->function->name;
        PrepareResponse(response);
        RecordResponseError(response, Format(DispatchMessage::kFunctionThrew, name, what));
        response.status = kStatusFunctionThrew;
    });
}

}  // namespace

std::vector<const FunctionRoute*> FunctionDispatcher::routes() const {
    std::vector<const FunctionRoute*> routes;
    for (const BindingFunctionDescriptor* function : functions()) {
        if (const auto* routed = dynamic_cast<const RoutedFunctionDescriptor*>(function))
            routes.push_back(&routed->route);
    }
    return routes;
}

void DispatchRequest(HostResponseRecord& response, const HostRequestRecord& request, const RouteTable& table,
                     const BuiltinHelp* builtins) {
    PrepareResponse(response);
    RoutingRequest routing;
    routing.path = TextOr(request.path);
    routing.method = HostMethod(request.method);
    if (routing.method == kMethodNamed) routing.methodName = TextOr(request.methodName);
    if (request.path == nullptr || !table.match(routing) || routing.route->function == nullptr) {
        RecordResponseError(response, DispatchMessage::kInvalidFunction);
        response.status = kStatusNotFound;
        return;
    }
    const BindingFunctionDescriptor& function = *routing.route->function;
    if (builtins != nullptr && IsBuiltin(function)) return CallBuiltin(response, *builtins, function);
    CallFunction(response, request, routing);
}

void NORV_CALL HandleFunctionRequest(HostResponseRecord* response, const HostRequestRecord* request) {
    if (response == nullptr) return;
    const FunctionRoute* route = nullptr;
    try {
        const auto* context =
            request == nullptr ? nullptr : static_cast<const FunctionHandlerContext*>(request->handlerContext);
        route = context == nullptr ? nullptr : context->route;
        if (route == nullptr) {
            PrepareResponse(*response);
            RecordResponseError(*response, DispatchMessage::kInvalidFunction);
            response->status = kStatusNotFound;
            return;
        }
        DispatchRequest(*response, *request, RouteTable(*route));
    } catch (const std::exception& exception) {
        AnswerThrown(*response, route, exception.what());
    } catch (...) {
        AnswerThrown(*response, route, "unknown exception");
    }
}

}  // namespace Norv
