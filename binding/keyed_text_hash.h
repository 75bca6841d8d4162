// The string tables' bucket hash: keyed with secrets drawn once per process,
// so that texts from outside cannot be chosen to pile into one bucket. The
// published text hash (FNV-1a) is easy to collide on purpose; it still names
// texts everywhere else, but never places them in a table.
#pragma once

#include <cstdint>
#include <string_view>

namespace Norv {

std::uint32_t KeyedTextHash(std::string_view text) noexcept;

}  // namespace Norv
