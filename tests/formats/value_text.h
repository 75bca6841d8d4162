// Compact text of a value tree, so reader tests can state whole results in one
// table cell: ~ Empty, true/false, i:-5 Signed, u:5 Unsigned, f:1.5 Float,
// 'text' String (NUL as \0), b:0a0b Blob hex, [a,b] Collection, {k=v} Structure.
#pragma once

#include <charconv>
#include <string>

#include "binding/binding_property.h"

namespace Norv::Testing {

inline void AppendValueText(std::string& out, const BindingProperty& value) {
    const auto number = [&out](const char* prefix, auto n) {
        char buffer[32];
        out += prefix;
        out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, n).ptr);
    };
    switch (value.kind()) {
        case BindingValueKind::Empty:
            out += '~';
            return;
        case BindingValueKind::Bool:
            out += value.getBool() ? "true" : "false";
            return;
        case BindingValueKind::Signed:
            return number("i:", value.getSigned());
        case BindingValueKind::Unsigned:
            return number("u:", value.getUnsigned());
        case BindingValueKind::Float:
            return number("f:", value.getFloat());
        case BindingValueKind::String:
            out += '\'';
            for (char c : value.getString()) {
                if (c == '\0') {
                    out += "\\0";
                } else {
                    out += c;
                }
            }
            out += '\'';
            return;
        case BindingValueKind::Blob:
            out += "b:";
            for (std::uint8_t byte : value.getBlob()) {
                out += "0123456789abcdef"[byte >> 4];
                out += "0123456789abcdef"[byte & 15];
            }
            return;
        case BindingValueKind::Collection: {
            out += '[';
            const char* separator = "";
            for (const BindingProperty& element : value.elements()) {
                out += separator;
                AppendValueText(out, element);
                separator = ",";
            }
            out += ']';
            return;
        }
        case BindingValueKind::Structure: {
            out += '{';
            const char* separator = "";
            for (BindingMember member : value.members()) {
                out += separator;
                out += member.name;
                out += '=';
                AppendValueText(out, member.value);
                separator = ",";
            }
            out += '}';
            return;
        }
        default:
            out += '?';
            return;
    }
}

inline std::string ValueText(const BindingProperty& value) {
    std::string out;
    AppendValueText(out, value);
    return out;
}

}  // namespace Norv::Testing
