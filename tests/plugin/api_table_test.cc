#include "plugin/api_table.h"

#include "plugin/host_plugin.h"
#include "plugin/host_types.h"
#include "remoting/function_registration.h"
#include "remoting/request_method.h"
#include "remoting/response_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace Norv {
namespace {

struct Inner {
    static constexpr FixedText kStaticTypeText{"struct Norv::ApiTableTest::Inner"};
    std::int32_t depth = 0;
};

struct Outer {
    static constexpr FixedText kStaticTypeText{"struct Norv::ApiTableTest::Outer"};
    std::string shown;  // described to the host as an object
};

// Packed fields are read by value: a reference to one may be misaligned.
template <class T>
T Field(T value) {
    return value;
}

template <class Record>
std::size_t ChainLength(const Record* first) {
    std::size_t length = 0;
    for (const Record* record = first; record != nullptr && length <= 100000; record = record->next) ++length;
    return length;
}

// A host may index an array as well as follow its chain. That every chain is
// as long as its count says is checked by the host simulator's listings of both
// modules, except for text lists: only these tests build them.
template <class Record>
bool Contiguous(const Record* first) {
    for (const Record* record = first; record != nullptr && record->next != nullptr; record = record->next) {
        if (record->next != record + 1) return false;
    }
    return true;
}

void ExpectContiguous(const PluginApiTable& table) {
    EXPECT_TRUE(Contiguous(table.events) && Contiguous(table.types) && Contiguous(table.functions));
    for (const PluginTypeRecord* type = table.types; type != nullptr; type = type->next) {
        EXPECT_TRUE(Contiguous(type->members) && Contiguous(type->enumerators)) << Field(type->name);
    }
    for (const PluginFunctionRecord* function = table.functions; function != nullptr; function = function->next) {
        EXPECT_EQ(ChainLength(function->textLists), Field(function->textListCount)) << Field(function->name);
        EXPECT_TRUE(Contiguous(function->arguments) && Contiguous(function->locations) &&
                    Contiguous(function->textLists))
            << Field(function->name);
    }
}

const PluginTypeRecord* FindType(const PluginApiTable& table, std::string_view name) {
    for (const PluginTypeRecord* type = table.types; type != nullptr; type = type->next) {
        if (type->name == name) return type;
    }
    return nullptr;
}

// The registry a plugin has at the handshake: builtins and host types.
class ApiTableOfHostTypes : public testing::Test {
protected:
    ApiTableOfHostTypes() { Client::RegisterHostTypes(registry); }

    FunctionDispatcher registry;
    ApiTableRecords table;
};

// Names, codes and tags are pinned by the shipping module's API listing, which
// masks sizes and offsets: those are checked here against the native layout.
TEST_F(ApiTableOfHostTypes, RecordsKeepNativeOffsetsAndOutliveTheRegistrysTexts) {
    const PluginApiTable& words = table.Build(registry, nullptr);
    // Under ASan a record still pointing into the registry fails here.
    registry.clear();
    registry.registerType("A filler name too long for any short-string buffer", 4, nullptr, false);
    ExpectContiguous(words);
    const PluginTypeRecord* event = FindType(words, "PluginResourceEvent");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(Field(event->size), sizeof(Client::PluginResourceEvent));
    Client::PluginResourceEvent native;
    const auto offsetOf = [&](const void* member) {
        return static_cast<std::uint32_t>(static_cast<const char*>(member) - reinterpret_cast<const char*>(&native));
    };
    const std::uint32_t expected[] = {offsetOf(&native.uri), offsetOf(&native.eventType), offsetOf(&native.data)};
    const PluginMemberRecord* member = event->members;
    for (const std::uint32_t offset : expected) {
        ASSERT_NE(member, nullptr);
        EXPECT_EQ(Field(member->offset), offset) << member->name;
        member = member->next;
    }
    EXPECT_STREQ(event->members->next->name, "eventType");
    EXPECT_STREQ(event->members->next->typeName, "PluginResourceEventType");
    EXPECT_STREQ(event->tags[0], "nclient");
    EXPECT_STREQ(words.events[0].typeName, "BindingCallbackEvent");
}

// Calls through a function record as the host does: "status [error]". What the
// functions answer is the demo module's call transcript's business.
std::string CallRecord(const PluginFunctionRecord& function, std::int32_t method, const char* path,
                       const char* body = nullptr, const char* methodName = nullptr) {
    HostRequestRecord request{};
    request.method = method;
    request.methodName = methodName;
    request.path = path;
    request.handlerContext = function.handlerContext;
    if (body != nullptr) {
        request.contentType = "application/json";
        request.body = body;
        request.bodyLength = static_cast<std::uint32_t>(std::strlen(body));
    }
    HostResponseRecord response{};
    function.handler(&response, &request);
    std::string answer = std::to_string(response.status);
    if (response.hasError != 0) answer += std::string(" ") + response.error;
    response.release(&response);
    return answer;
}

class ApiTableFunctions : public testing::Test {
protected:
    ApiTableFunctions() {
        registry.registerType<Inner>("Inner").addField("depth", &Inner::depth);
        FunctionDeclaration measure{
            "Measure", "/shapes/{kind}/size", kMethodGet, {{"kind", kLocationPath}, {"scale", kLocationQuery, true}}};
        measure.parameters[1].description = "Factor";
        get = RegisterFunction(registry, std::move(measure),
                               [](std::string kind, std::int32_t scale) { return kind + "x" + std::to_string(scale); });
        // The same name under another method and template, with other parameters.
        FunctionDeclaration deepen{"Measure", "/shapes", kMethodNamed, {{"shape", kLocationBody}}};
        deepen.methodName = "MEASURE";
        post = RegisterFunction(registry, std::move(deepen), [](Inner shape) { return shape.depth + 1; });
        // A function without a route cannot be reached, so it is not offered.
        auto bare = std::make_unique<BindingFunctionDescriptor>();
        bare->name = "Bare";
        registry.registerFunction(std::move(bare));
    }

