// One entry of an arena's string table: a text stored once per arena, however
// many member names and string values refer to it, with a reference count.
// The text follows the record in the same allocation and is NUL-terminated.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "binding/text_hash.h"

namespace Norv {

// A text's first eight bytes as one number, zero-padded, so that comparing two
// numbers compares those bytes in unsigned order.
inline std::uint64_t TextPrefixOf(std::uint64_t firstBytes, std::size_t size) noexcept {
    if constexpr (std::endian::native == std::endian::little) firstBytes = __builtin_bswap64(firstBytes);
    if (size >= 8) return firstBytes;
    return size == 0 ? 0 : firstBytes & (~std::uint64_t{0} << (64 - 8 * size));
}

// Loads of the text's own width, never a short copy read back whole: that read
// cannot be forwarded from the copy's stores and stalls on every key.
inline std::uint64_t TextPrefix(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    if (size >= 8) {
        std::uint64_t firstBytes;
        std::memcpy(&firstBytes, bytes, sizeof firstBytes);
        return TextPrefixOf(firstBytes, size);
    }
    if (size >= 4) {
        std::uint32_t head;
        std::uint32_t tail;
        std::memcpy(&head, bytes, sizeof head);
        std::memcpy(&tail, bytes + size - 4, sizeof tail);
        if constexpr (std::endian::native == std::endian::little) {
            head = __builtin_bswap32(head);
            tail = __builtin_bswap32(tail);
        }
        // The two words overlap when size < 8; the shared bytes agree.
        return (std::uint64_t{head} << 32) | (std::uint64_t{tail} << (8 * (8 - size)));
    }
    if (size == 0) return 0;
    return (std::uint64_t{bytes[0]} << 56) | (std::uint64_t{bytes[size / 2]} << (56 - 8 * (size / 2))) |
           (std::uint64_t{bytes[size - 1]} << (56 - 8 * (size - 1)));
}

// Unsigned byte order of two texts whose prefixes are known.
inline int CompareTexts(std::string_view a, std::uint64_t prefixA, std::string_view b, std::uint64_t prefixB) noexcept {
    if (prefixA != prefixB) return prefixA < prefixB ? -1 : 1;
    const std::size_t common = a.size() < b.size() ? a.size() : b.size();
    if (common > 8) {
        if (const int order = std::memcmp(a.data() + 8, b.data() + 8, common - 8); order != 0) return order;
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

class InternedString {
public:
    InternedString(const InternedString&) = delete;
    InternedString& operator=(const InternedString&) = delete;

    std::string_view text() const noexcept { return {c_str(), length_}; }
    const char* c_str() const noexcept { return reinterpret_cast<const char*>(this) + sizeof(InternedString); }
    std::size_t size() const noexcept { return length_; }
    // The text's FNV-1a hash, worked out when asked: the string table keys its
    // entries by the keyed tag, so interning never pays for this serial hash.
    std::uint32_t hash() const noexcept { return HashText(text()); }
    std::uint32_t refCount() const noexcept { return refCount_; }

    // Every entry has at least eight bytes of text room, so this reads no further than its own allocation.
    std::uint64_t prefix() const noexcept {
        std::uint64_t firstBytes;
        std::memcpy(&firstBytes, c_str(), sizeof firstBytes);
        return TextPrefixOf(firstBytes, length_);
    }

    // The entry every empty text refers to; it belongs to no arena and is never counted.
    static const InternedString& Empty() noexcept;

    // Bytes one entry takes for a text of `length` bytes: its NUL included, and at least eight.
    static constexpr std::size_t AllocationSize(std::size_t length) noexcept {
        const std::size_t room = length + 1 < 8 ? 8 : length + 1;
        return (sizeof(InternedString) + room + 3) / 4 * 4;
    }

private:
    friend class BindingArena;
    friend struct EmptyInternedString;

    constexpr InternedString(std::uint32_t tag, std::uint32_t length) noexcept : tag_(tag), length_(length) {}
    char* textBuffer() noexcept { return reinterpret_cast<char*>(this) + sizeof(InternedString); }

    std::uint32_t tag_;  // the string table's keyed tag, so releasing an entry does not hash it again
    std::uint32_t refCount_ = 0;
    std::uint32_t length_;
};

}  // namespace Norv
