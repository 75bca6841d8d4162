// Member names a reader saw last at each depth and place of its objects. The
// rows of a list, and the objects inside them, repeat their keys in the same
// order, so a name that matches the one last seen at its place is found by its
// length and bytes, without hashing it or probing the string table.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

#include "binding/binding_arena.h"
#include "binding/interned_string.h"

namespace Norv {

class RecentNames {
public:
    RecentNames() = default;
    RecentNames(const RecentNames&) = delete;
    RecentNames& operator=(const RecentNames&) = delete;
    ~RecentNames() {
        if (arena_ == nullptr) return;
        for (const InternedString* entry : names_) {
            if (entry != nullptr) arena_->release(entry);
        }
    }

    // The entry of `arena` for `name`, the `index`-th member of an object at
    // `depth` (1 for the outermost); alive as long as this cache. Null for a
    // place beyond those kept: the caller interns the name itself.
    const InternedString* find(BindingArena& arena, std::string_view name, std::size_t depth, std::size_t index) {
        if (depth > kDepths || index >= kPlaces) return nullptr;
        arena_ = &arena;
        const InternedString*& recent = names_[(depth - 1) * kPlaces + index];
        if (recent != nullptr && recent->size() == name.size() &&
            std::memcmp(recent->c_str(), name.data(), name.size()) == 0) {
            return recent;
        }
        // Interned first: releasing the old entry may free it.
        const InternedString* entry = arena.intern(name);
        if (recent != nullptr) arena.release(recent);
        return recent = entry;
    }

private:
    static constexpr std::size_t kDepths = 6;
    static constexpr std::size_t kPlaces = 16;

    BindingArena* arena_ = nullptr;
    // Each holds one reference, or is null.
    const InternedString* names_[kDepths * kPlaces] = {};
};

}  // namespace Norv
