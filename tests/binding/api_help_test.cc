#include "binding/help/api_help.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/help/builtin_types.h"
#include "binding/to_value.h"
#include "tests/formats/value_text.h"

namespace Norv {
namespace {

using Kind = BindingTypeKind;
using Testing::ValueText;

const BindingRegistry& Builtins() {
    static const BindingRegistry* registry = [] {
        auto* created = new BindingRegistry;
        created->registerBuiltins();
        return created;
    }();
    return *registry;
}

const BindingProperty& Named(const BindingProperty& list, std::string_view name) {
    for (const BindingProperty& item : list.elements()) {
        if (item.get("name").getString() == name) return item;
    }
    ADD_FAILURE() << "no item " << name;
    return BindingProperty::EmptyValue();
}

// The demo module's full-help transcript pins the types' texts, fields, order
// and events, with offsets and sizes masked; those are checked here.
TEST(ApiHelpTest, FullFormGivesFieldOffsetsAndTypeSizes) {
    const BindingResult help = BuildApiHelp(Builtins(), BindingHelpFormat::Full);
    ASSERT_TRUE(help.ok()) << help.error();
    const BindingProperty& type = Named(help.value.get("types"), "BindingCallbackEvent");
    EXPECT_EQ(type.get("size").getUnsigned(), sizeof(BindingCallbackEvent));
    EXPECT_EQ(ValueText(type.get("fields").at(0).get("offset")), "u:0");
    EXPECT_EQ(type.get("fields").at(1).get("offset").getUnsigned(), MemberOffset(&BindingCallbackEvent::parameters));
}

std::unique_ptr<BindingFunctionDescriptor> Function(std::string name, std::string description = {}) {
    auto function = std::make_unique<BindingFunctionDescriptor>();
    function->name = std::move(name);
    function->description = std::move(description);
    return function;
}

TEST(ApiHelpTest, FullFormOfAFunction) {
    const BindingTypeDescriptor* state = Builtins().findType("BindingAsyncState");
    auto start = Function("Start", "Starts {it}");
    start->nameSpace = "jobs";
    start->help = "Once.";
    start->parameters.push_back({"when", "Delay", {Kind::Vector, Kind::Int64}, {}, true, 0});
    start->parameters.push_back({"job", "", {Kind::Map, Kind::Enum, state}, {}, false, 0});
    start->returns = {Kind::Enum, Kind::None, state};
    start->async = true;
    start->threadSafe = true;
    start->tags = {"a", "b"};
    const BindingResult help = BuildApiHelp(Builtins(), {start.get()}, {}, {}, BindingHelpFormat::Full);
    ASSERT_TRUE(help.ok()) << help.error();
    // Data, not markup: nothing is escaped. "async" names the returned type.
    EXPECT_EQ(ValueText(help.value.get("functions")),
              "[{arguments=["
              "{description='Delay',name='when',optional=true,type={elementType='int64',type='vector'}},"
              "{description='',name='job',optional=false,type={elementType='BindingAsyncState',type='map'}}],"
              "async='BindingAsyncState',description='Starts {it}',help='Once.',name='Start',nameSpace='jobs',"
              "returns={elementType='',type='BindingAsyncState'},tags=['a','b'],threadSafe=true}]");
}

TEST(ApiHelpTest, OtherFormatsLeaveTheThreeMembersEmpty) {
    for (int format : {0, 3, -1}) {
        const BindingResult help = BuildApiHelp(Builtins(), static_cast<BindingHelpFormat>(format));
        ASSERT_TRUE(help.ok());
        EXPECT_EQ(ValueText(help.value), "{events=~,functions=~,types=~}") << format;
    }
}

TEST(ApiHelpTest, ItemsAreSortedByteWiseKeepingTheOrderOfEqualNames) {
    std::vector<std::unique_ptr<BindingFunctionDescriptor>> owned;
    std::vector<const BindingFunctionDescriptor*> functions;
    for (const char* name : {"b", "ab", "\xC3\xA9", "a", "B", "a"}) {
        owned.push_back(Function(name, std::to_string(owned.size())));
        functions.push_back(owned.back().get());
    }
    const BindingResult help = BuildApiHelp(Builtins(), functions, {}, {}, BindingHelpFormat::Full);
    ASSERT_TRUE(help.ok()) << help.error();
    std::string order;
    for (const BindingProperty& function : help.value.get("functions").elements()) {
        order += std::string(function.get("name").getString()) + std::string(function.get("description").getString());
    }
    EXPECT_EQ(order,
              "B4a3a5ab1b0\xC3\xA9"
              "2");
}

TEST(ApiHelpTest, FullFormFailsWithoutTheHelpTypes) {
    BindingRegistry bare;
    bare.registerType("Lonely", 1, nullptr, false);
    const BindingResult help = BuildApiHelp(bare, BindingHelpFormat::Full);
    EXPECT_FALSE(help.ok());
    EXPECT_EQ(help.error(), ToValueMessage::kUnregisteredStructure);
    EXPECT_TRUE(BuildApiHelp(bare, BindingHelpFormat::Epytext).ok());
}

}  // namespace
}  // namespace Norv
