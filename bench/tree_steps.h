// The value model's own share of a read: a document's steps listed once, then
// its tree built from them through the value's interface, with no reading.
#pragma once

#include <bit>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string_view>
#include <vector>

#include "binding/binding_property.h"

namespace Norv::Bench {

// A step of the tree a reader makes, in document order: names and texts with
// their lengths, each list's length known when it opens (the readers know it
// when it closes).
struct TreeStep {
    enum class Kind : std::uint8_t { Object, Array, Close, Key, Text, Unsigned, Signed, Float, Bool, Null };
    Kind kind;
    std::string_view text;
    std::uint64_t bits = 0;
};

inline void ListSteps(const nlohmann::json& value, std::vector<TreeStep>& steps) {
    using Kind = TreeStep::Kind;
    switch (value.type()) {
        case nlohmann::json::value_t::object:
            steps.push_back({Kind::Object, {}});
            for (const auto& [key, member] : value.items()) {
                steps.push_back({Kind::Key, key});
                ListSteps(member, steps);
            }
            steps.push_back({Kind::Close, {}});
            return;
        case nlohmann::json::value_t::array:
            steps.push_back({Kind::Array, {}, value.size()});
            for (const nlohmann::json& element : value) ListSteps(element, steps);
            steps.push_back({Kind::Close, {}});
            return;
        case nlohmann::json::value_t::string:
            steps.push_back({Kind::Text, value.get_ref<const std::string&>()});
            return;
        case nlohmann::json::value_t::number_unsigned:
            steps.push_back({Kind::Unsigned, {}, value.get<std::uint64_t>()});
            return;
        case nlohmann::json::value_t::number_integer:
            steps.push_back({Kind::Signed, {}, static_cast<std::uint64_t>(value.get<std::int64_t>())});
            return;
        case nlohmann::json::value_t::number_float:
            steps.push_back({Kind::Float, {}, std::bit_cast<std::uint64_t>(value.get<double>())});
            return;
        case nlohmann::json::value_t::boolean:
            steps.push_back({Kind::Bool, {}, value.get<bool>()});
            return;
        default:
            steps.push_back({Kind::Null, {}});
            return;
    }
}

inline std::vector<TreeStep> ListTreeSteps(const nlohmann::json& document) {
    std::vector<TreeStep> steps;
    ListSteps(document, steps);
    return steps;
}

inline void BuildTree(const std::vector<TreeStep>& steps, Norv::BindingProperty& root) {
    using Kind = TreeStep::Kind;
    std::vector<Norv::BindingProperty*> open;
    open.reserve(16);
    Norv::BindingProperty* next = &root;
    for (const TreeStep& step : steps) {
        if (step.kind == Kind::Close) {
            open.pop_back();
            continue;
        }
        if (step.kind == Kind::Key) {
            next = &open.back()->member(step.text);
            continue;
        }
        Norv::BindingProperty& target =
            !open.empty() && open.back()->kind() == Norv::BindingValueKind::Collection ? open.back()->append() : *next;
        switch (step.kind) {
            case Kind::Object:
                open.push_back(&target.makeStructure());
                break;
            case Kind::Array:
                target.makeCollection().reserve(step.bits);
                open.push_back(&target);
                break;
            case Kind::Text:
                target = step.text;
                break;
            case Kind::Unsigned:
                target = step.bits;
                break;
            case Kind::Signed:
                target = static_cast<std::int64_t>(step.bits);
                break;
            case Kind::Float:
                target = std::bit_cast<double>(step.bits);
                break;
            case Kind::Bool:
                target = step.bits != 0;
                break;
            default:
                break;
        }
    }
}

}  // namespace Norv::Bench
