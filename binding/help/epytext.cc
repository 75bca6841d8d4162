#include "binding/help/epytext.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace Norv {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kParagraphEnd = "\r\n\r\n";
// A plain loop: find_first_of with a set of two looks each character up in
// the set through memchr, which costs more than the rest of the rendering.
std::size_t FindBraceOrNul(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '}' || c == '\0') return i;
    }
    return std::string_view::npos;
}

// Descriptions at the top of a text are escaped: they are prose, and one stray
// brace would turn the rest of the help into broken markup.
void AppendEscapedBraces(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t found = FindBraceOrNul(text, 0); found != std::string_view::npos;
         found = FindBraceOrNul(text, start)) {
        out.append(text.substr(start, found - start));
        if (text[found] == '\0') return;
        out.append(text[found] == '{' ? "E{lb}" : "E{rb}");
        start = found + 1;
    }
    out.append(text.substr(start));
}

// Names, tags and field descriptions go out as written, so that an author may
// put markup such as L{Other} in them. They still end at their first NUL, as
// they would for a host reading C strings.
void AppendUnescaped(std::string& out, std::string_view text) {
    out.append(text.substr(0, text.find('\0')));
}

void AppendParagraph(std::string& out, std::string_view text) {
    if (text.empty()) return;
    AppendEscapedEpytext(out, text);
    out.append(kParagraphEnd);
}

void AppendTags(std::string& out, const std::vector<std::string>& tags) {
    if (tags.empty()) return;
    out.append("@tags: ");
    for (std::size_t i = 0; i < tags.size(); ++i) {
        if (i > 0) out.push_back(',');
        AppendUnescaped(out, tags[i]);
    }
    out.append(kLineEnd);
}

// "<tag> <name>: "
void AppendFieldStart(std::string& out, std::string_view tag, std::string_view name) {
    out.append(tag);
    AppendUnescaped(out, name);
    out.append(": ");
}

void AppendTypeLine(std::string& out, std::string_view name, const BindingTypeIdentifier& type) {
    AppendFieldStart(out, "@type ", name);
    AppendEpytextTypeName(out, type);
    out.append(kLineEnd);
}

}  // namespace

void AppendEscapedEpytext(std::string& out, std::string_view text) {
    if (!text.empty() && text.front() == '-') {
        out.append("E{-}");
        text.remove_prefix(1);
    }
    AppendEscapedBraces(out, text);
}

std::string EscapeEpytext(std::string_view text) {
    std::string escaped;
    AppendEscapedEpytext(escaped, text);
    return escaped;
}

void AppendEpytextTypeName(std::string& out, const BindingTypeIdentifier& type) {
    switch (type.kind) {
        case BindingTypeKind::Blob:
            out.append("bytearray");
            return;
        case BindingTypeKind::Vector:
            out.append("list[");
            AppendEpytextTypeName(out, type.elementType());
            out.push_back(']');
            return;
        case BindingTypeKind::Map:
            out.append("dict[");
            AppendEpytextTypeName(out, type.elementType());
            out.push_back(']');
            return;
        case BindingTypeKind::Enum:
        case BindingTypeKind::Struct:
            // An unregistered type has nothing to link to: its plain kind name.
            if (!type.descriptor) {
                out.append(BindingTypeKindName(type.kind));
                return;
            }
            out.append("L{");
            AppendUnescaped(out, type.descriptor->name);
            out.push_back('}');
            return;
        default:
            out.append(BindingTypeKindName(type.kind));
            return;
    }
}

std::string EpytextTypeName(const BindingTypeIdentifier& type) {
    std::string name;
    AppendEpytextTypeName(name, type);
    return name;
}

void RenderEpytextFunction(std::string& out, const BindingFunctionDescriptor& function) {
    AppendParagraph(out, function.description);
    AppendParagraph(out, function.help);
    for (const BindingParameterDescriptor& parameter : function.parameters) {
        if (!parameter.description.empty()) {
            AppendFieldStart(out, "@param ", parameter.name);
            if (parameter.optional) out.append("(optional) ");
            AppendEscapedEpytext(out, parameter.description);
            out.append(kLineEnd);
        }
        AppendTypeLine(out, parameter.name, parameter.type);
    }
    if (function.returns.kind != BindingTypeKind::None) {
        out.append("@rtype: ");
        AppendEpytextTypeName(out, function.returns);
        out.append(kLineEnd);
    }
    AppendTags(out, function.tags);
    if (function.threadSafe) out.append("@threadsafe: true\r\n");
    if (function.async) {
        out.append("@async: ");
        AppendEpytextTypeName(out, function.returns);
        out.append(kLineEnd);
    }
}

void RenderEpytextStruct(std::string& out, const BindingTypeDescriptor& type) {
    AppendParagraph(out, type.description);
    for (const BindingFieldDescriptor& field : type.fields) {
        AppendFieldStart(out, "@ivar ", field.name);
        AppendUnescaped(out, field.description);
        out.append(kLineEnd);
        AppendTypeLine(out, field.name, field.type);
    }
    AppendTags(out, type.tags);
}

void RenderEpytextEnum(std::string& out, const BindingTypeDescriptor& type) {
    AppendParagraph(out, type.description);
    // The registry keeps enumerators by name; a stable sort keeps that order
    // among enumerators that share a number.
    std::vector<const BindingEnumValue*> byValue;
    byValue.reserve(type.values.size());
    for (const BindingEnumValue& value : type.values) byValue.push_back(&value);
    std::stable_sort(byValue.begin(), byValue.end(),
                     [](const BindingEnumValue* a, const BindingEnumValue* b) { return a->value < b->value; });
    for (const BindingEnumValue* value : byValue) {
        AppendFieldStart(out, "@cvar ", value->name);
        out.push_back('(');
        out.append(std::to_string(value->value));
        out.push_back(')');
        if (!value->description.empty()) {
            out.push_back(' ');
            AppendUnescaped(out, value->description);
        }
        out.append(kLineEnd);
    }
    AppendTags(out, type.tags);
    out.append("@size: ");
    out.append(std::to_string(type.size));
    out.append(kLineEnd);
}

void RenderEpytextEvent(std::string& out, const BindingEventDescriptor& event) {
    AppendEscapedEpytext(out, event.description);
    out.append(kParagraphEnd);
    AppendTags(out, event.tags);
}

}  // namespace Norv
