// One entry of an arena's string table: a text stored once per arena, however
// many member names and string values refer to it, with a reference count.
// The text follows the record in the same allocation and is NUL-terminated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Norv {

class InternedString {
public:
    InternedString(const InternedString&) = delete;
    InternedString& operator=(const InternedString&) = delete;

    std::string_view text() const noexcept { return {c_str(), length_}; }
    const char* c_str() const noexcept { return reinterpret_cast<const char*>(this) + sizeof(InternedString); }
    std::size_t size() const noexcept { return length_; }
    std::uint32_t hash() const noexcept { return hash_; }
    std::uint32_t refCount() const noexcept { return refCount_; }

    // The entry every empty text refers to; it belongs to no arena and is never counted.
    static const InternedString& Empty() noexcept;

    // Bytes one entry takes for a text of `length` bytes, its NUL included.
    static constexpr std::size_t AllocationSize(std::size_t length) noexcept {
        constexpr std::size_t align = alignof(InternedString*);
        return (sizeof(InternedString) + length + 1 + align - 1) / align * align;
    }

private:
    friend class BindingArena;
    friend struct EmptyInternedString;

    constexpr InternedString(std::uint32_t hash, std::uint32_t length) noexcept : hash_(hash), length_(length) {}
    char* textBuffer() noexcept { return reinterpret_cast<char*>(this) + sizeof(InternedString); }

    InternedString* next_ = nullptr;  // bucket chain
    std::uint32_t hash_;
    std::uint32_t refCount_ = 0;
    std::uint32_t length_;
};

}  // namespace Norv
