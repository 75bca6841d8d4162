#include "formats/base64.h"

#include <array>

namespace Norv {

namespace {

constexpr std::uint8_t kNotInAlphabet = 0xFF;

// 6-bit value by character; only the 64 ASCII characters of the alphabet have
// one, so a locale's extra letters and bytes above 0x7F end the text.
constexpr std::array<std::uint8_t, 256> BuildDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    table.fill(kNotInAlphabet);
    for (std::size_t value = 0; value < kBase64Alphabet.size(); ++value) {
        table[static_cast<unsigned char>(kBase64Alphabet[value])] = static_cast<std::uint8_t>(value);
    }
    return table;
}

constexpr std::array<std::uint8_t, 256> kDecodeTable = BuildDecodeTable();

}  // namespace

std::string Base64Encode(const void* bytes, std::size_t count) {
    const auto* input = static_cast<const std::uint8_t*>(bytes);
    std::string text;
    text.reserve((count + 2) / 3 * 4);
    std::size_t index = 0;
    for (; index + 3 <= count; index += 3) {
        const std::uint8_t b0 = input[index], b1 = input[index + 1], b2 = input[index + 2];
        text += kBase64Alphabet[b0 >> 2];
        text += kBase64Alphabet[((b0 & 0x03) << 4) + (b1 >> 4)];
        text += kBase64Alphabet[((b1 & 0x0F) << 2) + (b2 >> 6)];
        text += kBase64Alphabet[b2 & 0x3F];
    }
    const std::size_t remaining = count - index;
    if (remaining != 0) {
        const std::uint8_t b0 = input[index];
        const std::uint8_t b1 = remaining == 2 ? input[index + 1] : 0;
        text += kBase64Alphabet[b0 >> 2];
        text += kBase64Alphabet[((b0 & 0x03) << 4) + (b1 >> 4)];
        if (remaining == 2) text += kBase64Alphabet[(b1 & 0x0F) << 2];
        text.append(3 - remaining, '=');
    }
    return text;
}

std::vector<std::uint8_t> Base64Decode(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve((text.size() + 3) / 4 * 3);
    std::uint8_t group[4];
    std::size_t filled = 0;
    for (const char c : text) {
        const std::uint8_t value = kDecodeTable[static_cast<unsigned char>(c)];
        if (value == kNotInAlphabet) break;  // '=' included
        group[filled++] = value;
        if (filled == 4) {
            bytes.push_back(static_cast<std::uint8_t>((group[0] << 2) + ((group[1] & 0x30) >> 4)));
            bytes.push_back(static_cast<std::uint8_t>(((group[1] & 0x0F) << 4) + ((group[2] & 0x3C) >> 2)));
            bytes.push_back(static_cast<std::uint8_t>(((group[2] & 0x03) << 6) + group[3]));
            filled = 0;
        }
    }
    // k leftover characters give k - 1 bytes; a single one gives nothing.
    if (filled >= 2) bytes.push_back(static_cast<std::uint8_t>((group[0] << 2) + ((group[1] & 0x30) >> 4)));
    if (filled == 3) bytes.push_back(static_cast<std::uint8_t>(((group[1] & 0x0F) << 4) + ((group[2] & 0x3C) >> 2)));
    return bytes;
}

}  // namespace Norv
