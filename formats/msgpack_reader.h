// One MessagePack value from a byte range into a BindingProperty tree, by the
// system's own table-driven, iterative reader (no extension types).
#pragma once

#include <cstddef>

#include "binding/binding_property.h"

namespace Norv {

// Reads one value and stores in `position` how many bytes it consumed (on
// success the length of the value's encoding), so the caller can reject bytes
// after it. Input that ends inside a container is success with what was read.
BindingResult ParseMessagePack(const void* data, std::size_t length, std::size_t& position);

// True when length is not 0 and the first byte opens a map or an array
// (0x80-0x9F, 0xDC-0xDF).
bool LooksLikeMessagePack(const void* data, std::size_t length);

}  // namespace Norv
