// Lookup key for member and registry names: the text and its hash, computed
// once. A key built from a C string or a view only borrows the text, so a
// lookup allocates nothing; `Owned` keeps its own copy for keys that are stored.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "binding/text_hash.h"

namespace Norv {

class HashedName {
public:
    // The shared empty key.
    HashedName() noexcept : hash_(kTextHashBasis) {}
    // Borrows `text` (null reads as the empty text); the caller keeps it alive.
    HashedName(const char* text) noexcept;  // NOLINT: implicit on purpose, names are usually literals
    explicit HashedName(std::string_view text) noexcept : HashedName(text, HashText(text)) {}
    // Borrows a text whose hash the caller already knows, so readers can hash once.
    HashedName(std::string_view text, std::uint32_t hash) noexcept
        : hash_(hash), borrowed_(text.data()), borrowedLength_(text.size()) {}

    static HashedName Owned(std::string text);

    // The owned text when there is one, the borrowed text otherwise.
    std::string_view text() const noexcept {
        return owned_.empty() ? std::string_view(borrowed_, borrowedLength_) : std::string_view(owned_);
    }
    std::uint32_t hash() const noexcept { return hash_; }
    bool ownsText() const noexcept { return !owned_.empty(); }

    friend bool operator==(const HashedName& a, const HashedName& b) noexcept {
        return a.hash_ == b.hash_ && a.text() == b.text();
    }
    // Unsigned byte order of the texts, the order of structure members.
    friend std::strong_ordering operator<=>(const HashedName& a, const HashedName& b) noexcept {
        return a.text().compare(b.text()) <=> 0;
    }

private:
    std::string owned_;
    std::uint32_t hash_;
    const char* borrowed_ = "";
    std::size_t borrowedLength_ = 0;
};

// For unordered containers keyed by name: the FNV-1a hash is already there.
struct HashedNameHash {
    std::size_t operator()(const HashedName& name) const noexcept { return name.hash(); }
};

}  // namespace Norv
