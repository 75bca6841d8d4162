// Arbitrary bytes as JSON text: no crash, leak or undefined behaviour, and a
// result that is either a tree or exactly one error member.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/json_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Norv::LooksLikeJson(text.c_str());
    Norv::BindingResult result = Norv::ParseJson(text);
    if (!result.ok() && (result.error().empty() || result.value.size() != 1)) std::abort();
    Norv::BindingProperty copy = result.value;  // copies recurse over the whole tree
    return 0;
}
