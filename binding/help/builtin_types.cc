#include "binding/help/builtin_types.h"

#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/help/help_types.h"

namespace Norv {

namespace {

constexpr const char* kAsyncTag = "async";
constexpr const char* kHelpTag = "help";

}  // namespace

void RegisterHelpTypes(BindingRegistry& registry) {
    registry.registerType<BindingHelpFormat>("BindingHelpFormat")
        .description("Help format for binding functions and types.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addEnumValue("Full", BindingHelpFormat::Full, "Native help format")
        .addEnumValue("Epytext", BindingHelpFormat::Epytext, "Python epytext format");

    registry.registerType<BindingFullTypeIdentifier>("BindingFullTypeIdentifier")
        .description("Describes the type of a value.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addField("type", &BindingFullTypeIdentifier::type)
        .addField("elementType", &BindingFullTypeIdentifier::elementType);

    registry.registerType<BindingFullArgumentHelp>("BindingFullArgumentHelp")
        .description("Describes a function parameter.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addField("name", &BindingFullArgumentHelp::name)
        .addField("description", &BindingFullArgumentHelp::description)
        .addField("type", &BindingFullArgumentHelp::type)
        .addField("optional", &BindingFullArgumentHelp::optional);

    registry.registerType<BindingFullFunctionHelp>("BindingFullFunctionHelp")
        .description("Describes a function.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addField("name", &BindingFullFunctionHelp::name)
        .addField("nameSpace", &BindingFullFunctionHelp::nameSpace)
        .addField("arguments", &BindingFullFunctionHelp::arguments)
        .addField("returns", &BindingFullFunctionHelp::returns)
        .addField("description", &BindingFullFunctionHelp::description)
        .addField("help", &BindingFullFunctionHelp::help)
        .addField("threadSafe", &BindingFullFunctionHelp::threadSafe)
        .addField("async", &BindingFullFunctionHelp::async)
        .addField("tags", &BindingFullFunctionHelp::tags);

    registry.registerType<BindingFullEnumValueHelp>("BindingFullEnumValueHelp")
        .description("Describes an enumerator.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addField("name", &BindingFullEnumValueHelp::name)
        .addField("description", &BindingFullEnumValueHelp::description)
        .addField("value", &BindingFullEnumValueHelp::value);

    registry.registerType<BindingFullFieldHelp>("BindingFullFieldHelp")
        .description("Describes a member of a struct.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addField("name", &BindingFullFieldHelp::name)
        .addField("description", &BindingFullFieldHelp::description)
        .addField("offset", &BindingFullFieldHelp::offset)
        .addField("type", &BindingFullFieldHelp::type)
        .addField("optional", &BindingFullFieldHelp::optional);

    registry.registerType<BindingFullTypeHelp>("BindingFullTypeHelp")
        .description("Describes a struct or enum type.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addField("name", &BindingFullTypeHelp::name)
        .addField("nameSpace", &BindingFullTypeHelp::nameSpace)
        .addField("size", &BindingFullTypeHelp::size)
        .addField("description", &BindingFullTypeHelp::description)
        .addField("tags", &BindingFullTypeHelp::tags)
        .addField("fields", &BindingFullTypeHelp::fields)
        .addField("values", &BindingFullTypeHelp::values);

    registry.registerType<BindingFullEventHelp>("BindingFullEventHelp")
        .description("Describes an event.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addField("name", &BindingFullEventHelp::name)
        .addField("nameSpace", &BindingFullEventHelp::nameSpace)
        .addField("type", &BindingFullEventHelp::type)
        .addField("description", &BindingFullEventHelp::description)
        .addField("tags", &BindingFullEventHelp::tags);

    registry.registerType<BindingFullApiHelp>("BindingFullApiHelp")
        .description("Describes the exposed native API.")
        .addTag(kBuiltinTag)
        .addTag(kHelpTag)
        .addField("functions", &BindingFullApiHelp::functions)
        .addField("types", &BindingFullApiHelp::types)
        .addField("events", &BindingFullApiHelp::events);
}

void RegisterBuiltinTypes(BindingRegistry& registry) {
    registry.registerType<BindingAsyncState>("BindingAsyncState")
        .description("Possible states of an asynchronous operation.")
        .addTag(kBuiltinTag)
        .addTag(kAsyncTag)
        .addEnumValue("None", BindingAsyncState::None, "Invalid state")
        .addEnumValue("Running", BindingAsyncState::Running, "The operation is in flight")
        .addEnumValue("Cancelling", BindingAsyncState::Cancelling, "A request to cancel the operation has been made")
        .addEnumValue("Cancelled", BindingAsyncState::Cancelled, "The operation was cancelled")
        .addEnumValue("Succeeded", BindingAsyncState::Succeeded, "The operation completed successfully")
        .addEnumValue("Failed", BindingAsyncState::Failed, "The operation encountered an error");

    registry.registerType<BindingGenericEvent>("BindingGenericEvent")
        .description("Represents generic data for an event.")
        .addTag(kBuiltinTag)
        .addField("data", &BindingGenericEvent::data, "Event data");

    registry.registerType<BindingCallbackEvent>("BindingCallbackEvent")
        .description("Represents the parameters of a call to a provided callback.")
        .addTag(kBuiltinTag)
        .addField("id", &BindingCallbackEvent::id, "ID of the callback being invoked")
        .addField("parameters", &BindingCallbackEvent::parameters, "Callback parameters");

    registry.registerType<BindingGenericAsyncEvent>("BindingGenericAsyncEvent")
        .description("Represents generic data for an asynchronous event.")
        .addTag(kBuiltinTag)
        .addTag(kAsyncTag)
        .addField("asyncToken", &BindingGenericAsyncEvent::asyncToken, "Asynchronous operation token")
        .addField("data", &BindingGenericAsyncEvent::data, "Event data");

    registry.registerType<BindingAsyncFailureEvent>("BindingAsyncFailureEvent")
        .description("Represents a failed asynchronous operation.")
        .addTag(kBuiltinTag)
        .addTag(kAsyncTag)
        .addField("asyncToken", &BindingAsyncFailureEvent::asyncToken, "Asynchronous operation token")
        .addField("error", &BindingAsyncFailureEvent::error, "Error message");

    registry.registerType<BindingAsyncCancelEvent>("BindingAsyncCancelEvent")
        .description("Represents a cancelled asynchronous operation.")
        .addTag(kBuiltinTag)
        .addTag(kAsyncTag)
        .addField("asyncToken", &BindingAsyncCancelEvent::asyncToken, "Asynchronous operation token");

    registry.registerEvent<BindingCallbackEvent>(kCallbackEventName)
        .description("Fired when a callback is invoked.")
        .addTag(kBuiltinTag);
}

void BindingRegistry::registerBuiltins() {
    if (builtinsRegistered_) clear();
    RegisterHelpTypes(*this);
    RegisterBuiltinTypes(*this);
    builtinsRegistered_ = true;
}

}  // namespace Norv
