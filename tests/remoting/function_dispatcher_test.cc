#include "remoting/function_dispatcher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/binding_limits.h"
#include "binding/binding_registry.h"
#include "diagnostics/format.h"
#include "formats/json_reader.h"
#include "tests/formats/value_text.h"
#include "tests/remoting/record_checks.h"

namespace Norv {
namespace {

using Testing::OutstandingBlocks;

// Records what the function was called with; answers with its arguments as
// text (or with what `answer` does), and counts its live result handles.
class RecordingInvoker : public FunctionInvoker {
public:
    void* invoke(CallResult& result, std::span<BindingProperty> arguments, std::uint32_t callerContext) override {
        ++calls;
        context = callerContext;
        text.clear();
        for (const BindingProperty& argument : arguments) text += Testing::ValueText(argument) + " ";
        if (throwOnInvoke) throw std::runtime_error("boom");
        if (failOnInvoke) result.setError("refused");
        ++liveHandles;
        return new int(0);
    }
    void write(CallResult& result, const RemotingRequest* request, void*, std::uint32_t) override {
        if (request != nullptr) {
            const auto header = request->headers.find("h");
            requestSeen = Format("%1 %2 %3 %4 h=%5 %6", request->path, request->method, request->methodName,
                                 request->callerContext, header == request->headers.end() ? "" : header->second,
                                 request->time > 0);
        }
        if (throwOnWrite) throw std::runtime_error("bad write");
        result.body = text;
        if (status != 0) result.status = status;
    }
    void destroy(void* handle) noexcept override {
        delete static_cast<int*>(handle);
        --liveHandles;
    }
    std::uint32_t requestType() const override { return wantedRequest; }

    int calls = 0;
    int liveHandles = 0;
    std::uint32_t context = 0;
    std::string text;
    bool throwOnInvoke = false;
    bool throwOnWrite = false;
    bool failOnInvoke = false;
    std::int32_t status = 0;
    std::uint32_t wantedRequest = 0;
    std::string requestSeen;  // path, method, name, caller context, header h, whether timed
};

struct Parameter {
    const char* name;
    BindingTypeKind kind;
    std::uint32_t location = kLocationAnywhere;
    bool optional = false;
};

// One function behind its route and handler context, called through the C handler.
class Function {
public:
    Function(const char* text, std::initializer_list<Parameter> parameters, std::int32_t method = kMethodNone) {
        auto invoker = std::make_unique<RecordingInvoker>();
        invoker_ = invoker.get();
        descriptor_.name = "Find";
        descriptor_.callback = std::move(invoker);
        for (const Parameter& p : parameters) {
            BindingParameterDescriptor parameter;
            parameter.name = p.name;
            parameter.type.kind = p.kind;
            parameter.location = p.location;
            parameter.optional = p.optional;
            descriptor_.parameters.push_back(parameter);
        }
        route_.function = &descriptor_;
        route_.urlTemplate = UrlTemplate(text);
        route_.method = method;
        context_ = {nullptr, &route_};
    }

    RecordingInvoker& invoker() { return *invoker_; }
    BindingFunctionDescriptor& descriptor() { return descriptor_; }
    HostRequestRecord record(const char* path, std::int32_t method = kMethodGet) const {
        HostRequestRecord record{};
        record.method = method;
        record.path = path;
        record.handlerContext = &context_;
        record.callerContext = 77;
        return record;
    }

