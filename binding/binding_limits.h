// Limits shared by everything that builds or walks value trees.
#pragma once

#include <cstddef>

namespace Norv {

// Deepest nesting of collections and structures a reader accepts. Copying and
// destroying a tree recurse once per level (a few hundred bytes of stack each),
// so this keeps them well inside a 1 MiB thread stack on 32-bit Windows, while
// real payloads never come near it.
constexpr std::size_t kMaxNestingDepth = 512;

}  // namespace Norv
