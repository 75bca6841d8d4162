// Exposing a native function to the host from C++: its name, URL template,
// method and parameters are declared beside the callable, whose parameter and
// return types give the binding types and conversions:
//
//   RegisterFunction(registry, {"Add", "/math/add/{a}", kMethodGet, {{"a", kLocationPath}, {"b"}}},
//                    [](std::int32_t a, std::int32_t b) { return a + b; });
//
// Parameter and return types are those the conversions know (numbers, bool,
// std::string, BindingProperty, blobs, vectors and maps, registered structures
// and enumerations); register structure types before the functions using them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/assign_value.h"
#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/to_value.h"
#include "remoting/function_dispatcher.h"

namespace Norv {

namespace RegistrationMessage {
inline constexpr const char* kParameterCount = "Function '%1' declares %2 parameters but takes %3.";
// Such a placeholder would fail every call that reaches the function.
inline constexpr const char* kUnknownPlaceholder = "URL template '%1' of '%2' names no parameter '%3'.";
}  // namespace RegistrationMessage

struct ParameterDeclaration {
    ParameterDeclaration(std::string name, std::uint32_t location = kLocationAnywhere, bool optional = false)
        : name(std::move(name)), location(location), optional(optional) {}

    std::string name;
    std::uint32_t location = kLocationAnywhere;
    bool optional = false;  // an optional parameter without an argument keeps its default value
    std::string description;
};

struct FunctionDeclaration {
    FunctionDeclaration(std::string name, std::string urlTemplate, std::int32_t method,
                        std::vector<ParameterDeclaration> parameters)
        : name(std::move(name)),
          urlTemplate(std::move(urlTemplate)),
          method(method),
          parameters(std::move(parameters)) {}

    std::string name;
    std::string urlTemplate;
    std::int32_t method = kMethodNone;
    std::vector<ParameterDeclaration> parameters;
    std::string methodName;  // kMethodNamed only
    std::string description;
};

// The outcome of a registration: the function's route, or why there is none.
struct RegisteredFunction {
    const FunctionRoute* route = nullptr;
    std::string error;
    bool ok() const { return route != nullptr; }
};

namespace RegistrationDetail {

template <class F>
struct Signature : Signature<decltype(&F::operator())> {};
template <class R, class... A>
struct Signature<R (*)(A...)> {
    using Result = std::remove_cvref_t<R>;
    using Arguments = std::tuple<std::remove_cvref_t<A>...>;
};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...) const> : Signature<R (*)(A...)> {};
template <class C, class R, class... A>
struct Signature<R (C::*)(A...)> : Signature<R (*)(A...)> {};

// An invoker that knows the descriptor it belongs to, for parameter names and types.
class DescribedInvoker : public FunctionInvoker {
public:
    const BindingFunctionDescriptor* descriptor = nullptr;
};

// Declares the descriptor's parameters and checks the template; the callable's
// part is the invoker.
RegisteredFunction Register(BindingRegistry& registry, FunctionDeclaration&& declaration,
                            std::vector<BindingTypeIdentifier> types, BindingTypeIdentifier returns,
                            std::unique_ptr<DescribedInvoker> invoker);

template <class F>
class CallableInvoker : public DescribedInvoker {
public:
    using Result = typename Signature<F>::Result;
    using Arguments = typename Signature<F>::Arguments;

    CallableInvoker(F function, const BindingRegistry& registry)
        : function_(std::move(function)), registry_(registry) {}

    void* invoke(CallResult& result, std::span<BindingProperty> arguments, std::uint32_t) override {
        Arguments values{};
        BindingResult converted;
        convertAll(converted, values, arguments, std::make_index_sequence<std::tuple_size_v<Arguments>>());
        if (!converted.ok()) {
            result.setError(converted.error());
            return nullptr;
        }
        if constexpr (std::is_void_v<Result>) {
            std::apply(function_, std::move(values));
            return nullptr;
        } else {
            return new Result(std::apply(function_, std::move(values)));
        }
    }

    void write(CallResult& result, const RemotingRequest*, void* handle, std::uint32_t) override {
        if constexpr (!std::is_void_v<Result>) {
            BindingResult converted;
            toValue(converted, *static_cast<const Result*>(handle), descriptor->returns.descriptor);
            if (!converted.ok()) {
                result.setError(converted.error());
                result.status = 400;
                return;
            }
            result.body = std::move(converted.value);
        }
    }

    void destroy(void* handle) noexcept override {
        if constexpr (!std::is_void_v<Result>) delete static_cast<Result*>(handle);
    }

private:
    template <std::size_t... I>
    void convertAll(BindingResult& converted, Arguments& values, [[maybe_unused]] std::span<BindingProperty> arguments,
                    std::index_sequence<I...>) {
        (convertOne<I>(converted, std::get<I>(values), arguments[I]), ...);
    }

    template <std::size_t I, class M>
    void convertOne(BindingResult& converted, M& target, const BindingProperty& input) {
        const BindingParameterDescriptor& parameter = descriptor->parameters[I];
        if (!converted.ok() || (input.isEmpty() && parameter.optional)) return;
        // A structure parameter's own entry, so that a missing one reads as missing.
        if constexpr (NativeType::Structure<M>) {
            assignStruct(converted, &target, input, parameter.type.descriptor, parameter.name);
        } else {
            assignNative(converted, target, input, parameter.name, &registry_, parameter.type.descriptor);
        }
    }

    F function_;
    const BindingRegistry& registry_;
};

template <class Tuple, std::size_t... I>
std::vector<BindingTypeIdentifier> TypesOf(const BindingRegistry& registry, std::index_sequence<I...>) {
    return {NativeTypeIdentifier<std::tuple_element_t<I, Tuple>>(registry)...};
}

}  // namespace RegistrationDetail

// Enters the function into `registry`, which owns it and its route from then on.
template <class F>
RegisteredFunction RegisterFunction(BindingRegistry& registry, FunctionDeclaration declaration, F function) {
    using Invoker = RegistrationDetail::CallableInvoker<F>;
    using Arguments = typename Invoker::Arguments;
    using Result = typename Invoker::Result;
    BindingTypeIdentifier returns;
    if constexpr (!std::is_void_v<Result>) returns = NativeTypeIdentifier<std::remove_cvref_t<Result>>(registry);
    return RegistrationDetail::Register(
        registry, std::move(declaration),
        RegistrationDetail::TypesOf<Arguments>(registry, std::make_index_sequence<std::tuple_size_v<Arguments>>()),
        returns, std::make_unique<Invoker>(std::move(function), registry));
}

}  // namespace Norv
