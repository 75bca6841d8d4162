// Help for the exposed API: the full format made of the BindingFull*
// structures, or one epytext text per item, built from registry snapshots.
#pragma once

#include <vector>

#include "binding/binding_function_descriptor.h"
#include "binding/binding_property.h"
#include "binding/binding_type_descriptor.h"
#include "binding/help/help_types.h"

namespace Norv {

// The plain name of a type ("vector", "blob", a registered name, "struct"
// when unregistered) and, for vectors and maps, that of one element.
BindingFullTypeIdentifier FullTypeIdentifier(const BindingTypeIdentifier& type);

// The full-format items.
BindingFullArgumentHelp ArgumentHelp(const BindingParameterDescriptor& parameter);
BindingFullFunctionHelp FunctionHelp(const BindingFunctionDescriptor& function);
BindingFullFieldHelp FieldHelp(const BindingFieldDescriptor& field);
BindingFullTypeHelp StructTypeHelp(const BindingTypeDescriptor& type);
BindingFullTypeHelp EnumTypeHelp(const BindingTypeDescriptor& type);
BindingFullEventHelp EventHelp(const BindingEventDescriptor& event);

// A structure with the members "functions", "types" and "events", each item
// sorted by name: collections of full-format items, or structures of epytext
// texts by item name; empty members for any other format. The full format
// converts through the help types registered in `registry`, and fails with
// the conversion's message when they are not.
BindingResult BuildApiHelp(const BindingRegistry& registry,
                           const std::vector<const BindingFunctionDescriptor*>& functions,
                           const std::vector<const BindingTypeDescriptor*>& types,
                           const std::vector<const BindingEventDescriptor*>& events, BindingHelpFormat format);
// Everything `registry` holds.
BindingResult BuildApiHelp(const BindingRegistry& registry, BindingHelpFormat format);

}  // namespace Norv
