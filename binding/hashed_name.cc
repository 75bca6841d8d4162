#include "binding/hashed_name.h"

#include <utility>

namespace Norv {

HashedName::HashedName(const char* text) noexcept
    : HashedName(text == nullptr ? std::string_view() : std::string_view(text)) {}

HashedName HashedName::Owned(std::string text) {
    HashedName name;
    name.hash_ = HashText(text);
    name.owned_ = std::move(text);
    return name;
}

}  // namespace Norv
