#include "binding/help/builtin_types.h"

#include <gtest/gtest.h>

#include <string>

#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/help/api_help.h"
#include "binding/help/help_types.h"
#include "tests/formats/value_text.h"

namespace Norv {
namespace {

// Everything a registry holds, as text, so two registries can be compared.
std::string Describe(const BindingRegistry& registry) {
    return Testing::ValueText(BuildApiHelp(registry, BindingHelpFormat::Full).value);
}

// Their names, descriptions, fields, kinds, tags and enumerators are pinned by
// the demo module's full-help transcript (tests/host-sim/golden/api_describe_demo.txt).
TEST(BuiltinTypesTest, RegistersTheHelpAndBuiltinTypesAndOneEventAndTheSameSetAgain) {
    BindingRegistry registry;
    registry.registerBuiltins();
    ASSERT_EQ(registry.events().size(), 1u);
    EXPECT_EQ(registry.findEvent("OnCallback")->type, registry.findType("BindingCallbackEvent"));
    EXPECT_TRUE(registry.functions().empty());
    EXPECT_TRUE(registry.builtinsRegistered());
    // Conversions find a builtin by the static identity of its native type.
    for (const BindingTypeDescriptor* type : registry.types()) {
        EXPECT_EQ(registry.findTypeByHash(type->hashCode), type) << type->name;
    }
    EXPECT_EQ(registry.findTypeByHash(StaticType::HashCode<BindingAsyncState>()),
              registry.findType("BindingAsyncState"));
    EXPECT_EQ(registry.enumValueName(StaticTypeOf<BindingAsyncState>(), 1), "Running");

    // Once populated, registering again starts from a cleared registry.
    const std::string expected = Describe(registry);
    registry.registerType("UserType", 1, nullptr, false);
    registry.registerEvent("OnUser", static_cast<const BindingTypeDescriptor*>(nullptr));
    registry.registerBuiltins();
    EXPECT_EQ(Describe(registry), expected);

    registry.clear();
    EXPECT_FALSE(registry.builtinsRegistered());
    registry.registerBuiltins();
    EXPECT_EQ(Describe(registry), expected);
}

}  // namespace
}  // namespace Norv
