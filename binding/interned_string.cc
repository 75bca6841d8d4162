#include "binding/interned_string.h"

#include "binding/text_hash.h"

namespace Norv {

// The entry record followed by the NUL that is its text.
struct EmptyInternedString {
    InternedString entry{HashText(""), 0};
    char terminator = '\0';
};

namespace {
constinit const EmptyInternedString kEmptyEntry;
}

const InternedString& InternedString::Empty() noexcept {
    return kEmptyEntry.entry;
}

}  // namespace Norv
