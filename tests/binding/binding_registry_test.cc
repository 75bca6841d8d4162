#include "binding/binding_registry.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_type_builder.h"
#include "conversion_test_types.h"

namespace Norv {
namespace {

using namespace ConversionTest;
using Kind = BindingTypeKind;

TEST(BindingRegistryTest, NewTypeCarriesItsIdentity) {
    BindingRegistry registry;
    BindingTypeBuilder builder = registry.registerType("Point", sizeof(Point), StaticTypeOf<Point>(), false);
    ASSERT_FALSE(builder.inactive());
    const BindingTypeDescriptor* point = registry.findType("Point");
    ASSERT_EQ(point, builder.descriptor());
    EXPECT_EQ(point->size, sizeof(Point));
    EXPECT_FALSE(point->isEnum);
    EXPECT_EQ(point->hashCode, StaticType::HashCode<Point>());
    EXPECT_EQ(point->staticType, StaticTypeOf<Point>());
    EXPECT_EQ(point->registry, &registry);
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<Point>()), point);
    EXPECT_EQ(registry.findType("point"), nullptr);
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<int>()), nullptr);

    // Void is never indexed.
    registry.registerType("Untyped", 0, StaticTypeOf<void>(), false);
    registry.registerType("Null", 0, nullptr, false);
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<void>()), nullptr);
    EXPECT_EQ(registry.findTypeByHash(0), nullptr);
}

TEST(BindingRegistryTest, FirstRegistrationOfANameWins) {
    BindingRegistry registry;
    registry.registerType<Shade>("BindingAsyncState")
        .description("first")
        .addTag("")
        .addTag("one")
        .addEnumValue("Dark", Shade::Dark);
    BindingTypeBuilderFor<Point> second = registry.registerType<Point>("BindingAsyncState");
    EXPECT_TRUE(second.inactive());
    second.description("second").addTag("two").addField("x", &Point::x);
    second.untyped().addEnumValue("Light", 1).nameSpace("ns");

    const BindingTypeDescriptor* type = registry.findType("BindingAsyncState");
    ASSERT_EQ(type, second.descriptor());
    EXPECT_TRUE(type->isEnum);
    EXPECT_EQ(type->description, "first");
    EXPECT_EQ(type->tags, std::vector<std::string>{"one"});
    EXPECT_EQ(type->nameSpace, "");
    EXPECT_TRUE(type->fields.empty());
    ASSERT_EQ(type->values.size(), 1u);
    EXPECT_EQ(type->values[0].name, "Dark");
    // The second registration's static type was not indexed either.
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<Point>()), nullptr);
}

TEST(BindingRegistryTest, HashIndexKeepsTheLastTypeOfACode) {
    BindingRegistry registry;
    const BindingTypeDescriptor* first = registry.registerType<Point>("PointA").descriptor();
    const BindingTypeDescriptor* second = registry.registerType<Point>("PointB").descriptor();
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<Point>()), second);
    EXPECT_EQ(registry.findType("PointA"), first);

    // Removing the type the index no longer points at leaves the index alone.
    EXPECT_TRUE(registry.removeType("PointA"));
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<Point>()), second);
    EXPECT_TRUE(registry.removeType("PointB"));
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<Point>()), nullptr);
    EXPECT_FALSE(registry.removeType("PointB"));
}

std::vector<std::string> ValueNames(const BindingTypeDescriptor& type) {
    std::vector<std::string> names;
    for (const BindingEnumValue& value : type.values) names.push_back(value.name);
    return names;
}

TEST(BindingRegistryTest, EnumeratorsAreOrderedByNameBytesAndAddedAgainKeepTheSecond) {
    BindingRegistry registry;
    BindingTypeBuilder builder = registry.registerType("State", 4, StaticTypeOf<void>(), true);
    const char* names[] = {"Failed", "Cancelling", "Cancelled", "alpha", "Zulu", "\xC3\xA9t\xC3\xA9", "Cancel"};
    std::int32_t number = 0;
    for (const char* name : names) builder.addEnumValue(name, number++);
    EXPECT_EQ(ValueNames(*builder.descriptor()),
              (std::vector<std::string>{"Cancel", "Cancelled", "Cancelling", "Failed", "Zulu", "alpha",
                                        "\xC3\xA9t\xC3\xA9"}));
    for (const BindingEnumValue& value : builder.descriptor()->values) EXPECT_EQ(value.owner, builder.descriptor());

    // A name added again keeps the second number and description.
    builder.addEnumValue("Zulu", 7, "new");
    const BindingTypeDescriptor& type = *builder.descriptor();
    ASSERT_EQ(type.values.size(), 7u);
    EXPECT_EQ(type.values[4].value, 7);
    EXPECT_EQ(type.values[4].description, "new");
    EXPECT_EQ(type.findValue("Zulu"), &type.values[4]);
    EXPECT_EQ(type.findValue("zulu"), nullptr);
}

