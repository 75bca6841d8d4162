#include "remoting/function_registration.h"

#include "diagnostics/format.h"

namespace Norv::RegistrationDetail {

RegisteredFunction Register(BindingRegistry& registry, FunctionDeclaration&& declaration,
                            std::vector<BindingTypeIdentifier> types, BindingTypeIdentifier returns,
                            std::unique_ptr<DescribedInvoker> invoker) {
    RegisteredFunction outcome;
    if (declaration.parameters.size() != types.size()) {
        outcome.error =
            Format(RegistrationMessage::kParameterCount, declaration.name, declaration.parameters.size(), types.size());
        return outcome;
    }
    UrlTemplate urlTemplate(declaration.urlTemplate);
    if (!urlTemplate.ok()) {
        outcome.error = urlTemplate.error();
        return outcome;
    }
    for (const UrlParameter& placeholder : urlTemplate.parameters()) {
        bool declared = false;
        for (const ParameterDeclaration& parameter : declaration.parameters)
            declared |= parameter.name == placeholder.name;
        if (!declared) {
            outcome.error = Format(RegistrationMessage::kUnknownPlaceholder, declaration.urlTemplate, declaration.name,
                                   placeholder.name);
            return outcome;
        }
    }

    auto descriptor = std::make_unique<RoutedFunctionDescriptor>();
    descriptor->name = std::move(declaration.name);
    descriptor->description = std::move(declaration.description);
    descriptor->registry = &registry;
    descriptor->returns = returns;
    for (std::size_t i = 0; i < types.size(); ++i) {
        ParameterDeclaration& parameter = declaration.parameters[i];
        BindingParameterDescriptor& entry = descriptor->parameters.emplace_back();
        entry.name = std::move(parameter.name);
        entry.description = std::move(parameter.description);
        entry.type = types[i];
        entry.optional = parameter.optional;
        entry.location = parameter.location;
    }
    descriptor->route.function = descriptor.get();
    descriptor->route.urlTemplate = std::move(urlTemplate);
    descriptor->route.method = declaration.method;
    descriptor->route.methodName = std::move(declaration.methodName);
    invoker->descriptor = descriptor.get();
    descriptor->callback = std::move(invoker);
    auto* entered = static_cast<RoutedFunctionDescriptor*>(registry.registerFunction(std::move(descriptor)));
    outcome.route = &entered->route;
    return outcome;
}

}  // namespace Norv::RegistrationDetail
