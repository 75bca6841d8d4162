// Arbitrary bytes as YAML: no crash, leak or undefined behaviour in the
// builder, its anchors and aliases, or the scalar typing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/yaml_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Norv::BindingResult result = Norv::ParseYaml(text);
    if (!result.ok() && (result.error().empty() || result.value.size() != 1)) std::abort();
    Norv::BindingProperty copy = result.value;
    return 0;
}
