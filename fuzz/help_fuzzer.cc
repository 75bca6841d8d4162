// Epytext escaping and the four renderers over arbitrary names, descriptions
// and tags (NULs included), and help in both formats built from them. No NUL
// may get through; when the author wrote no brace, every brace in the output
// must belong to an escape or a type link; escaping must match a plain
// reference written here.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/help/api_help.h"
#include "binding/help/epytext.h"

namespace {

using Norv::BindingTypeKind;

void Check(bool condition) {
    if (!condition) std::abort();
}

std::string ReferenceEscape(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == 0 && text[i] == '-') {
            out += "E{-}";
        } else if (text[i] == '{') {
            out += "E{lb}";
        } else if (text[i] == '}') {
            out += "E{rb}";
        } else {
            out += text[i];
        }
    }
    return out;
}

// Braces only as "E{lb}", "E{rb}", "E{-}" or around a type link "L{...}".
bool WellFormed(std::string_view text) {
    bool inLink = false;
    for (std::size_t i = 0; i < text.size();) {
        const std::string_view rest = text.substr(i);
        if (rest.starts_with("E{lb}") || rest.starts_with("E{rb}")) {
            i += 5;
        } else if (rest.starts_with("E{-}")) {
            i += 4;
        } else if (!inLink && rest.starts_with("L{")) {
            inLink = true;
            i += 2;
        } else if (inLink && text[i] == '}') {
            inLink = false;
            ++i;
        } else if (text[i] == '{' || text[i] == '}' || text[i] == '\0') {
            return false;
        } else {
            ++i;
        }
    }
    return !inLink;
}

// Pieces of the input between 0xFF bytes, handed out in turn.
class Pieces {
public:
    Pieces(const std::uint8_t* data, std::size_t size) {
        std::string_view input(reinterpret_cast<const char*>(data), size);
        for (;;) {
            const std::size_t end = input.find('\xFF');
            pieces_.emplace_back(input.substr(0, end));
            if (end == std::string_view::npos) break;
            input.remove_prefix(end + 1);
        }
    }
    const std::string& next() { return pieces_[next_++ % pieces_.size()]; }
    // A small number taken from the next piece's first byte.
    unsigned number(unsigned modulo) {
        const std::string& piece = next();
        return piece.empty() ? 0 : static_cast<unsigned char>(piece[0]) % modulo;
    }
    const std::vector<std::string>& all() const { return pieces_; }

private:
    std::vector<std::string> pieces_;
    std::size_t next_ = 0;
};

const Norv::BindingRegistry& HelpTypes() {
    static const Norv::BindingRegistry* registry = [] {
        auto* created = new Norv::BindingRegistry;
        created->registerBuiltins();
        return created;
    }();
    return *registry;
}

Norv::BindingTypeIdentifier Identifier(Pieces& pieces, const Norv::BindingTypeDescriptor* descriptor) {
    return {static_cast<BindingTypeKind>(pieces.number(21)), static_cast<BindingTypeKind>(pieces.number(21)),
            pieces.number(2) ? descriptor : nullptr};
}

std::vector<std::string> Tags(Pieces& pieces) {
    std::vector<std::string> tags(pieces.number(4));
    for (std::string& tag : tags) tag = pieces.next();
    return tags;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Pieces pieces(data, size);
    for (const std::string& piece : pieces.all()) {
        const std::string escaped = Norv::EscapeEpytext(piece);
        Check(escaped == ReferenceEscape(piece));
        Check(WellFormed(escaped));
    }

    Norv::BindingTypeDescriptor linked;
    linked.name = pieces.next();

    Norv::BindingTypeDescriptor structure;
    structure.name = pieces.next();
    structure.description = pieces.next();
    structure.tags = Tags(pieces);
    for (unsigned i = pieces.number(4); i > 0; --i) {
        Norv::BindingFieldDescriptor field;
        field.name = pieces.next();
        field.description = pieces.next();
        field.type = Identifier(pieces, &linked);
        structure.fields.push_back(std::move(field));
    }

    Norv::BindingTypeDescriptor enumeration;
    enumeration.isEnum = true;
    enumeration.name = pieces.next();
    enumeration.description = pieces.next();
    enumeration.tags = Tags(pieces);
    enumeration.size = pieces.number(9);
    for (unsigned i = pieces.number(5); i > 0; --i) {
        enumeration.values.push_back(
            {static_cast<std::int32_t>(pieces.number(256)) - 128, pieces.next(), pieces.next(), &enumeration});
    }

    Norv::BindingFunctionDescriptor function;
    function.name = pieces.next();
    function.description = pieces.next();
    function.help = pieces.next();
    function.tags = Tags(pieces);
    for (unsigned i = pieces.number(4); i > 0; --i) {
        Norv::BindingParameterDescriptor parameter;
        parameter.name = pieces.next();
        parameter.description = pieces.next();
        parameter.type = Identifier(pieces, &linked);
        parameter.optional = pieces.number(2) != 0;
        function.parameters.push_back(std::move(parameter));
    }
    function.returns = Identifier(pieces, &enumeration);
    function.async = pieces.number(2) != 0;
    function.threadSafe = pieces.number(2) != 0;

    Norv::BindingEventDescriptor event;
    event.name = pieces.next();
    event.description = pieces.next();
    event.tags = Tags(pieces);
    event.type = pieces.number(2) ? &structure : nullptr;

    std::string text;
    Norv::RenderEpytextFunction(text, function);
    Norv::RenderEpytextStruct(text, structure);
    Norv::RenderEpytextEnum(text, enumeration);
    Norv::RenderEpytextEvent(text, event);
    Check(text.find('\0') == std::string::npos);
    // Names, tags and field descriptions are written as they are, so only a
    // brace-free input promises well-formed markup.
    bool braceFree = true;
    for (const std::string& piece : pieces.all())
        braceFree = braceFree && piece.find_first_of("{}") == std::string::npos;
    if (braceFree) Check(WellFormed(text));

    for (const Norv::BindingHelpFormat format : {Norv::BindingHelpFormat::Full, Norv::BindingHelpFormat::Epytext}) {
        const Norv::BindingResult help =
            Norv::BuildApiHelp(HelpTypes(), {&function}, {&structure, &enumeration}, {&event}, format);
        Check(help.ok());
        Check(help.value.get("types").size() >= 1);
    }
    return 0;
}
