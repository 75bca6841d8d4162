#include "binding/help/epytext.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/help/api_help.h"
#include "binding/static_type.h"
#include "binding/to_value.h"

// A structure and an enumeration to name in nested containers.
namespace Norv::HelpTest {
enum class Color : std::int32_t { Red = 1, Green = 2 };
}  // namespace Norv::HelpTest

namespace Norv {
template <>
struct StaticTypeText<HelpTest::Color> {
    static constexpr FixedText value{"enum Norv::HelpTest::Color"};
};
}  // namespace Norv

namespace Norv::HelpTest {

struct Foo {
    static constexpr FixedText kStaticTypeText{"struct Norv::HelpTest::Foo"};
    std::int32_t x = 0;
};

struct Nested {
    static constexpr FixedText kStaticTypeText{"struct Norv::HelpTest::Nested"};
    std::vector<std::vector<Foo>> grid;
    std::unordered_map<std::string, std::vector<Color>> palettes;
};

}  // namespace Norv::HelpTest

namespace Norv {
namespace {

using Kind = BindingTypeKind;
using namespace std::string_literals;
using HelpTest::Color;
using HelpTest::Foo;

// The builtins and the types above, leaves first so that every field finds its
// element's descriptor.
BindingRegistry& Builtins() {
    static BindingRegistry* registry = [] {
        auto* created = new BindingRegistry;
        created->registerBuiltins();
        created->registerType<Color>("Color").addEnumValue("Red", Color::Red).addEnumValue("Green", Color::Green);
        created->registerType<Foo>("Foo").addField("x", &Foo::x);
        created->registerType<HelpTest::Nested>("Nested")
            .addField("grid", &HelpTest::Nested::grid)
            .addField("palettes", &HelpTest::Nested::palettes);
        return created;
    }();
    return *registry;
}

std::string Render(const BindingFunctionDescriptor& function) {
    std::string text;
    RenderEpytextFunction(text, function);
    return text;
}

std::string Render(const BindingTypeDescriptor& type) {
    std::string text;
    if (type.isEnum) {
        RenderEpytextEnum(text, type);
    } else {
        RenderEpytextStruct(text, type);
    }
    return text;
}

std::string Render(const BindingEventDescriptor& event) {
    std::string text;
    RenderEpytextEvent(text, event);
    return text;
}

TEST(EpytextTest, EscapesALeadingDashAndEveryBrace) {
    struct Row {
        std::string text;
        const char* escaped;
    };
    const Row rows[] = {
        {"", ""},
        {"--", "E{-}-"},
        {"a-b -c", "a-b -c"},
        {"-{a}-", "E{-}E{lb}aE{rb}-"},
        {"}}{{", "E{rb}E{rb}E{lb}E{lb}"},
        {"E{lb}", "EE{lb}lbE{rb}"},
        // The text ends at its first NUL.
        {"a{\0}b"s, "aE{lb}"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(EscapeEpytext(row.text), row.escaped) << row.text;
    }
}

TEST(EpytextTest, TypeNamesOfEveryKindInBothForms) {
    const BindingRegistry& registry = Builtins();
    struct Row {
        BindingTypeIdentifier type;
        const char* epytext;
        const char* plain;
        const char* element;
    };
    const Row rows[] = {
        // Every other scalar kind takes the path of these two; bool, string and object
        // are named in the demo module's describe transcript.
        {NativeTypeIdentifier<std::uint64_t>(registry), "uint64", "uint64", ""},
        {NativeTypeIdentifier<double>(registry), "double", "double", ""},
        {NativeTypeIdentifier<BindingBlob>(registry), "bytearray", "blob", ""},
        {NativeTypeIdentifier<Color>(registry), "L{Color}", "Color", ""},
        {NativeTypeIdentifier<Foo>(registry), "L{Foo}", "Foo", ""},
        {{static_cast<Kind>(20)}, "", "", ""},
        {NativeTypeIdentifier<std::vector<std::int32_t>>(registry), "list[int32]", "vector", "int32"},
        {NativeTypeIdentifier<std::vector<Foo>>(registry), "list[L{Foo}]", "vector", "Foo"},
        {NativeTypeIdentifier<std::unordered_map<std::string, Color>>(registry), "dict[L{Color}]", "map", "Color"},
        {NativeTypeIdentifier<std::unordered_map<std::string, std::vector<Foo>>>(registry), "dict[list[L{Foo}]]", "map",
         "vector"},
        {NativeTypeIdentifier<std::vector<std::unordered_map<std::string, std::vector<Color>>>>(registry),
         "list[dict[list[L{Color}]]]", "vector", "map"},
        // Nothing registered to name or link to.
        {{Kind::Struct}, "struct", "struct", ""},
        {{Kind::Vector, Kind::Struct}, "list[struct]", "vector", "struct"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.epytext);
        EXPECT_EQ(EpytextTypeName(row.type), row.epytext);
        const BindingFullTypeIdentifier full = FullTypeIdentifier(row.type);
        EXPECT_EQ(full.type, row.plain);
        EXPECT_EQ(full.elementType, row.element);
    }
}

TEST(EpytextTest, NestedContainersOfStructuresConvert) {
    // The innermost element's descriptor is what lets the conversion reach the structures.
    HelpTest::Nested nested;
    nested.grid = {{{1}, {2}}, {}};
    nested.palettes["warm"] = {Color::Red};
    BindingResult result;
    structToValue(result, &nested, Builtins().findType("Nested"));
    ASSERT_TRUE(result.ok()) << result.error();
    EXPECT_EQ(result.value.get("grid").at(0).at(1).get("x").getSigned(), 2);
    EXPECT_EQ(result.value.get("grid").at(1).size(), 0u);
    EXPECT_EQ(result.value.get("palettes").get("warm").at(0).getEnum().value, 1);
}

TEST(EpytextTest, FunctionLinesAppearOnlyWhenTheirPartIsThere) {
    BindingFunctionDescriptor function;
    EXPECT_EQ(Render(function), "");
    function.help = "-Call it {twice}";
    function.parameters.push_back(BindingParameterDescriptor{"plain", "", {Kind::Vector, Kind::Bool}, {}, false, 0});
    function.parameters.push_back(BindingParameterDescriptor{"need{ed}", "-Must", {Kind::Blob}, {}, false, 0});
    function.async = true;
    // An asynchronous function that returns nothing still has its "@async" line.
    EXPECT_EQ(Render(function),
              "E{-}Call it E{lb}twiceE{rb}\r\n"
              "\r\n"
              "@type plain: list[bool]\r\n"
              "@param need{ed}: E{-}Must\r\n"
              "@type need{ed}: bytearray\r\n"
              "@async: \r\n");
    function.description = "Adds {x}";
    function.parameters[1].optional = true;
    function.returns = {Kind::Map, Kind::Enum, Builtins().findType("BindingAsyncState")};
    function.tags = {"a", "b"};
    function.threadSafe = true;
    EXPECT_EQ(Render(function),
              "Adds E{lb}xE{rb}\r\n"
              "\r\n"
              "E{-}Call it E{lb}twiceE{rb}\r\n"
              "\r\n"
              "@type plain: list[bool]\r\n"
              "@param need{ed}: (optional) E{-}Must\r\n"
              "@type need{ed}: bytearray\r\n"
              "@rtype: dict[L{BindingAsyncState}]\r\n"
              "@tags: a,b\r\n"
              "@threadsafe: true\r\n"
              "@async: dict[L{BindingAsyncState}]\r\n");
}

// The builtin and host types' texts are pinned byte for byte by the demo
// module's epytext transcript (tests/host-sim/golden/api_describe_demo.txt).

TEST(EpytextTest, EnumeratorsSharingANumberKeepNameOrder) {
    BindingRegistry registry;
    registry.registerType("Mixed", 1, nullptr, true)
        .addEnumValue("Zeta", 0)
        .addEnumValue("Low", -129)
        .addEnumValue("Beta", 0)
        .addEnumValue("Alpha", 0, "first {of} three")
        .addTag("t");
    EXPECT_EQ(Render(*registry.findType("Mixed")),
              "@cvar Low: (-129)\r\n"
              "@cvar Alpha: (0) first {of} three\r\n"
              "@cvar Beta: (0)\r\n"
              "@cvar Zeta: (0)\r\n"
              "@tags: t\r\n"
              "@size: 1\r\n");
}

// Authors may write markup there; only a NUL ends the text early.
TEST(EpytextTest, NamesTagsAndFieldDescriptionsGoOutAsWritten) {
    BindingRegistry registry;
    registry.registerType("Odd{", 4, nullptr, false).addTag("x}").addTag("y");
    BindingTypeBuilder holder = registry.registerType("Holder", 8, nullptr, false);
    holder.addTag("{");
    holder.addTag("b\0c"s);
    holder.addField("f}", "-see L{Odd{}", 0, nullptr, {Kind::Struct, Kind::None, registry.findType("Odd{")}, {}, 0,
                    nullptr);
    EXPECT_EQ(Render(*registry.findType("Holder")),
              "@ivar f}: -see L{Odd{}\r\n"
              "@type f}: L{Odd{}\r\n"
              "@tags: {,b\r\n");
    EXPECT_EQ(Render(*registry.findType("Odd{")), "@tags: x},y\r\n");

    BindingEventDescriptor event;
    EXPECT_EQ(Render(event), "\r\n\r\n");
    event.description = "-{}";
    EXPECT_EQ(Render(event), "E{-}E{lb}E{rb}\r\n\r\n");
}

}  // namespace
}  // namespace Norv
