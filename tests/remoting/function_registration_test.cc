#include "remoting/function_registration.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/remoting/record_checks.h"

namespace Norv {
namespace {

struct Point {
    static constexpr FixedText kStaticTypeText{"struct Norv::RegistrationTest::Point"};
    std::int32_t x = 0;
    std::int32_t y = 0;
};

// Calls a registered function through the C handler: "status body-or-error".
std::string Call(const RegisteredFunction& function, const char* path, const char* body = nullptr,
                 std::int32_t method = kMethodGet) {
    const FunctionHandlerContext context{nullptr, function.route};
    HostRequestRecord record{};
    record.method = method;
    record.path = path;
    record.handlerContext = &context;
    if (body != nullptr) {
        record.contentType = "application/json";
        record.body = body;
    }
    HostResponseRecord response{};
    HandleFunctionRequest(&response, &record);
    return Testing::ResponseText(response);
}

class FunctionRegistration : public testing::Test {
protected:
    FunctionRegistration() { registry.registerType<Point>("Point").addField("x", &Point::x).addField("y", &Point::y); }

    BindingRegistry registry;
};

TEST_F(FunctionRegistration, CallsTheNativeFunctionWithConvertedArguments) {
    const RegisteredFunction add =
        RegisterFunction(registry, {"Add", "/math/add/{a}", kMethodGet, {{"a", kLocationPath}, {"b", kLocationQuery}}},
                         [](std::int32_t a, std::int64_t b) { return a + b; });
    ASSERT_TRUE(add.ok()) << add.error;
    const RegisteredFunction move = RegisterFunction(
        registry, {"Move", "/points/{by}", kMethodPost, {{"point", kLocationBody}, {"by"}, {"scale", 0, true}}},
        [](Point point, std::int32_t by, double scale) {
            return Point{point.x + by, static_cast<std::int32_t>(point.y * (scale == 0 ? 1 : scale))};
        });
    ASSERT_TRUE(move.ok()) << move.error;
    const RegisteredFunction touch = RegisterFunction(registry, {"Touch", "/touch", kMethodNone, {}}, [] {});
    ASSERT_TRUE(touch.ok()) << touch.error;

    EXPECT_EQ(registry.findFunction("Move")->parameters[0].type.descriptor, registry.findType("Point"));
    EXPECT_EQ(Call(add, "/math/add/2?b=40"), "0 i:42");
    EXPECT_EQ(Call(add, "/math/add/2"), "0 A value for 'b' is required.");
    EXPECT_EQ(Call(move, "/points/3", "{\"x\":1,\"y\":2}", kMethodPost), "0 {x=i:4,y=i:2}");
    EXPECT_EQ(Call(move, "/points/3?scale=2.5", "{\"x\":1,\"y\":2}", kMethodPost), "0 {x=i:4,y=i:5}");
    EXPECT_EQ(Call(move, "/points/3", "5", kMethodPost),
              "0 Couldn't assign value to 'point' of type Point because the input not a structure.");
    EXPECT_EQ(Call(touch, "/touch"), "0 ~");
}

TEST_F(FunctionRegistration, RejectsDeclarationsThatCouldNeverBeCalled) {
    const struct {
        FunctionDeclaration declaration;
        const char* error;
    } cases[] = {
        {{"F", "/f/{a", kMethodGet, {{"a"}}}, "URL template '/f/{a' has an unbalanced '{' at offset 3."},
        {{"F", "/f/{b}", kMethodGet, {{"a"}}}, "URL template '/f/{b}' of 'F' names no parameter 'b'."},
        {{"F", "/f", kMethodGet, {{"a"}, {"b"}}}, "Function 'F' declares 2 parameters but takes 1."},
    };
    for (const auto& c : cases) {
        const RegisteredFunction function = RegisterFunction(registry, c.declaration, [](std::string) {});
        EXPECT_FALSE(function.ok());
        EXPECT_EQ(function.error, c.error);
    }
    EXPECT_EQ(registry.findFunction("F"), nullptr);
}

TEST(FunctionDispatcherRegistry, StartsWithTheBuiltinsAndListsTheRoutesOfItsFunctions) {
    FunctionDispatcher dispatcher;
    EXPECT_TRUE(dispatcher.builtinsRegistered());
    EXPECT_TRUE(dispatcher.routes().empty());
    const RegisteredFunction b =
        RegisterFunction(dispatcher, {"B", "/b/{x}", kMethodPut, {{"x"}}}, [](bool x) { return !x; });
    const RegisteredFunction a = RegisterFunction(dispatcher, {"A", "/a", kMethodNone, {}}, [] { return 1; });
    auto plain = std::make_unique<BindingFunctionDescriptor>();
    plain->name = "Plain";
    dispatcher.registerFunction(std::move(plain));
    const std::vector<const FunctionRoute*> routes = dispatcher.routes();
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(routes[0], a.route);
    EXPECT_EQ(routes[1], b.route);
    EXPECT_EQ(routes[1]->urlTemplate.text(), "/b/{x}");
    EXPECT_EQ(routes[1]->method, kMethodPut);
    EXPECT_EQ(routes[1]->function, dispatcher.findFunction("B"));
    EXPECT_EQ(Call(b, "/b/true", nullptr, kMethodPut), "0 false");
}

}  // namespace
}  // namespace Norv