    FunctionDispatcher registry;
    RegisteredFunction get;
    RegisteredFunction post;
    int plugin = 0;
};

TEST_F(ApiTableFunctions, BuildsEachRecordFromItsOwnRoute) {
    ASSERT_TRUE(get.ok()) << get.error;
    ASSERT_TRUE(post.ok()) << post.error;
    // The host's own fields of a route are copied as they stand.
    auto* route = const_cast<FunctionRoute*>(post.route);
    route->flag = 7;
    route->textLists = {{"a", "b"}, {}};

    ApiTableRecords table;
    const PluginApiTable& words = table.Build(registry, &plugin);
    ExpectContiguous(words);
    ASSERT_EQ(words.functionCount, 2u);
    const PluginFunctionRecord& first = words.functions[0];
    const PluginFunctionRecord& second = words.functions[1];

    // Names, methods, templates, types and locations are pinned by the demo
    // module's API listing; what it does not show is checked here.
    for (const PluginFunctionRecord* record : {&first, &second}) {
        EXPECT_EQ(Field(record->zero), 0u);
        EXPECT_STREQ(record->nameSpace, "");
        EXPECT_STREQ(record->help, "");
        const auto* context = static_cast<const FunctionHandlerContext*>(record->handlerContext);
        ASSERT_NE(context, nullptr);
        EXPECT_EQ(context->plugin, &plugin);
    }

    EXPECT_EQ(Field(first.flag), 0);
    EXPECT_EQ(Field(first.textLists), nullptr);
    ASSERT_EQ(Field(first.argumentCount), 2u);
    EXPECT_STREQ(first.arguments[1].description, "Factor");

    EXPECT_EQ(Field(second.method), 8u);
    EXPECT_STREQ(second.methodName, "MEASURE");
    EXPECT_EQ(Field(second.flag), 7);
    ASSERT_EQ(Field(second.textListCount), 2u);
    EXPECT_EQ(Field(second.textLists[0].count), 2u);
    EXPECT_STREQ(second.textLists[0].texts[1], "b");
    EXPECT_EQ(Field(second.textLists[1].texts), nullptr);
    EXPECT_EQ(Field(second.textLists[1].count), 0u);

    EXPECT_EQ(CallRecord(first, kMethodGet, "/shapes/cube/size?scale=3"), "0");
    EXPECT_EQ(CallRecord(second, kMethodNamed, "/shapes", "{\"depth\":4}", "MEASURE"), "0");
    // A context leads to its own route only, whatever the name they share.
    EXPECT_EQ(CallRecord(second, kMethodGet, "/shapes/cube/size"), "404 Invalid function");
    EXPECT_EQ(CallRecord(first, kMethodNamed, "/shapes", "{\"depth\":4}", "MEASURE"), "404 Invalid function");
}

// What the host is shown may differ from the native types, for members,
// arguments and results; an asynchronous function names its registered result
// type. How each kind is coded is pinned by the API listings.
TEST_F(ApiTableFunctions, ShowsDescribedTypesAndTheAsyncResultType) {
    registry.registerType<Outer>("Outer").addField("shown", &Outer::shown, {}, 0,
                                                   BindingTypeIdentifier{BindingTypeKind::Object});
    auto* measure = const_cast<BindingFunctionDescriptor*>(get.route->function);
    auto* deepen = const_cast<BindingFunctionDescriptor*>(post.route->function);
    const BindingTypeDescriptor* inner = registry.findType("Inner");
    measure->parameters[1].describedType = BindingTypeIdentifier{BindingTypeKind::Object};
    measure->describedReturns = BindingTypeIdentifier{BindingTypeKind::Vector};
    measure->describedReturns.elementKind = BindingTypeKind::Struct;
    measure->describedReturns.descriptor = inner;
    deepen->returns = BindingTypeIdentifier{BindingTypeKind::Struct};
    deepen->returns.descriptor = inner;
    for (const bool async : {false, true}) {
        deepen->async = async;
        ApiTableRecords table;
        const PluginApiTable& words = table.Build(registry, &plugin);
        ASSERT_EQ(words.functionCount, 2u);
        const PluginFunctionRecord& first = words.functions[0];
        const PluginFunctionRecord& second = words.functions[1];
        EXPECT_EQ(Field(first.arguments[0].typeCode), 12u);
        EXPECT_EQ(Field(first.arguments[1].typeCode), 13u);
        EXPECT_EQ(Field(first.returnTypeCode), 15u);
        EXPECT_EQ(Field(first.returnElementTypeCode), 17u);
        EXPECT_STREQ(first.returnTypeName, "Inner");
        EXPECT_EQ(Field(second.returnTypeCode), 17u);
        EXPECT_STREQ(second.asyncTypeName, async ? "Inner" : "");
        EXPECT_EQ(Field(FindType(words, "Outer")->members->typeCode), 13u);
    }
}

}  // namespace
}  // namespace Norv