TEST(BindingRegistryTest, EnumeratorNameOfANumber) {
    BindingRegistry registry;
    // Two names for one number: the first in name order answers.
    registry.registerType<Shade>("Shade")
        .addEnumValue("Light", Shade::Light)
        .addEnumValue("Dark", Shade::Dark)
        .addEnumValue("Bright", Shade::Light);
    EXPECT_EQ(registry.enumValueName(StaticTypeOf<Shade>(), 1), "Bright");
    EXPECT_EQ(registry.enumValueName(StaticTypeOf<Shade>(), -1), "Dark");
    EXPECT_EQ(registry.enumValueName(StaticTypeOf<Shade>(), 0), std::nullopt);
    EXPECT_EQ(registry.enumValueName(StaticTypeOf<Point>(), 1), std::nullopt);
    EXPECT_EQ(registry.enumValueName(nullptr, 1), std::nullopt);
}

struct FieldRow {
    const char* name;
    std::size_t offset;
    const StaticTypeInfo* staticType;
    BindingTypeIdentifier type;
    std::uint32_t flags = 0;
};

// A scalar, a registered enumeration and structure, and containers of them;
// the other member kinds are named in the epytext type table.
TEST(BindingRegistryTest, TypedFieldsTakeKindOffsetAndElementFromTheMember) {
    BindingRegistry registry;
    RegisterConversionTypes(registry);
    const BindingTypeDescriptor* shade = registry.findType("Shade");
    const BindingTypeDescriptor* state = registry.findType("BindingAsyncState");
    const BindingTypeDescriptor* point = registry.findType("Point");
    using E = Everything;
    const FieldRow rows[] = {
        {"u16", offsetof(E, u16), StaticTypeOf<std::uint16_t>(), {Kind::UInt16}},
        {"state", offsetof(E, state), StaticTypeOf<BindingAsyncState>(), {Kind::Enum, Kind::None, state}},
        {"origin", offsetof(E, origin), StaticTypeOf<Point>(), {Kind::Struct, Kind::None, point}},
        {"shades", offsetof(E, shades), StaticTypeOf<std::vector<Shade>>(), {Kind::Vector, Kind::Enum, shade}},
        {"places",
         offsetof(E, places),
         StaticTypeOf<std::unordered_map<std::string, Point>>(),
         {Kind::Map, Kind::Struct, point}},
        {"optionalPath",
         offsetof(E, optionalPath),
         StaticTypeOf<std::vector<Point>>(),
         {Kind::Vector, Kind::Struct, point},
         kBindingFieldOptional},
    };
    const BindingTypeDescriptor* everything = registry.findType("Everything");
    ASSERT_NE(everything, nullptr);
    EXPECT_EQ(everything->fields.size(), 28u);
    EXPECT_EQ(everything->size, sizeof(E));
    for (const FieldRow& row : rows) {
        SCOPED_TRACE(row.name);
        const BindingFieldDescriptor* field = everything->findField(row.name);
        ASSERT_NE(field, nullptr);
        EXPECT_EQ(field->nameHash, HashText(row.name));
        EXPECT_EQ(field->offset, row.offset);
        EXPECT_EQ(field->staticType, row.staticType);
        EXPECT_EQ(field->type, row.type);
        EXPECT_EQ(field->describedType, BindingTypeIdentifier{});
        EXPECT_NE(field->converter, nullptr);
        EXPECT_EQ(field->owner, everything);
        EXPECT_FALSE(field->custom);
        EXPECT_EQ(field->flags, row.flags);
    }
}

// Counts how many converters and callbacks are destroyed.
int gDestroyed = 0;

class CountingConverter final : public BindingFieldConverter {
public:
    void assign(BindingResult&, void*, const BindingProperty&, const BindingTypeIdentifier&, std::string_view,
                const BindingRegistry*) const override {}
    void toValue(BindingResult&, const void*, const BindingTypeIdentifier&) const override {}
    ~CountingConverter() override { ++gDestroyed; }
};

class CountingCallback final : public BindingFunctionCallback {
public:
    ~CountingCallback() override { ++gDestroyed; }
};

TEST(BindingRegistryTest, CustomFieldUsesItsOwnConverter) {
    gDestroyed = 0;
    {
        BindingRegistry registry;
        auto converter = std::make_unique<CountingConverter>();
        const BindingFieldConverter* given = converter.get();
        BindingTypeBuilderFor<Point> builder = registry.registerType<Point>("Point");
        builder.addCustomField("x", &Point::x, {Kind::Callback}, std::move(converter));
        const BindingFieldDescriptor& field = builder.descriptor()->fields[0];
        EXPECT_TRUE(field.custom);
        EXPECT_EQ(field.converter.get(), given);
        EXPECT_EQ(field.type, BindingTypeIdentifier{Kind::Callback});

        EXPECT_TRUE(registry.removeType("Point"));
        EXPECT_EQ(gDestroyed, 1);
    }
    EXPECT_EQ(gDestroyed, 1);
}

