#include "binding/help/api_help.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/help/builtin_types.h"
#include "binding/help/epytext.h"
#include "binding/to_value.h"
#include "help_test_types.h"

namespace Norv {
namespace {

using Kind = BindingTypeKind;

const BindingRegistry& Builtins() {
    static const BindingRegistry* registry = [] {
        auto* created = new BindingRegistry;
        created->registerBuiltins();
        return created;
    }();
    return *registry;
}

const BindingRegistry& WithResourceEvent() {
    static const BindingRegistry* registry = [] {
        auto* created = new BindingRegistry;
        created->registerBuiltins();
        HelpTest::RegisterResourceEventTypes(*created);
        return created;
    }();
    return *registry;
}

std::vector<std::string> Texts(const BindingProperty& list) {
    std::vector<std::string> texts;
    for (const BindingProperty& item : list.elements()) texts.emplace_back(item.getString());
    return texts;
}

std::vector<std::string> MemberNames(const BindingProperty& structure) {
    std::vector<std::string> names;
    for (const BindingMember& member : structure.members()) names.emplace_back(member.name);
    return names;
}

std::vector<std::string> Names(const BindingProperty& list) {
    std::vector<std::string> names;
    for (const BindingProperty& item : list.elements()) names.emplace_back(item.get("name").getString());
    return names;
}

const BindingProperty& Named(const BindingProperty& list, std::string_view name) {
    for (const BindingProperty& item : list.elements()) {
        if (item.get("name").getString() == name) return item;
    }
    ADD_FAILURE() << "no item " << name;
    return BindingProperty::EmptyValue();
}

void ExpectType(const BindingProperty& identifier, std::string_view type, std::string_view elementType) {
    EXPECT_EQ(identifier.get("type").getString(), type);
    EXPECT_EQ(identifier.get("elementType").getString(), elementType);
}

struct FieldRow {
    const char* name;
    const char* description;
    std::size_t offset;
    const char* type;
    const char* elementType;
};

void ExpectFields(const BindingProperty& type, const std::vector<FieldRow>& rows) {
    const BindingProperty& fields = type.get("fields");
    ASSERT_EQ(fields.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].name);
        const BindingProperty& field = fields.at(i);
        EXPECT_EQ(MemberNames(field), (std::vector<std::string>{"description", "name", "offset", "optional", "type"}));
        EXPECT_EQ(field.get("name").getString(), rows[i].name);
        EXPECT_EQ(field.get("description").getString(), rows[i].description);
        EXPECT_EQ(field.get("offset").getUnsigned(), rows[i].offset);
        EXPECT_FALSE(field.get("optional").getBool(true));
        ExpectType(field.get("type"), rows[i].type, rows[i].elementType);
    }
}

TEST(ApiHelpTest, FullFormOfTheBuiltinRegistry) {
    const BindingResult help = BuildApiHelp(Builtins(), BindingHelpFormat::Full);
    ASSERT_TRUE(help.ok()) << help.error();
    EXPECT_EQ(MemberNames(help.value), (std::vector<std::string>{"events", "functions", "types"}));
    EXPECT_EQ(help.value.get("functions").kind(), BindingValueKind::Collection);
    EXPECT_EQ(help.value.get("functions").size(), 0u);

    const BindingProperty& types = help.value.get("types");
    EXPECT_EQ(Names(types),
              (std::vector<std::string>{"BindingAsyncCancelEvent", "BindingAsyncFailureEvent", "BindingAsyncState",
                                        "BindingCallbackEvent", "BindingFullApiHelp", "BindingFullArgumentHelp",
                                        "BindingFullEnumValueHelp", "BindingFullEventHelp", "BindingFullFieldHelp",
                                        "BindingFullFunctionHelp", "BindingFullTypeHelp", "BindingFullTypeIdentifier",
                                        "BindingGenericAsyncEvent", "BindingGenericEvent", "BindingHelpFormat"}));

    // Enumerators in the registry's name order, as the full form lists them.
    const BindingProperty& state = Named(types, "BindingAsyncState");
    EXPECT_EQ(MemberNames(state),
              (std::vector<std::string>{"description", "fields", "name", "nameSpace", "size", "tags", "values"}));
    EXPECT_EQ(state.get("nameSpace").getString(), "");
    EXPECT_EQ(state.get("size").getUnsigned(), 4u);
    EXPECT_EQ(state.get("description").getString(), "Possible states of an asynchronous operation.");
    EXPECT_EQ(Texts(state.get("tags")), (std::vector<std::string>{"$builtin", "async"}));
    EXPECT_EQ(state.get("fields").size(), 0u);
    struct ValueRow {
        const char* name;
        std::int64_t value;
        const char* description;
    };
    const ValueRow values[] = {{"Cancelled", 3, "The operation was cancelled"},
                               {"Cancelling", 2, "A request to cancel the operation has been made"},
                               {"Failed", 5, "The operation encountered an error"},
                               {"None", 0, "Invalid state"},
                               {"Running", 1, "The operation is in flight"},
                               {"Succeeded", 4, "The operation completed successfully"}};
    ASSERT_EQ(state.get("values").size(), std::size(values));
    for (std::size_t i = 0; i < std::size(values); ++i) {
        const BindingProperty& value = state.get("values").at(i);
        EXPECT_EQ(value.get("name").getString(), values[i].name);
        EXPECT_EQ(value.get("value").getSigned(), values[i].value);
        EXPECT_EQ(value.get("description").getString(), values[i].description);
    }

    const BindingProperty& callback = Named(types, "BindingCallbackEvent");
    EXPECT_EQ(callback.get("size").getUnsigned(), sizeof(BindingCallbackEvent));
    EXPECT_EQ(callback.get("values").size(), 0u);
    ExpectFields(callback, {{"id", "ID of the callback being invoked", 0, "uint32", ""},
                            {"parameters", "Callback parameters", offsetof(BindingCallbackEvent, parameters), "vector",
                             "object"}});
    ExpectFields(Named(types, "BindingFullApiHelp"),
                 {{"functions", "", 0, "vector", "BindingFullFunctionHelp"},
                  {"types", "", offsetof(BindingFullApiHelp, types), "vector", "BindingFullTypeHelp"},
                  {"events", "", offsetof(BindingFullApiHelp, events), "vector", "BindingFullEventHelp"}});

    const BindingProperty& events = help.value.get("events");
    ASSERT_EQ(events.size(), 1u);
    const BindingProperty& onCallback = events.at(0);
    EXPECT_EQ(MemberNames(onCallback), (std::vector<std::string>{"description", "name", "nameSpace", "tags", "type"}));
    EXPECT_EQ(onCallback.get("name").getString(), "OnCallback");
    EXPECT_EQ(onCallback.get("description").getString(), "Fired when a callback is invoked.");
    EXPECT_EQ(Texts(onCallback.get("tags")), std::vector<std::string>{"$builtin"});
    ExpectType(onCallback.get("type"), "BindingCallbackEvent", "");
}

