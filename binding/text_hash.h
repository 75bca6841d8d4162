// The text hash of the whole system: 32-bit FNV-1a over the bytes of a text
// without its terminator. Member names, interned texts, field names and static
// type codes all use it, so it must stay usable at compile time.
#pragma once

#include <cstdint>
#include <string_view>

namespace Norv {

constexpr std::uint32_t kTextHashBasis = 0x811C9DC5u;
constexpr std::uint32_t kTextHashPrime = 16777619u;

constexpr std::uint32_t HashText(std::string_view text) {
    std::uint32_t hash = kTextHashBasis;
    for (char c : text) {
        hash = (hash ^ static_cast<std::uint8_t>(c)) * kTextHashPrime;
    }
    return hash;
}

}  // namespace Norv
