// Help in epytext markup: one text per function, type or event, every line
// ended by "\r\n". The renderers append to a text the caller stores.
#pragma once

#include <string>
#include <string_view>

#include "binding/binding_function_descriptor.h"
#include "binding/binding_type_descriptor.h"

namespace Norv {

// A leading '-' becomes "E{-}", every '{' "E{lb}" and every '}' "E{rb}"; the
// text ends at its first NUL.
std::string EscapeEpytext(std::string_view text);
void AppendEscapedEpytext(std::string& out, std::string_view text);

// "int32", "bytearray", "list[int32]", "dict[list[L{Foo}]]"; "" for kind 0.
std::string EpytextTypeName(const BindingTypeIdentifier& type);
void AppendEpytextTypeName(std::string& out, const BindingTypeIdentifier& type);

void RenderEpytextFunction(std::string& out, const BindingFunctionDescriptor& function);
void RenderEpytextStruct(std::string& out, const BindingTypeDescriptor& type);
void RenderEpytextEnum(std::string& out, const BindingTypeDescriptor& type);
void RenderEpytextEvent(std::string& out, const BindingEventDescriptor& event);

}  // namespace Norv