TEST(ApiHelpTest, FullFormOfTheResourceEvent) {
    const BindingResult help = BuildApiHelp(WithResourceEvent(), BindingHelpFormat::Full);
    ASSERT_TRUE(help.ok()) << help.error();
    const BindingProperty& event = Named(help.value.get("types"), "PluginResourceEvent");
    EXPECT_EQ(Texts(event.get("tags")), std::vector<std::string>{"nclient"});
    ExpectFields(event, {{"uri", "", offsetof(HelpTest::ResourceEvent, uri), "string", ""},
                         {"eventType", "", offsetof(HelpTest::ResourceEvent, eventType), "PluginResourceEventType", ""},
                         {"data", "", offsetof(HelpTest::ResourceEvent, data), "object", ""}});
    const BindingProperty& eventType = Named(help.value.get("types"), "PluginResourceEventType");
    EXPECT_EQ(Names(eventType.get("values")), (std::vector<std::string>{"Create", "Delete", "Update"}));
    const BindingProperty& onJsonApi = Named(help.value.get("events"), "OnJsonApiEvent");
    ExpectType(onJsonApi.get("type"), "PluginResourceEvent", "");
    EXPECT_EQ(onJsonApi.get("description").getString(), "Fired when a resource is changed.");
}

std::unique_ptr<BindingFunctionDescriptor> Function(std::string name) {
    auto function = std::make_unique<BindingFunctionDescriptor>();
    function->name = std::move(name);
    return function;
}

TEST(ApiHelpTest, FullFormOfAFunction) {
    const BindingTypeDescriptor* state = Builtins().findType("BindingAsyncState");
    auto start = Function("Start");
    start->nameSpace = "jobs";
    start->description = "Starts {it}";
    start->help = "Call once.";
    start->parameters.push_back({"when", "Delay", {Kind::Vector, Kind::Int64}, {}, true, 0});
    start->parameters.push_back({"job", "", {Kind::Map, Kind::Struct, state}, {}, false, 0});
    start->returns = {Kind::Enum, Kind::None, state};
    start->async = true;
    start->threadSafe = true;
    start->tags = {"a", "b"};
    auto stop = Function("Stop");

    const BindingResult help = BuildApiHelp(Builtins(), {start.get(), stop.get()}, {}, {}, BindingHelpFormat::Full);
    ASSERT_TRUE(help.ok()) << help.error();
    const BindingProperty& functions = help.value.get("functions");
    ASSERT_EQ(functions.size(), 2u);
    const BindingProperty& full = functions.at(0);
    EXPECT_EQ(MemberNames(full), (std::vector<std::string>{"arguments", "async", "description", "help", "name",
                                                           "nameSpace", "returns", "tags", "threadSafe"}));
    EXPECT_EQ(full.get("name").getString(), "Start");
    EXPECT_EQ(full.get("nameSpace").getString(), "jobs");
    // The full form is data, not markup: nothing is escaped.
    EXPECT_EQ(full.get("description").getString(), "Starts {it}");
    EXPECT_EQ(full.get("help").getString(), "Call once.");
    EXPECT_TRUE(full.get("threadSafe").getBool());
    EXPECT_EQ(full.get("async").getString(), "BindingAsyncState");
    EXPECT_EQ(Texts(full.get("tags")), (std::vector<std::string>{"a", "b"}));
    ExpectType(full.get("returns"), "BindingAsyncState", "");
    const BindingProperty& arguments = full.get("arguments");
    ASSERT_EQ(arguments.size(), 2u);
    EXPECT_EQ(arguments.at(0).get("name").getString(), "when");
    EXPECT_EQ(arguments.at(0).get("description").getString(), "Delay");
    EXPECT_TRUE(arguments.at(0).get("optional").getBool());
    ExpectType(arguments.at(0).get("type"), "vector", "int64");
    EXPECT_EQ(arguments.at(1).get("name").getString(), "job");
    EXPECT_FALSE(arguments.at(1).get("optional").getBool(true));
    ExpectType(arguments.at(1).get("type"), "map", "BindingAsyncState");

    const BindingProperty& plain = functions.at(1);
    EXPECT_EQ(plain.get("async").getString("x"), "");
    EXPECT_EQ(plain.get("arguments").size(), 0u);
    ExpectType(plain.get("returns"), "", "");
}

