#include "binding/help/builtin_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/binding_registry.h"
#include "binding/binding_type_builder.h"
#include "binding/help/help_types.h"

namespace Norv {
namespace {

using Kind = BindingTypeKind;

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

TEST(BuiltinTypesTest, RegistersTheHelpAndBuiltinTypesAndOneEvent) {
    std::vector<std::string> names;
    for (const BindingTypeDescriptor* type : Builtins().types()) names.push_back(type->name);
    EXPECT_EQ(names,
              (std::vector<std::string>{"BindingAsyncCancelEvent", "BindingAsyncFailureEvent", "BindingAsyncState",
                                        "BindingCallbackEvent", "BindingFullApiHelp", "BindingFullArgumentHelp",
                                        "BindingFullEnumValueHelp", "BindingFullEventHelp", "BindingFullFieldHelp",
                                        "BindingFullFunctionHelp", "BindingFullTypeHelp", "BindingFullTypeIdentifier",
                                        "BindingGenericAsyncEvent", "BindingGenericEvent", "BindingHelpFormat"}));
    ASSERT_EQ(Builtins().events().size(), 1u);
    EXPECT_TRUE(Builtins().functions().empty());
    EXPECT_TRUE(Builtins().builtinsRegistered());
}

TEST(BuiltinTypesTest, AsyncStateEnumerators) {
    const BindingTypeDescriptor* state = Builtins().findType("BindingAsyncState");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state, Builtins().findTypeByHash(StaticType::HashCode<BindingAsyncState>()));
    EXPECT_TRUE(state->isEnum);
    EXPECT_EQ(state->size, 4u);
    EXPECT_EQ(state->description, "Possible states of an asynchronous operation.");
    EXPECT_EQ(state->tags, (std::vector<std::string>{"$builtin", "async"}));
    struct Row {
        const char* name;
        std::int32_t value;
        const char* description;
    };
    const Row rows[] = {{"Cancelled", 3, "The operation was cancelled"},
                        {"Cancelling", 2, "A request to cancel the operation has been made"},
                        {"Failed", 5, "The operation encountered an error"},
                        {"None", 0, "Invalid state"},
                        {"Running", 1, "The operation is in flight"},
                        {"Succeeded", 4, "The operation completed successfully"}};
    ASSERT_EQ(state->values.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(state->values[i].name, rows[i].name);
        EXPECT_EQ(state->values[i].value, rows[i].value);
        EXPECT_EQ(state->values[i].description, rows[i].description);
    }
    EXPECT_EQ(Builtins().enumValueName(StaticTypeOf<BindingAsyncState>(), 1), "Running");
}

struct FieldRow {
    const char* name;
    BindingTypeIdentifier type;
    const char* description;
};

struct StructRow {
    const char* name;
    const char* description;
    std::vector<std::string> tags;
    std::vector<FieldRow> fields;
};

void ExpectStructures(const std::vector<StructRow>& rows) {
    for (const StructRow& row : rows) {
        SCOPED_TRACE(row.name);
        const BindingTypeDescriptor* type = Builtins().findType(row.name);
        ASSERT_NE(type, nullptr);
        EXPECT_FALSE(type->isEnum);
        EXPECT_EQ(type->description, row.description);
        EXPECT_EQ(type->tags, row.tags);
        EXPECT_EQ(Builtins().findTypeByHash(type->hashCode), type);
        ASSERT_EQ(type->fields.size(), row.fields.size());
        for (std::size_t i = 0; i < row.fields.size(); ++i) {
            EXPECT_EQ(type->fields[i].name, row.fields[i].name);
            EXPECT_EQ(type->fields[i].type, row.fields[i].type) << row.fields[i].name;
            EXPECT_EQ(type->fields[i].description, row.fields[i].description);
        }
    }
}

TEST(BuiltinTypesTest, BuiltinStructuresInDeclarationOrder) {
    const std::vector<std::string> builtin{"$builtin"};
    const std::vector<std::string> async{"$builtin", "async"};
    const BindingTypeIdentifier uint32{Kind::UInt32};
    const BindingTypeIdentifier object{Kind::Object};
    ExpectStructures({
        {"BindingGenericEvent", "Represents generic data for an event.", builtin, {{"data", object, "Event data"}}},
        {"BindingCallbackEvent",
         "Represents the parameters of a call to a provided callback.",
         builtin,
         {{"id", uint32, "ID of the callback being invoked"},
          {"parameters", {Kind::Vector, Kind::Object}, "Callback parameters"}}},
        {"BindingGenericAsyncEvent",
         "Represents generic data for an asynchronous event.",
         async,
         {{"asyncToken", uint32, "Asynchronous operation token"}, {"data", object, "Event data"}}},
        {"BindingAsyncFailureEvent",
         "Represents a failed asynchronous operation.",
         async,
         {{"asyncToken", uint32, "Asynchronous operation token"}, {"error", {Kind::String}, "Error message"}}},
        {"BindingAsyncCancelEvent",
         "Represents a cancelled asynchronous operation.",
         async,
         {{"asyncToken", uint32, "Asynchronous operation token"}}},
    });
}

// The help structures as the host reads them: member names, kinds and order.
TEST(BuiltinTypesTest, HelpStructuresInDeclarationOrder) {
    struct HelpField {
        const char* name;
        Kind kind;
        Kind elementKind;
        const char* typeName;  // the structure referred to, or ""
    };
    struct HelpType {
        const char* name;
        const char* description;
        std::vector<HelpField> fields;
    };
    auto string = [](const char* name) { return HelpField{name, Kind::String, Kind::None, ""}; };
    auto strings = [](const char* name) { return HelpField{name, Kind::Vector, Kind::String, ""}; };
    auto boolean = [](const char* name) { return HelpField{name, Kind::Bool, Kind::None, ""}; };
    auto uint32 = [](const char* name) { return HelpField{name, Kind::UInt32, Kind::None, ""}; };
    auto structure = [](const char* name, const char* type) { return HelpField{name, Kind::Struct, Kind::None, type}; };
    auto structures = [](const char* name, const char* type) {
        return HelpField{name, Kind::Vector, Kind::Struct, type};
    };
    const char* identifier = "BindingFullTypeIdentifier";
    const HelpType expected[] = {
        {"BindingFullTypeIdentifier", "Describes the type of a value.", {string("type"), string("elementType")}},
        {"BindingFullArgumentHelp",
         "Describes a function parameter.",
         {string("name"), string("description"), structure("type", identifier), boolean("optional")}},
        {"BindingFullFunctionHelp",
         "Describes a function.",
         {string("name"), string("nameSpace"), structures("arguments", "BindingFullArgumentHelp"),
          structure("returns", identifier), string("description"), string("help"), boolean("threadSafe"),
          string("async"), strings("tags")}},
        {"BindingFullEnumValueHelp",
         "Describes an enumerator.",
         {string("name"), string("description"), {"value", Kind::Int32, Kind::None, ""}}},
        {"BindingFullFieldHelp",
         "Describes a member of a struct.",
         {string("name"), string("description"), uint32("offset"), structure("type", identifier), boolean("optional")}},
        {"BindingFullTypeHelp",
         "Describes a struct or enum type.",
         {string("name"), string("nameSpace"), uint32("size"), string("description"), strings("tags"),
          structures("fields", "BindingFullFieldHelp"), structures("values", "BindingFullEnumValueHelp")}},
        {"BindingFullEventHelp",
         "Describes an event.",
         {string("name"), string("nameSpace"), structure("type", identifier), string("description"), strings("tags")}},
        {"BindingFullApiHelp",
         "Describes the exposed native API.",
         {structures("functions", "BindingFullFunctionHelp"), structures("types", "BindingFullTypeHelp"),
          structures("events", "BindingFullEventHelp")}},
    };
    for (const HelpType& row : expected) {
        SCOPED_TRACE(row.name);
        const BindingTypeDescriptor* type = Builtins().findType(row.name);
        ASSERT_NE(type, nullptr);
        EXPECT_FALSE(type->isEnum);
        EXPECT_EQ(type->description, row.description);
        ASSERT_EQ(type->fields.size(), row.fields.size());
        for (std::size_t i = 0; i < row.fields.size(); ++i) {
            const BindingFieldDescriptor& field = type->fields[i];
            const HelpField& want = row.fields[i];
            EXPECT_EQ(field.name, want.name) << i;
            EXPECT_EQ(field.type.kind, want.kind) << want.name;
            EXPECT_EQ(field.type.elementKind, want.elementKind) << want.name;
            EXPECT_EQ(field.type.descriptor == nullptr ? "" : field.type.descriptor->name, want.typeName) << want.name;
        }
    }
}

TEST(BuiltinTypesTest, HelpTypesAreTaggedAndReferToTheirElementTypes) {
    const std::vector<std::string> help{"$builtin", "help"};
    int helpTypes = 0;
    for (const BindingTypeDescriptor* type : Builtins().types()) {
        if (!type->hasTag("help")) continue;
        ++helpTypes;
        EXPECT_EQ(type->tags, help) << type->name;
        for (const BindingFieldDescriptor& field : type->fields) {
            EXPECT_EQ(field.description, "") << type->name << "." << field.name;
            // Element types are registered first, so no help field is left unresolved.
            const bool refersToType = field.type.kind == Kind::Struct || field.type.elementKind == Kind::Struct;
            EXPECT_EQ(field.type.descriptor != nullptr, refersToType) << type->name << "." << field.name;
        }
    }
    EXPECT_EQ(helpTypes, 9);

    const BindingTypeDescriptor* api = Builtins().findType("BindingFullApiHelp");
    ASSERT_EQ(api->fields.size(), 3u);
    EXPECT_EQ(api->fields[1].type,
              (BindingTypeIdentifier{Kind::Vector, Kind::Struct, Builtins().findType("BindingFullTypeHelp")}));

    const BindingTypeDescriptor* format = Builtins().findType("BindingHelpFormat");
    ASSERT_NE(format, nullptr);
    EXPECT_TRUE(format->isEnum);
    EXPECT_EQ(format->size, 4u);
    EXPECT_EQ(format->description, "Help format for binding functions and types.");
    ASSERT_EQ(format->values.size(), 2u);
    EXPECT_EQ(format->values[0].name, "Epytext");
    EXPECT_EQ(format->values[0].value, 2);
    EXPECT_EQ(format->values[0].description, "Python epytext format");
    EXPECT_EQ(format->values[1].name, "Full");
    EXPECT_EQ(format->values[1].value, 1);
    EXPECT_EQ(format->values[1].description, "Native help format");
}

TEST(BuiltinTypesTest, CallbackEvent) {
    const BindingEventDescriptor* event = Builtins().findEvent("OnCallback");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->type, Builtins().findType("BindingCallbackEvent"));
    EXPECT_EQ(event->description, "Fired when a callback is invoked.");
    EXPECT_EQ(event->tags, std::vector<std::string>{"$builtin"});
    EXPECT_EQ(event->nameSpace, "");
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
