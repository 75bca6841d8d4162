// The native structures in which help describes the exposed API. Help in the
// full format is made of these, converted to BindingProperty values like any
// registered structure, so their member names are the help's member names.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/static_type.h"

namespace Norv {

class BindingRegistry;

enum class BindingHelpFormat : std::int32_t {
    Full = 1,
    Epytext = 2,
};
template <>
struct StaticTypeText<BindingHelpFormat> {
    static constexpr FixedText value{"enum Norv::BindingHelpFormat"};
};

struct BindingFullTypeIdentifier {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingFullTypeIdentifier"};
    std::string type;
    std::string elementType;
};

struct BindingFullArgumentHelp {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingFullArgumentHelp"};
    std::string name;
    std::string description;
    BindingFullTypeIdentifier type;
    bool optional = false;
};

struct BindingFullFunctionHelp {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingFullFunctionHelp"};
    std::string name;
    std::string nameSpace;
    std::vector<BindingFullArgumentHelp> arguments;
    BindingFullTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    std::string async;
    std::vector<std::string> tags;
};

struct BindingFullEnumValueHelp {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingFullEnumValueHelp"};
    std::string name;
    std::string description;
    std::int32_t value = 0;
};

struct BindingFullFieldHelp {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingFullFieldHelp"};
    std::string name;
    std::string description;
    std::uint32_t offset = 0;
    BindingFullTypeIdentifier type;
    bool optional = false;
};

struct BindingFullTypeHelp {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingFullTypeHelp"};
    std::string name;
    std::string nameSpace;
    std::uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<BindingFullFieldHelp> fields;
    std::vector<BindingFullEnumValueHelp> values;
};

struct BindingFullEventHelp {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingFullEventHelp"};
    std::string name;
    std::string nameSpace;
    BindingFullTypeIdentifier type;
    std::string description;
    std::vector<std::string> tags;
};

struct BindingFullApiHelp {
    static constexpr FixedText kStaticTypeText{"struct Norv::BindingFullApiHelp"};
    std::vector<BindingFullFunctionHelp> functions;
    std::vector<BindingFullTypeHelp> types;
    std::vector<BindingFullEventHelp> events;
};

// Registers the types above, leaves first, with the tags "$builtin" and "help".
void RegisterHelpTypes(BindingRegistry& registry);

}  // namespace Norv