TEST(ApiHelpTest, EpytextFormHoldsOneTextPerItemByName) {
    const BindingResult help = BuildApiHelp(WithResourceEvent(), BindingHelpFormat::Epytext);
    ASSERT_TRUE(help.ok()) << help.error();
    EXPECT_EQ(help.value.get("functions").kind(), BindingValueKind::Structure);
    EXPECT_EQ(help.value.get("functions").size(), 0u);
    const BindingProperty& types = help.value.get("types");
    EXPECT_EQ(types.size(), WithResourceEvent().types().size());
    for (const BindingTypeDescriptor* type : WithResourceEvent().types()) {
        std::string text;
        if (type->isEnum) {
            RenderEpytextEnum(text, *type);
        } else {
            RenderEpytextStruct(text, *type);
        }
        EXPECT_EQ(types.get(type->name).getString(), text) << type->name;
    }
    EXPECT_EQ(help.value.get("events").get("OnCallback").getString(),
              "Fired when a callback is invoked.\r\n\r\n@tags: $builtin\r\n");
    EXPECT_EQ(help.value.get("events").get("OnJsonApiEvent").getString(),
              "Fired when a resource is changed.\r\n\r\n@tags: nclient\r\n");

    auto add = Function("Add");
    add->description = "Adds";
    const BindingResult withFunction = BuildApiHelp(Builtins(), {add.get()}, {}, {}, BindingHelpFormat::Epytext);
    EXPECT_EQ(withFunction.value.get("functions").get("Add").getString(), "Adds\r\n\r\n");
    EXPECT_EQ(withFunction.value.get("types").size(), 0u);
}

TEST(ApiHelpTest, OtherFormatsLeaveTheThreeMembersEmpty) {
    for (int format : {0, 3, -1}) {
        const BindingResult help = BuildApiHelp(Builtins(), static_cast<BindingHelpFormat>(format));
        ASSERT_TRUE(help.ok());
        EXPECT_EQ(MemberNames(help.value), (std::vector<std::string>{"events", "functions", "types"})) << format;
        for (const BindingMember& member : help.value.members()) EXPECT_TRUE(member.value.isEmpty()) << format;
    }
}

TEST(ApiHelpTest, ItemsAreSortedByteWise) {
    std::vector<std::unique_ptr<BindingFunctionDescriptor>> owned;
    std::vector<const BindingFunctionDescriptor*> functions;
    for (const char* name : {"b", "ab", "\xC3\xA9", "a", "B", "a"}) {
        owned.push_back(Function(name));
        owned.back()->description = std::to_string(owned.size());
        functions.push_back(owned.back().get());
    }
    const BindingResult help = BuildApiHelp(Builtins(), functions, {}, {}, BindingHelpFormat::Full);
    ASSERT_TRUE(help.ok()) << help.error();
    const BindingProperty& sorted = help.value.get("functions");
    EXPECT_EQ(Names(sorted), (std::vector<std::string>{"B", "a", "a", "ab", "b", "\xC3\xA9"}));
    // Functions that share a name keep the order they were given in.
    EXPECT_EQ(sorted.at(1).get("description").getString(), "4");
    EXPECT_EQ(sorted.at(2).get("description").getString(), "6");
}

TEST(ApiHelpTest, FullFormFailsWithoutTheHelpTypes) {
    BindingRegistry bare;
    bare.registerType("Lonely", 1, nullptr, false);
    const BindingResult help = BuildApiHelp(bare, BindingHelpFormat::Full);
    EXPECT_FALSE(help.ok());
    EXPECT_EQ(help.error(), ToValueMessage::kUnregisteredStructure);
    // Epytext needs no help types.
    const BindingResult epytext = BuildApiHelp(bare, BindingHelpFormat::Epytext);
    ASSERT_TRUE(epytext.ok());
    EXPECT_EQ(epytext.value.get("types").get("Lonely").getString(), "");
}

}  // namespace
}  // namespace Norv
