#include "binding/keyed_text_hash.h"

#include <chrono>
#include <cstring>
#include <random>

namespace Norv {
namespace {

struct Keys {
    std::uint64_t k0;
    std::uint64_t k1;
    std::uint64_t k2;
};

std::uint64_t SplitMix(std::uint64_t& state) noexcept {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// Every key is secret: a known key would let a text cancel it and make the
// product below zero whatever follows.
Keys DrawKeys() noexcept {
    std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    seed ^= static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&seed)) << 16;
    try {
        std::random_device device;
        seed ^= (std::uint64_t{device()} << 32) | device();
    } catch (...) {
        // The clock and the stack's address still differ from run to run.
    }
    Keys keys{};
    keys.k0 = SplitMix(seed) | 1;
    keys.k1 = SplitMix(seed) | 1;
    keys.k2 = SplitMix(seed) | 1;
    return keys;
}

// The 128-bit product of two words, folded to one.
std::uint64_t Fold(std::uint64_t a, std::uint64_t b) noexcept {
#if defined(__SIZEOF_INT128__)
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
#else
    const std::uint64_t aLow = a & 0xFFFFFFFFu;
    const std::uint64_t aHigh = a >> 32;
    const std::uint64_t bLow = b & 0xFFFFFFFFu;
    const std::uint64_t bHigh = b >> 32;
    const std::uint64_t low = aLow * bLow;
    const std::uint64_t middle1 = aHigh * bLow;
    const std::uint64_t middle2 = aLow * bHigh;
    const std::uint64_t high = aHigh * bHigh;
    const std::uint64_t carry = ((low >> 32) + (middle1 & 0xFFFFFFFFu) + (middle2 & 0xFFFFFFFFu)) >> 32;
    const std::uint64_t productLow = low + (middle1 << 32) + (middle2 << 32);
    const std::uint64_t productHigh = high + (middle1 >> 32) + (middle2 >> 32) + carry;
    return productLow ^ productHigh;
#endif
}

std::uint64_t Read8(const unsigned char* bytes) noexcept {
    std::uint64_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

std::uint64_t Read4(const unsigned char* bytes) noexcept {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

}  // namespace

std::uint32_t KeyedTextHash(std::string_view text) noexcept {
    static const Keys keys = DrawKeys();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::uint64_t state = keys.k0 ^ size;
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    if (size <= 16) {
        // Two overlapping reads from each end cover every byte.
        if (size >= 4) {
            const std::size_t step = (size >> 3) << 2;
            a = (Read4(bytes) << 32) | Read4(bytes + step);
            b = (Read4(bytes + size - 4) << 32) | Read4(bytes + size - 4 - step);
        } else if (size > 0) {
            a = (std::uint64_t{bytes[0]} << 16) | (std::uint64_t{bytes[size >> 1]} << 8) | bytes[size - 1];
        }
    } else {
        std::size_t left = size;
        for (; left > 16; left -= 16, bytes += 16) state = Fold(Read8(bytes) ^ keys.k1, Read8(bytes + 8) ^ state);
        a = Read8(bytes + left - 16);
        b = Read8(bytes + left - 8);
    }
    const std::uint64_t hash = Fold(Fold(a ^ keys.k1, b ^ state) ^ keys.k2, size ^ keys.k1);
    return static_cast<std::uint32_t>(hash ^ (hash >> 32));
}

}  // namespace Norv
