// The types and the event that every registry exposing a plugin's API starts
// with: asynchronous operations, callbacks and generic event data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_property.h"
#include "binding/static_type.h"

namespace Norv {

class BindingRegistry;

enum class BindingAsyncState : std::int32_t {
    None = 0,
    Running = 1,
    Cancelling = 2,
    Cancelled = 3,
    Succeeded = 4,
    Failed = 5,
};
template <>
struct StaticTypeText<BindingAsyncState> {
    static constexpr FixedText value{"enum Norv::BindingAsyncState"};
};

struct BindingGenericEvent {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingGenericEvent"};
    BindingProperty data;
};

struct BindingCallbackEvent {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingCallbackEvent"};
    std::uint32_t id = 0;
    std::vector<BindingProperty> parameters;
};

struct BindingGenericAsyncEvent {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingGenericAsyncEvent"};
    std::uint32_t asyncToken = 0;
    BindingProperty data;
};

struct BindingAsyncFailureEvent {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingAsyncFailureEvent"};
    std::uint32_t asyncToken = 0;
    std::string error;
};

struct BindingAsyncCancelEvent {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingAsyncCancelEvent"};
    std::uint32_t asyncToken = 0;
};

constexpr const char* kCallbackEventName = "OnCallback";
constexpr const char* kBuiltinTag = "$builtin";

// Registers the builtin types above and the "OnCallback" event (not the help
// types; BindingRegistry::registerBuiltins does both, help types first).
void RegisterBuiltinTypes(BindingRegistry& registry);

}  // namespace Norv