TEST(BindingRegistryTest, EventsAreCreatedOnce) {
    BindingRegistry registry;
    const BindingTypeDescriptor* point = registry.registerType<Point>("Point").descriptor();
    BindingEventBuilder created = registry.registerEvent<Point>("OnPoint");
    ASSERT_FALSE(created.existed());
    created.description("Point event").nameSpace("tree").addTag("").addTag("green");

    BindingEventBuilder again = registry.registerEvent("OnPoint", static_cast<const BindingTypeDescriptor*>(nullptr));
    EXPECT_TRUE(again.existed());
    again.description("other").nameSpace("other").addTag("red");

    const BindingEventDescriptor* event = registry.findEvent("OnPoint");
    ASSERT_EQ(event, created.event());
    EXPECT_EQ(event->type, point);
    EXPECT_EQ(event->description, "Point event");
    EXPECT_EQ(event->nameSpace, "tree");
    EXPECT_EQ(event->tags, std::vector<std::string>{"green"});

    EXPECT_EQ(registry.registerEvent<Everything>("OnUnknown").event()->type, nullptr);
    EXPECT_EQ(registry.findEvent("OnMissing"), nullptr);
}

std::unique_ptr<BindingFunctionDescriptor> Function(const char* name) {
    auto function = std::make_unique<BindingFunctionDescriptor>();
    function->name = name;
    function->callback = std::make_unique<CountingCallback>();
    return function;
}

template <class Descriptor>
std::vector<std::string> Names(const std::vector<const Descriptor*>& entries) {
    std::vector<std::string> names;
    for (const Descriptor* entry : entries) names.push_back(entry->name);
    return names;
}

TEST(BindingRegistryTest, SnapshotsAreCopiesInNameOrder) {
    BindingRegistry registry;
    registry.registerType("b", 1, nullptr, false);
    registry.registerType("a", 1, nullptr, false);
    registry.registerEvent("OnZ", static_cast<const BindingTypeDescriptor*>(nullptr));
    registry.registerEvent("OnA", static_cast<const BindingTypeDescriptor*>(nullptr));
    registry.registerFunction(Function("Help"));
    EXPECT_EQ(registry.registerFunction(Function("Call"))->registry, &registry);

    const auto types = registry.types();
    const auto events = registry.events();
    const auto functions = registry.functions();
    registry.registerType("c", 1, nullptr, false);
    EXPECT_EQ(Names(types), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(Names(events), (std::vector<std::string>{"OnA", "OnZ"}));
    EXPECT_EQ(Names(functions), (std::vector<std::string>{"Call", "Help"}));
    EXPECT_EQ(registry.types().size(), 3u);
}

TEST(BindingRegistryTest, RemovingAFunctionRemovesEveryEntryOfItsName) {
    gDestroyed = 0;
    BindingRegistry registry;
    registry.registerFunction(Function("Call"));
    registry.registerFunction(Function("Call"));
    registry.registerFunction(Function("Help"));
    const std::uint32_t changes = registry.changeCount();

    EXPECT_EQ(registry.removeFunction("Call"), 2u);
    EXPECT_EQ(gDestroyed, 2);
    EXPECT_EQ(registry.changeCount(), changes + 1);
    EXPECT_EQ(registry.findFunction("Call"), nullptr);
    EXPECT_NE(registry.findFunction("Help"), nullptr);

    EXPECT_EQ(registry.removeFunction("Call"), 0u);
    EXPECT_EQ(registry.changeCount(), changes + 1);
}

TEST(BindingRegistryTest, ClearRemovesEverything) {
    gDestroyed = 0;
    BindingRegistry registry;
    registry.registerType<Point>("Point").untyped().addField("x", "", 0, StaticTypeOf<int>(), {Kind::Int32}, {}, 0,
                                                             std::make_unique<CountingConverter>());
    registry.registerEvent<Point>("OnPoint");
    registry.registerFunction(Function("Call"));
    EXPECT_TRUE(registry.removeEvent("OnPoint"));
    EXPECT_FALSE(registry.removeEvent("OnPoint"));
    registry.registerEvent<Point>("OnPoint");

    registry.clear();
    EXPECT_EQ(gDestroyed, 2);  // the field's converter and the function's callback
    EXPECT_TRUE(registry.types().empty());
    EXPECT_TRUE(registry.events().empty());
    EXPECT_TRUE(registry.functions().empty());
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<Point>()), nullptr);
    EXPECT_FALSE(registry.registerType<Point>("Point").inactive());
}

}  // namespace
}  // namespace Norv