// A host in C reads the codes by the header's names, so they must not drift.
TEST(ApiTableCodes, HeaderEnumerationsMatchTheNativeValues) {
    const std::pair<std::uint32_t, Norv::BindingTypeKind> kinds[] = {
        {NORV_TYPE_NONE, Norv::BindingTypeKind::None},         {NORV_TYPE_BOOL, Norv::BindingTypeKind::Bool},
        {NORV_TYPE_INT8, Norv::BindingTypeKind::Int8},         {NORV_TYPE_UINT8, Norv::BindingTypeKind::UInt8},
        {NORV_TYPE_INT16, Norv::BindingTypeKind::Int16},       {NORV_TYPE_UINT16, Norv::BindingTypeKind::UInt16},
        {NORV_TYPE_INT32, Norv::BindingTypeKind::Int32},       {NORV_TYPE_UINT32, Norv::BindingTypeKind::UInt32},
        {NORV_TYPE_INT64, Norv::BindingTypeKind::Int64},       {NORV_TYPE_UINT64, Norv::BindingTypeKind::UInt64},
        {NORV_TYPE_FLOAT, Norv::BindingTypeKind::Float},       {NORV_TYPE_DOUBLE, Norv::BindingTypeKind::Double},
        {NORV_TYPE_STRING, Norv::BindingTypeKind::String},     {NORV_TYPE_OBJECT, Norv::BindingTypeKind::Object},
        {NORV_TYPE_BLOB, Norv::BindingTypeKind::Blob},         {NORV_TYPE_VECTOR, Norv::BindingTypeKind::Vector},
        {NORV_TYPE_ENUM, Norv::BindingTypeKind::Enum},         {NORV_TYPE_STRUCT, Norv::BindingTypeKind::Struct},
        {NORV_TYPE_CALLBACK, Norv::BindingTypeKind::Callback}, {NORV_TYPE_MAP, Norv::BindingTypeKind::Map},
    };
    for (const auto& [code, kind] : kinds) EXPECT_EQ(code, static_cast<std::uint32_t>(kind));
    const std::pair<std::int32_t, Norv::RequestMethod> methods[] = {
        {NORV_METHOD_DELETE, Norv::kMethodDelete}, {NORV_METHOD_GET, Norv::kMethodGet},
        {NORV_METHOD_HEAD, Norv::kMethodHead},     {NORV_METHOD_OPTIONS, Norv::kMethodOptions},
        {NORV_METHOD_PATCH, Norv::kMethodPatch},   {NORV_METHOD_POST, Norv::kMethodPost},
        {NORV_METHOD_PUT, Norv::kMethodPut},       {NORV_METHOD_NAMED, Norv::kMethodNamed},
    };
    for (const auto& [code, method] : methods) EXPECT_EQ(code, static_cast<std::int32_t>(method));
}
