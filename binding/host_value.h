// The host value records of the C header, seen from the runtime: reading a
// record tree into a BindingProperty, writing a BindingProperty into an owned
// record tree, and releasing what a record owns.
#pragma once

#include <cstddef>
#include <string_view>

#include "binding/binding_property.h"
#include "norv_plugin.h"

namespace Norv {

class BindingRegistry;

using HostValue = ::HostValue;
using HostValueMember = ::HostValueMember;
using HostResult = ::HostResult;

enum class HostValueTag : std::uint32_t {
    Empty = HOST_VALUE_EMPTY,
    Bool = HOST_VALUE_BOOL,
    Signed = HOST_VALUE_SIGNED,
    Unsigned = HOST_VALUE_UNSIGNED,
    Float = HOST_VALUE_FLOAT,
    String = HOST_VALUE_STRING,
    OwnedString = HOST_VALUE_OWNED_STRING,
    Blob = HOST_VALUE_BLOB,
    OwnedBlob = HOST_VALUE_OWNED_BLOB,
    Collection = HOST_VALUE_COLLECTION,
    Structure = HOST_VALUE_STRUCTURE,
};

inline constexpr const char* kHostValueIncompatibleType =
    "Couldn't assign value to '%1' of type object because the input is of an incompatible type '%2'.";

inline constexpr const char* kHostValueTooDeep =
    "Couldn't assign value to '%1' because the input is nested deeper than %2 levels.";

// Fills `target` from `source`, copying every text and byte; null pointers read
// as empty whatever their counts say. On an unknown tag anywhere in the tree,
// or on collections and structures nested deeper than kMaxNestingDepth, it
// stops, fills `failure` and returns false; `target` keeps what was read
// before. `name` is the value's name in the message.
bool readHostValue(HostResult& failure, BindingProperty& target, const HostValue& source, std::string_view name);

// Releases the value part of `result`, then stores an owned copy of `message`.
void setHostError(HostResult& result, std::string_view message);

// Fills `target`, which must own nothing, with an owned copy of `source`.
// Enumerations become their enumerator names when `registry` knows them, else
// signed numbers.
void writeHostValue(HostValue& target, const BindingProperty& source, const BindingRegistry* registry = nullptr);

// Releases what the record owns, recursively, and leaves tag 0 with a zero payload.
void resetHostValue(HostValue& value);

// Releases the value part and the error text of a result and clears it.
void resetHostResult(HostResult& result);

}  // namespace Norv
