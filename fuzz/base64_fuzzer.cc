// Decodes arbitrary text, and checks that any bytes survive encoding and decoding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "formats/base64.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<std::uint8_t> decoded = Norv::Base64Decode(text);
    // At most three bytes come from every four characters read.
    if (decoded.size() > size / 4 * 3 + 2) std::abort();

    const std::string encoded = Norv::Base64Encode(data, size);
    if (encoded.size() != (size + 2) / 3 * 4) std::abort();
    if (encoded.find_first_not_of(Norv::kBase64Alphabet) < encoded.find('=')) std::abort();
    const std::vector<std::uint8_t> back = Norv::Base64Decode(encoded);
    if (back.size() != size || (size != 0 && std::memcmp(back.data(), data, size) != 0)) std::abort();
    // Encoding what was decoded and decoding again is stable.
    const std::string reencoded = Norv::Base64Encode(decoded.data(), decoded.size());
    if (Norv::Base64Decode(reencoded) != decoded) std::abort();
    return 0;
}
