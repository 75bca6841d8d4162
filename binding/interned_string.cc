#include "binding/interned_string.h"

#include "binding/text_hash.h"

namespace Norv {

// The entry record followed by its text room, all NULs.
struct EmptyInternedString {
    InternedString entry{HashText(""), 0};
    char room[8] = {};
};

namespace {
constinit const EmptyInternedString kEmptyEntry;
}

const InternedString& InternedString::Empty() noexcept {
    return kEmptyEntry.entry;
}

}  // namespace Norv