    // "status error" or "status arguments" as the response says.
    std::string call(const HostRequestRecord& record, const BuiltinHelp* builtins = nullptr) {
        HostResponseRecord response{};
        if (builtins != nullptr) {
            DispatchRequest(response, record, RouteTable(route_), builtins);
        } else {
            HandleFunctionRequest(&response, &record);
        }
        return Testing::ResponseText(response);
    }
    std::string call(const char* path) { return call(record(path)); }
    std::string call(const char* path, const std::vector<HostHeaderEntry>& headers,
                     const std::vector<HostArgumentEntry>& arguments) {
        HostRequestRecord request = record(path);
        request.headers = headers.data();
        request.headerCount = static_cast<std::uint32_t>(headers.size());
        request.arguments = arguments.data();
        request.argumentCount = static_cast<std::uint32_t>(arguments.size());
        return call(request);
    }

private:
    BindingFunctionDescriptor descriptor_;
    RecordingInvoker* invoker_;
    FunctionRoute route_;
    FunctionHandlerContext context_;
};

HostArgumentEntry Argument(const char* name, const char* text) {
    HostArgumentEntry entry{};
    entry.name = name;
    entry.value.tag = HOST_VALUE_STRING;
    entry.value.payload.string.text = text;
    entry.value.payload.string.length = static_cast<std::uint32_t>(std::strlen(text));
    return entry;
}

Function Find() {
    return Function("/items/{id}", {{"id", BindingTypeKind::String, kLocationPath},
                                    {"verbose", BindingTypeKind::Bool, kLocationQuery},
                                    {"limit", BindingTypeKind::Int32},
                                    {"opts", BindingTypeKind::Object},
                                    {"items", BindingTypeKind::Vector}});
}

// An answer ending in "..." is a prefix. Each index of the last two is in
// range and the depth too, but their product is not: the call must fail
// before it builds more than its element budget.
TEST(FunctionDispatcher, BindsPathAndQueryArgumentsAndFailsWithTheirMessages) {
    Function function = Find();
    std::string deep = "/items/7?opts";
    for (int i = 0; i < 600; ++i) deep += ".a";
    deep += "=x";
    const struct {
        std::string path;
        const char* answer;
    } cases[] = {
        {"/items/7", "0 '7' false ~ ~ ~ "},
        {"/items/a%20b?verbose", "0 'a b' true ~ ~ ~ "},
        {"/items/7?verbose=1&limit=5", "0 '7' '1' '5' ~ ~ "},
        {"/items/7?limit", "0 Expected value for argument 'limit'."},
        {"/items/7?opts&items", "0 '7' false ~ {} [] "},
        {"/items/7?id=8", "0 Argument 'id' for 'Find' was specified in an invalid location."},
        {"/items/7?opts.limit=5&opts.a.b=x", "0 '7' false ~ {a={b='x'},limit='5'} ~ "},
        {"/items/7?items.2=x", "0 '7' false ~ ~ [~,~,'x'] "},
        {"/items/7?items.0x3=x&items.01=y", "0 '7' false ~ ~ [~,'y',~,'x'] "},
        {"/items/7?items.12abc=x", "0 Index 12abc is in an incorrect format"},
        {"/items/7?items.08=x", "0 Index 08 is in an incorrect format"},
        {"/items/7?items.65536=x", "0 Index 65536 is out of range"},
        {"/items/7?items.99999999999999999999999=x", "0 Index 99999999999999999999999 is out of range"},
        {"/items/7?opts=%7B%22a%22:%5B1%5D%7D", "0 '7' false ~ {a=[u:1]} ~ "},
        {"/items/7?items=%20%5B%22x%22%5D", "0 '7' false ~ ~ ['x'] "},
        {"/items/7?opts=---%0Aa:%20b", "0 '7' false ~ {a='b'} ~ "},
        {"/items/7?limit=%5B1%5D", "0 '7' false '[1]' ~ ~ "},
        {"/items/7?opts=%7Bbad", "0 Couldn't deserialize JSON value for parameter 'opts' of 'Find': ..."},
        {"/other", "404 Invalid function"},
        {deep, "0 Argument 'opts' for 'Find' is nested more than 512 levels deep."},
        {"/items/7?items.65535=x", "0 '7' false ~ ~ [..."},
        {"/items/7?items.65535=x&items.0=y", "0 '7' false ~ ~ [..."},
        {"/items/7?items.65535=x&opts.a.0=y", "0 Argument 'opts' for 'Find' would create more than 65536 elements."},
        {"/items/7?items.1.65535=x", "0 Argument 'items' for 'Find' would create more than 65536 elements."},
    };
    for (const auto& c : cases) {
        const std::string_view expected = c.answer;
        if (expected.ends_with("...")) {
            EXPECT_EQ(function.call(c.path.c_str()).rfind(expected.substr(0, expected.size() - 3), 0), 0u) << c.path;
        } else {
            EXPECT_EQ(function.call(c.path.c_str()), expected) << c.path;
        }
    }
    std::string worst = "/items/7?opts";
    for (std::size_t i = 0; i < kMaxNestingDepth; ++i) worst += ".65535";
    worst += "=x";
    const std::uint64_t before = CurrentAllocationStatistics().BytesAllocated();
    EXPECT_EQ(function.call(worst.c_str()), "0 Argument 'opts' for 'Find' would create more than 65536 elements.");
    // About one element's worth of bytes per allowed element, not a multiple per level.
    EXPECT_LT(CurrentAllocationStatistics().BytesAllocated() - before, 64 * kMaxArgumentElements);
    EXPECT_EQ(function.invoker().liveHandles, 0);
}

// Later sources replace earlier ones: header, path, query, then named host arguments.
TEST(FunctionDispatcher, TakesEachSourceInTurnAndLeavesOptionalFlagsUnset) {
    Function function("/o/{x}", {{"x", BindingTypeKind::String},
                                 {"flag", BindingTypeKind::Bool, kLocationAnywhere, true},
                                 {"need", BindingTypeKind::Bool}});
    const struct {
        const char* path;
        std::vector<HostHeaderEntry> headers;
        std::vector<HostArgumentEntry> arguments;
        const char* answer;
    } cases[] = {
        {"/o/p", {}, {}, "0 'p' ~ false "},
        {"/o/p", {{"x", "h"}}, {}, "0 'p' ~ false "},
        {"/o/p?x=q", {{"x", "h"}}, {}, "0 'q' ~ false "},
        {"/o/p?x=q&flag&need", {{"x", "h"}}, {Argument("x", "a")}, "0 'a' true true "},
    };
    for (const auto& c : cases) EXPECT_EQ(function.call(c.path, c.headers, c.arguments), c.answer) << c.path;
}

TEST(FunctionDispatcher, BindsHeadersByLowerCasedParameterName) {
    Function function("/h", {{"token", BindingTypeKind::String, kLocationHeader},
                             {"Mode", BindingTypeKind::String},
                             {"page", BindingTypeKind::String, kLocationQuery}});
    const struct {
        std::vector<HostHeaderEntry> headers;
        const char* path;
        const char* answer;
    } cases[] = {
        {{{"token", "abc"}, {"x-other", "1"}}, "/h", "0 'abc' ~ ~ "},
        {{{"Token", "abc"}}, "/h", "0 ~ ~ ~ "},
        {{{"mode", "fast"}, {"Mode", "slow"}}, "/h", "0 ~ 'fast' ~ "},
        {{{"page", "3"}}, "/h", "0 ~ ~ ~ "},
        {{{"token", "abc"}}, "/h?token=x", "0 Argument 'token' for 'Find' was specified in an invalid location."},
        {{{nullptr, "abc"}, {"token", nullptr}}, "/h", "0 Expected value for argument 'token'."},
    };
    for (const auto& c : cases) EXPECT_EQ(function.call(c.path, c.headers, {}), c.answer) << c.path;
    HostRequestRecord record = function.record("/h");
    record.headerCount = 5;  // with no array: no headers
    EXPECT_EQ(function.call(record), "0 ~ ~ ~ ");
}

TEST(FunctionDispatcher, BindsHostArgumentsByNameAndByPositionAfterThePathParameters) {
    Function function("/items/{id}", {{"id", BindingTypeKind::String, kLocationPath},
                                      {"first", BindingTypeKind::String},
                                      {"second", BindingTypeKind::String, kLocationHostArgument},
                                      {"third", BindingTypeKind::String, kLocationQuery}});
    const struct {
        std::vector<HostArgumentEntry> arguments;
        const char* answer;
    } cases[] = {
        {{Argument("second", "b"), Argument("first", "a")}, "0 '7' 'a' 'b' ~ "},
        {{Argument(nullptr, "a"), Argument(nullptr, "b")}, "0 '7' 'a' 'b' ~ "},
        {{Argument(nullptr, "a"), Argument(nullptr, "b"), Argument(nullptr, "c")}, "0 '7' 'a' 'b' 'c' "},
        {{Argument(nullptr, "a"), Argument(nullptr, "b"), Argument(nullptr, "c"), Argument(nullptr, "d")},
         "0 Unknown argument '4' for 'Find'."},
        {{Argument("id", "8"), Argument("third", "q")}, "0 '8' ~ ~ 'q' "},
        {{Argument("Second", "b")}, "0 Unknown argument 'Second' for 'Find'."},
    };
    for (const auto& c : cases) EXPECT_EQ(function.call("/items/7", {}, c.arguments), c.answer);
    Function open("/{id}", {{"id", BindingTypeKind::String, kLocationPath}, {"a", BindingTypeKind::String}});
    EXPECT_EQ(open.call("/7", {}, {Argument(nullptr, "a"), Argument(nullptr, "b")}),
              "0 Unknown argument '2' for 'Find'.");
    HostRequestRecord record = open.record("/7");
    record.argumentCount = 2;  // a count without entries is no arguments
    EXPECT_EQ(open.call(record), "0 '7' ~ ");
}

TEST(FunctionDispatcher, ReadsTheBodyByItsContentTypeAndExactLength) {
    Function function("/b", {{"q", BindingTypeKind::String, kLocationQuery},
                             {"body", BindingTypeKind::Object, kLocationBody},
                             {"again", BindingTypeKind::Object, kLocationBody}});
    const std::string packed = "\x81\xa1\x61\x01";
    const struct {
        const char* contentType;
        std::string body;
        std::uint32_t length;
        const char* answer;
    } cases[] = {
        {"application/json", "{\"a\":1}", 0, "0 ~ {a=u:1} ~ "},
        {"Application/JSON; charset=utf-8", "[1]xyz", 3, "0 ~ [u:1] ~ "},
        {"application/vnd.api+json", "{}", 2, "0 ~ {} ~ "},
        {"application/x-yaml", "a: b\nc: d", 4, "0 ~ {a='b'} ~ "},
        {"application/x-msgpack", packed, 4, "0 ~ {a=i:1} ~ "},
        {"application/x-msgpack", packed + "\x01", 5, "0 Extra MessgePack data found in body"},
        {"application/x-msgpack", "\xa3\x61\x62", 3,
         "0 Invalid MessagePack data. String of size 3 at position 1 is truncated."},
        {"text/x-yaml", "a: b", 4, "0 Unsupported body content type"},
        {nullptr, "{}", 2, "0 Unsupported body content type"},
    };
    for (const auto& c : cases) {
        HostRequestRecord record = function.record("/b");
        record.contentType = c.contentType;
        record.body = c.body.c_str();
        record.bodyLength = c.length;
        EXPECT_EQ(function.call(record), c.answer) << c.body;
    }
    EXPECT_EQ(function.invoker().calls, 5) << "a body that cannot be read calls nothing";
    HostRequestRecord record = function.record("/b?q=x");
    record.contentType = "text/plain";
    EXPECT_EQ(function.call(record), "0 'x' ~ ~ ");  // no body, nothing to reject
    Function without("/b", {{"q", BindingTypeKind::String}});
    record = without.record("/b");
    record.contentType = "text/plain";
    record.body = "x";
    record.bodyLength = 1;
    EXPECT_EQ(without.call(record), "0 ~ ");
}

TEST(FunctionDispatcher, AnswersMalformedRecordsWithInvalidFunction) {
    Function function("/x", {}, kMethodPost);
    EXPECT_EQ(function.call(function.record(nullptr, kMethodPost)), "404 Invalid function");
    EXPECT_EQ(function.call(function.record("/x", kMethodGet)), "404 Invalid function");
    HostRequestRecord record = function.record("/x", kMethodPost);
    record.handlerContext = nullptr;
    EXPECT_EQ(function.call(record), "404 Invalid function");
    const FunctionHandlerContext empty{nullptr, nullptr};
    record.handlerContext = &empty;
    EXPECT_EQ(function.call(record), "404 Invalid function");
    HostResponseRecord response{};
    HandleFunctionRequest(&response, nullptr);
    EXPECT_EQ(response.hasError, 1);
    response.release(&response);
    HandleFunctionRequest(nullptr, &record);
    EXPECT_EQ(function.invoker().calls, 0);
}

TEST(FunctionDispatcher, HandsTheRequestObjectAndStatusToTheFunctionsWrite) {
    for (std::uint32_t type : {kRemotingRequestType, kTransportRequestType}) {
        Function function("/r/{x}", {{"x", BindingTypeKind::String}});
        function.invoker().wantedRequest = type;
        function.invoker().status = 201;
        HostRequestRecord record = function.record("/r/1", kMethodNamed);
        record.methodName = "PURGE";
        const HostHeaderEntry headers[] = {{"h", "v"}};
        record.headers = headers;
        record.headerCount = 1;
        EXPECT_EQ(function.call(record), "201 '1' ");
        EXPECT_EQ(function.invoker().requestSeen, "/r/1 8 PURGE 77 h=v 1");
        EXPECT_EQ(function.invoker().context, 77u);
    }

    Function plain("/p", {});
    plain.invoker().failOnInvoke = true;
    EXPECT_EQ(plain.call("/p"), "0 refused");
    EXPECT_EQ(plain.invoker().requestSeen, "");
    EXPECT_EQ(plain.invoker().liveHandles, 0);
}

TEST(FunctionDispatcher, AnswersBuiltinsOnlyWhenGivenTheBuiltinRegistry) {
    const BindingRegistry registry;
    const BuiltinHelp help{&registry, [](const BindingRegistry&) { return ParseJson(R"({"functions":["Help"]})"); }};
    const BuiltinHelp failing{&registry,
                              [](const BindingRegistry&) { return BindingResult::Failure("no help types"); }};
    Function function("/help", {});
    function.descriptor().name = "Help";
    function.descriptor().tags = {"help", "$builtin"};
    EXPECT_EQ(function.call(function.record("/help"), &help), "0 {functions=['Help']}");
    EXPECT_EQ(function.call(function.record("/help"), &failing), "400 no help types");
    // The real builtin help describes the whole registry in the full format.
    const FunctionDispatcher dispatcher;
    const BuiltinHelp builtins = RegistryBuiltins(dispatcher);
    function.descriptor().tags = {"$builtin"};
    const std::string answer = function.call(function.record("/help"), &builtins);
    EXPECT_EQ(answer.rfind("0 {events=[{", 0), 0u) << answer;
    for (const char* described : {"name='OnCallback'", "name='BindingAsyncState'", "functions=[]"}) {
        EXPECT_NE(answer.find(described), std::string::npos) << described << " in " << answer;
    }
    EXPECT_EQ(function.invoker().calls, 0);
    EXPECT_EQ(function.call(function.record("/help")), "0 ");
    EXPECT_EQ(function.invoker().calls, 1);
    function.descriptor().name = "Other";
    EXPECT_EQ(function.call(function.record("/help"), &help), "400 Unsupported builtin function");
    function.descriptor().tags = {};
    EXPECT_EQ(function.call(function.record("/help"), &help), "0 ");
}

TEST(FunctionDispatcher, TurnsAThrowingFunctionIntoAnErrorAndReleasesEverything) {
    Function function("/t", {{"a", BindingTypeKind::String}});
    const std::int64_t before = OutstandingBlocks();
    function.invoker().throwOnInvoke = true;
    EXPECT_EQ(function.call("/t?a=x"), "500 Function 'Find' failed: boom");
    function.invoker().throwOnInvoke = false;
    function.invoker().throwOnWrite = true;
    EXPECT_EQ(function.call("/t?a=x"), "500 Function 'Find' failed: bad write");
    EXPECT_EQ(function.invoker().liveHandles, 0);
    EXPECT_EQ(OutstandingBlocks(), before);
}

}  // namespace
}  // namespace Norv
