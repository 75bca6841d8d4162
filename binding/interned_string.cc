#include "binding/interned_string.h"

namespace Norv {

// The entry record followed by its text room, all NULs.
struct EmptyInternedString {
    InternedString entry{0, 0};
    char room[8] = {};
};

namespace {
constinit const EmptyInternedString kEmptyEntry;
}

const InternedString& InternedString::Empty() noexcept {
    return kEmptyEntry.entry;
}

}  // namespace Norv
