// Description of an exposed native function as the registry keeps it: what
// help and the host's API table print, plus the object that calls it. How a
// function is routed and invoked belongs to the dispatcher, which extends both.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding_type_descriptor.h"

namespace Norv {

// The owned object through which the dispatcher calls a function; the registry
// only destroys it when the function is removed.
class BindingFunctionCallback {
public:
    virtual ~BindingFunctionCallback() = default;
};

struct BindingParameterDescriptor {
    std::string name;
    std::string description;
    BindingTypeIdentifier type;
    BindingTypeIdentifier describedType;  // shown to the host instead of `type` when its kind is non-zero
    bool optional = false;
    // Where the argument may come from: 0 anywhere, 1 query, 2 path, 3 named
    // host argument, 4 header, 5 body.
    std::uint32_t location = 0;
};

struct BindingFunctionDescriptor {
    BindingFunctionDescriptor() = default;
    BindingFunctionDescriptor(const BindingFunctionDescriptor&) = delete;
    BindingFunctionDescriptor& operator=(const BindingFunctionDescriptor&) = delete;
    virtual ~BindingFunctionDescriptor() = default;

    std::string name;
    std::string nameSpace;
    std::string description;
    std::string help;
    std::vector<BindingParameterDescriptor> parameters;
    BindingTypeIdentifier returns;
    BindingTypeIdentifier describedReturns;
    bool threadSafe = false;
    bool async = false;
    std::vector<std::string> tags;  // "$builtin" marks a builtin function
    BindingRegistry* registry = nullptr;
    std::unique_ptr<BindingFunctionCallback> callback;
};

}  // namespace Norv
