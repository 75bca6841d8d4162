// Arbitrary bytes as JSON text: no crash, leak or undefined behaviour, a
// result that is either a tree or exactly one error member, and the same
// result whether the text comes as a string (which may hold NULs) or up to
// its first NUL as a C string.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/json_reader.h"

namespace {

bool Same(const Norv::BindingProperty& a, const Norv::BindingProperty& b) {
    if (a.kind() != b.kind() || a.size() != b.size() || a.toString() != b.toString()) return false;
    for (std::size_t i = 0; i < a.elements().size(); ++i) {
        if (!Same(a.elements()[i], b.elements()[i])) return false;
    }
    auto other = b.members().begin();
    for (const Norv::BindingMember member : a.members()) {
        if (member.name != (*other).name || !Same(member.value, (*other).value)) return false;
        ++other;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Norv::LooksLikeJson(text.c_str());
    Norv::BindingResult result = Norv::ParseJson(text);
    if (!result.ok() && (result.error().empty() || result.value.size() != 1)) std::abort();
    const Norv::BindingResult upToNul = Norv::ParseJson(text.c_str());
    if (upToNul.ok() != result.ok() || !Same(upToNul.value, result.value)) std::abort();
    Norv::BindingProperty copy = result.value;  // copies recurse over the whole tree
    return 0;
}
