#include "binding/help/builtin_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/help/help_types.h"

namespace Norv {
namespace {

// Everything a registry holds, as text, so two registries can be compared.
std::string Describe(const BindingRegistry& registry) {
    std::string text;
    auto typeText = [](const BindingTypeIdentifier& type) {
        return std::string(BindingTypeKindName(type.kind)) + "/" + BindingTypeKindName(type.elementKind) + "/" +
               (type.descriptor ? type.descriptor->name : "-");
    };
    for (const BindingTypeDescriptor* type : registry.types()) {
        text += "type " + type->name + " size " + std::to_string(type->size) + (type->isEnum ? " enum" : " struct") +
                " [" + type->description + "]";
        for (const std::string& tag : type->tags) text += " #" + tag;
        text += "\n";
        for (const BindingFieldDescriptor& field : type->fields) {
            text += "  field " + field.name + " " + typeText(field.type) + " @" + std::to_string(field.offset) + " [" +
                    field.description + "]\n";
        }
        for (const BindingEnumValue& value : type->values) {
            text += "  value " + value.name + " " + std::to_string(value.value) + " [" + value.description + "]\n";
        }
    }
    for (const BindingEventDescriptor* event : registry.events()) {
        text +=
            "event " + event->name + " " + (event->type ? event->type->name : "-") + " [" + event->description + "]";
        for (const std::string& tag : event->tags) text += " #" + tag;
        text += "\n";
    }
    return text;
}

BindingRegistry& Builtins() {
    static BindingRegistry* registry = [] {
        auto* created = new BindingRegistry;
        created->registerBuiltins();
        return created;
    }();
    return *registry;
}

// Their names, descriptions, fields, kinds, tags and enumerators are pinned by
// the demo module's full-help transcript (tests/host-sim/golden/api_describe_demo.txt).
TEST(BuiltinTypesTest, RegistersTheHelpAndBuiltinTypesAndOneEvent) {
    ASSERT_EQ(Builtins().events().size(), 1u);
    EXPECT_EQ(Builtins().findEvent("OnCallback")->type, Builtins().findType("BindingCallbackEvent"));
    EXPECT_TRUE(Builtins().functions().empty());
    EXPECT_TRUE(Builtins().builtinsRegistered());
    // Conversions find a builtin by the static identity of its native type.
    for (const BindingTypeDescriptor* type : Builtins().types()) {
        EXPECT_EQ(Builtins().findTypeByHash(type->hashCode), type) << type->name;
    }
    EXPECT_EQ(Builtins().findTypeByHash(StaticType::HashCode<BindingAsyncState>()),
              Builtins().findType("BindingAsyncState"));
    EXPECT_EQ(Builtins().enumValueName(StaticTypeOf<BindingAsyncState>(), 1), "Running");
}

TEST(BuiltinTypesTest, RegisteringAgainGivesTheSameSet) {
    const std::string expected = Describe(Builtins());
    BindingRegistry registry;
    registry.registerBuiltins();
    EXPECT_EQ(Describe(registry), expected);

    // Once populated, registering again starts from a cleared registry.
    registry.registerType("UserType", 1, nullptr, false);
    registry.registerEvent("OnUser", static_cast<const BindingTypeDescriptor*>(nullptr));
    registry.registerBuiltins();
    EXPECT_EQ(Describe(registry), expected);

    registry.clear();
    EXPECT_FALSE(registry.builtinsRegistered());
    registry.registerBuiltins();
    EXPECT_EQ(Describe(registry), expected);
}

TEST(BuiltinTypesTest, ExistingTypeOfABuiltinNameIsLeftAlone) {
    BindingRegistry registry;
    registry.registerType("BindingAsyncState", 1, nullptr, true).description("mine").addEnumValue("Only", 9);
    registry.registerEvent("OnCallback", static_cast<const BindingTypeDescriptor*>(nullptr)).description("mine");
    registry.registerBuiltins();
    const BindingTypeDescriptor* state = registry.findType("BindingAsyncState");
    EXPECT_EQ(state->description, "mine");
    EXPECT_TRUE(state->tags.empty());
    ASSERT_EQ(state->values.size(), 1u);
    EXPECT_EQ(state->values[0].name, "Only");
    const BindingEventDescriptor* event = registry.findEvent("OnCallback");
    EXPECT_EQ(event->description, "mine");
    EXPECT_EQ(event->type, nullptr);
    EXPECT_TRUE(event->tags.empty());
}

}  // namespace
}  // namespace Norv
