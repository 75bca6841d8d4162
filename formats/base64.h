// Base64 with the standard alphabet, '=' padding and no line breaks: how blobs
// travel through text formats and how a Blob value prints.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Norv {

// The 64 characters, in the order of their 6-bit values.
constexpr std::string_view kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const void* bytes, std::size_t count);

// Reads up to the first '=' or the first character outside the alphabet and
// ignores the rest; padding is optional. Reports nothing: callers that must
// reject bad text check it first.
std::vector<std::uint8_t> Base64Decode(std::string_view text);

}  // namespace Norv
