#include "binding/help/api_help.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "binding/binding_registry.h"
#include "binding/help/epytext.h"
#include "binding/static_type.h"
#include "binding/to_value.h"

namespace Norv {

namespace {

// "vector" and "map" stand for themselves; only enumerations and structures
// have a name of their own.
std::string PlainTypeName(const BindingTypeIdentifier& type) {
    if ((type.kind == BindingTypeKind::Enum || type.kind == BindingTypeKind::Struct) && type.descriptor) {
        return type.descriptor->name;
    }
    return BindingTypeKindName(type.kind);
}

// Copies sorted by name, byte-wise; items that share a name keep their order.
template <class Item>
std::vector<const Item*> SortedByName(const std::vector<const Item*>& items) {
    std::vector<const Item*> sorted;
    sorted.reserve(items.size());
    for (const Item* item : items) {
        if (item) sorted.push_back(item);
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const Item* a, const Item* b) { return a->name < b->name; });
    return sorted;
}

template <class Help>
const BindingTypeDescriptor* HelpDescriptor(const BindingRegistry& registry) {
    return registry.findTypeByHash(StaticType::HashCode<Help>());
}

// Appends each item's help, converted as its registered help type, to `list`.
template <class Help, class Item, class MakeHelp>
void AppendFull(BindingResult& result, BindingProperty& list, const BindingRegistry& registry,
                const std::vector<const Item*>& items, MakeHelp&& makeHelp) {
    const BindingTypeDescriptor* descriptor = HelpDescriptor<Help>(registry);
    list.makeCollection();
    list.reserve(items.size());
    for (const Item* item : items) {
        const Help help = makeHelp(*item);
        ToValueDetail::structInto(result, list.append(), &help, descriptor);
        if (!result.ok()) return;
    }
}

// Sets the member of each item's name to its epytext text.
template <class Item, class Render>
void AppendEpytext(BindingProperty& texts, const std::vector<const Item*>& items, Render&& render) {
    texts.makeStructure();
    std::string text;
    for (const Item* item : items) {
        text.clear();
        render(text, *item);
        texts.member(item->name) = std::string_view(text);
    }
}

// What structures and enumerations have in common.
BindingFullTypeHelp TypeHelpWithoutMembers(const BindingTypeDescriptor& type) {
    BindingFullTypeHelp help;
    help.name = type.name;
    help.nameSpace = type.nameSpace;
    help.size = type.size;
    help.description = type.description;
    help.tags = type.tags;
    return help;
}

BindingFullTypeHelp TypeHelp(const BindingTypeDescriptor& type) {
    return type.isEnum ? EnumTypeHelp(type) : StructTypeHelp(type);
}

void RenderEpytextType(std::string& out, const BindingTypeDescriptor& type) {
    if (type.isEnum) {
        RenderEpytextEnum(out, type);
    } else {
        RenderEpytextStruct(out, type);
    }
}

}  // namespace

BindingFullTypeIdentifier FullTypeIdentifier(const BindingTypeIdentifier& type) {
    BindingFullTypeIdentifier full;
    full.type = PlainTypeName(type);
    if (IsBindingContainerKind(type.kind)) full.elementType = PlainTypeName(type.elementType());
    return full;
}

BindingFullArgumentHelp ArgumentHelp(const BindingParameterDescriptor& parameter) {
    BindingFullArgumentHelp help;
    help.name = parameter.name;
    help.description = parameter.description;
    help.type = FullTypeIdentifier(parameter.type);
    help.optional = parameter.optional;
    return help;
}

BindingFullFunctionHelp FunctionHelp(const BindingFunctionDescriptor& function) {
    BindingFullFunctionHelp help;
    help.name = function.name;
    help.nameSpace = function.nameSpace;
    help.arguments.reserve(function.parameters.size());
    for (const BindingParameterDescriptor& parameter : function.parameters) {
        help.arguments.push_back(ArgumentHelp(parameter));
    }
    help.returns = FullTypeIdentifier(function.returns);
    help.description = function.description;
    help.help = function.help;
    help.threadSafe = function.threadSafe;
    if (function.async && function.returns.descriptor) help.async = function.returns.descriptor->name;
    help.tags = function.tags;
    return help;
}

BindingFullFieldHelp FieldHelp(const BindingFieldDescriptor& field) {
    BindingFullFieldHelp help;
    help.name = field.name;
    help.description = field.description;
    help.offset = field.offset;
    help.type = FullTypeIdentifier(field.type);
    help.optional = field.isOptional();
    return help;
}

BindingFullTypeHelp StructTypeHelp(const BindingTypeDescriptor& type) {
    BindingFullTypeHelp help = TypeHelpWithoutMembers(type);
    help.fields.reserve(type.fields.size());
    for (const BindingFieldDescriptor& field : type.fields) help.fields.push_back(FieldHelp(field));
    return help;
}

BindingFullTypeHelp EnumTypeHelp(const BindingTypeDescriptor& type) {
    BindingFullTypeHelp help = TypeHelpWithoutMembers(type);
    // In the registry's order, by name.
    help.values.reserve(type.values.size());
    for (const BindingEnumValue& value : type.values)
        help.values.push_back({value.name, value.description, value.value});
    return help;
}

BindingFullEventHelp EventHelp(const BindingEventDescriptor& event) {
    BindingFullEventHelp help;
    help.name = event.name;
    help.nameSpace = event.nameSpace;
    // An unregistered payload type leaves the type empty: whether it was a
    // structure or an enumeration is not known.
    if (event.type) {
        help.type = FullTypeIdentifier(
            {event.type->isEnum ? BindingTypeKind::Enum : BindingTypeKind::Struct, BindingTypeKind::None, event.type});
    }
    help.description = event.description;
    help.tags = event.tags;
    return help;
}

BindingResult BuildApiHelp(const BindingRegistry& registry,
                           const std::vector<const BindingFunctionDescriptor*>& functions,
                           const std::vector<const BindingTypeDescriptor*>& types,
                           const std::vector<const BindingEventDescriptor*>& events, BindingHelpFormat format) {
    const auto sortedFunctions = SortedByName(functions);
    const auto sortedTypes = SortedByName(types);
    const auto sortedEvents = SortedByName(events);

    BindingResult result;
    BindingProperty& help = result.value;
    help.makeStructure();
    BindingProperty& functionsHelp = help.member("functions");
    BindingProperty& typesHelp = help.member("types");
    BindingProperty& eventsHelp = help.member("events");
    switch (format) {
        case BindingHelpFormat::Full:
            AppendFull<BindingFullFunctionHelp>(result, functionsHelp, registry, sortedFunctions, FunctionHelp);
            if (result.ok()) AppendFull<BindingFullTypeHelp>(result, typesHelp, registry, sortedTypes, TypeHelp);
            if (result.ok()) AppendFull<BindingFullEventHelp>(result, eventsHelp, registry, sortedEvents, EventHelp);
            break;
        case BindingHelpFormat::Epytext:
            AppendEpytext(functionsHelp, sortedFunctions, RenderEpytextFunction);
            AppendEpytext(typesHelp, sortedTypes, RenderEpytextType);
            AppendEpytext(eventsHelp, sortedEvents, RenderEpytextEvent);
            break;
    }
    return result;
}

BindingResult BuildApiHelp(const BindingRegistry& registry, BindingHelpFormat format) {
    return BuildApiHelp(registry, registry.functions(), registry.types(), registry.events(), format);
}

}  // namespace Norv
