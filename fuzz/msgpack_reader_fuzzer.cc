// Arbitrary bytes as MessagePack: no crash, leak or undefined behaviour, and
// the position never past the input.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "formats/msgpack_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A copy of exactly `size` bytes, so ASan sees any read past the end.
    const std::vector<std::uint8_t> bytes(data, data + size);
    Norv::LooksLikeMessagePack(bytes.data(), bytes.size());
    std::size_t position = 0;
    Norv::BindingResult result = Norv::ParseMessagePack(bytes.data(), bytes.size(), position);
    if (position > size) std::abort();
    if (!result.ok() && (result.error().empty() || result.value.size() != 1)) std::abort();
    Norv::BindingProperty copy = result.value;
    return 0;
}
