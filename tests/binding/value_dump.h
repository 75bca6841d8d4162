// A value tree as one text, kinds, members and elements included, for
// comparing trees in the binding tests.
#pragma once

#include <string>

#include "binding/binding_property.h"

namespace Norv::Testing {

inline std::string Dump(const BindingProperty& value) {
    std::string text = std::string(value.kindName()) + ":" + value.toString();
    for (const BindingProperty& element : value.elements()) text += "[" + Dump(element) + "]";
    for (const BindingMember member : value.members())
        text += "{" + std::string(member.name) + "=" + Dump(member.value) + "}";
    return text;
}

}  // namespace Norv::Testing
