// The host's view of an API table: the listing of the shipping module's table
// against a golden file, and calls into a demo plugin linked into the test.
#include "tools/host-sim/api_view.h"

#include "binding/help/api_help.h"
#include "platform/platform.h"
#include "plugin/plugin_entry.h"
#include "remoting/function_registration.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

namespace Norv::HostSim {
namespace {

// A plugin exposing two functions, one of them under two methods.
class DemoPlugin : public HostPlugin {
public:
    void RegisterBindings() override {
        FunctionDeclaration greet{
            "Greet", "/greetings/{name}", kMethodGet, {{"name", kLocationPath}, {"mark", 0, true}}};
        greet.description = "Greets someone";
        RegisterFunction(Registry(), std::move(greet), [](std::string name, std::string mark) {
            return "Hello, " + name + (mark.empty() ? "!" : mark);
        });
        RegisterFunction(Registry(), {"Sum", "/sums", kMethodPost, {{"numbers", kLocationBody}}},
                         [](std::vector<std::int32_t> numbers) {
                             std::int64_t sum = 0;
                             for (std::int32_t number : numbers) sum += number;
                             return sum;
                         });
        RegisterFunction(Registry(), {"Sum", "/sums/{a}/{b}", kMethodGet, {{"a", kLocationPath}, {"b", kLocationPath}}},
                         [](std::int64_t a, std::int64_t b) { return a + b; });
        FunctionDeclaration help{"Help", "/help", kMethodGet, {{"format", kLocationHostArgument, true}}};
        help.description = "Describes the demo's API";
        RegisterFunction(Registry(), std::move(help), [this](BindingHelpFormat format) {
            return BuildApiHelp(Registry(), format == BindingHelpFormat::Epytext ? format : BindingHelpFormat::Full)
                .value;
        });
    }
};

HostPlugin* CreateDemo() {
    return new DemoPlugin;
}

void* NORV_CALL DemoEntry(PluginLoadRecord* record) {
    return LoadPlugin(record, &CreateDemo, "demo");
}

// Runs `play` with a temporary file as the output; returns what it wrote.
template <class Play>
std::string Output(int& exitCode, Play play) {
    std::FILE* out = std::tmpfile();
    EXPECT_NE(out, nullptr);
    if (out == nullptr) return {};
    exitCode = play(out);
    std::rewind(out);
    std::string text;
    char buffer[4096];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, out)) > 0;) text.append(buffer, read);
    std::fclose(out);
    return text;
}

std::string GoldenPath(const std::string& name) {
    std::string path = std::string(NORV_HOST_SIM_GOLDEN_DIR) + "/golden/" + name;
    return Platform::IsWindows() && path.front() == '/' ? "Z:" + path : path;
}

// Native sizes and offsets differ between targets; the rest is what the
// plugin publishes.
std::string Masked(const std::string& listing) {
    return std::regex_replace(listing, std::regex("(\"?(size|offset)\"?:? ?)[0-9]+"), "$1N");
}

void ExpectGolden(const std::string& name, const std::string& text) {
    const std::string golden = GoldenPath(name);
    if (std::getenv("NORV_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(golden, std::ios::binary) << text;
        GTEST_SKIP() << "wrote " << golden;
    }
    std::ifstream file(golden, std::ios::binary);
    std::ostringstream expected;
    expected << file.rdbuf();
    EXPECT_EQ(text, expected.str()) << "differs from " << golden
                                    << "; run the test with NORV_UPDATE_GOLDEN=1 to accept it";
}

TEST(ApiViewModule, ListsTheShippingTableWithItsCounts) {
    int exitCode = -1;
    const std::string listing = Output(exitCode, [](std::FILE* out) { return ListApi(Options{}, out); });
    EXPECT_EQ(exitCode, kExitOk);
    EXPECT_EQ(listing.rfind("[api] 0 functions, 22 types, 6 events\n", 0), 0u) << listing;
    EXPECT_NE(listing.find("[api check] every chain ends where its count says"), std::string::npos);
    ExpectGolden("api_shipping.txt", Masked(listing));
}

Options Demo() {
    Options options;
    options.entry = &DemoEntry;
    return options;
}

TEST(ApiViewDemo, ListsAndCallsTheDemoFunctions) {
    struct Case {
        const char* method;
        const char* path;
        std::vector<std::pair<std::string, std::string>> arguments;
        const char* body;
        const char* contentType;
    };
    const Case cases[] = {
        {"GET", "/greetings/Ada", {}, "", ""},
        {"GET", "/greetings/Ada?mark=%3F", {}, "", ""},
        {"GET", "/greetings/Ada", {{"mark", "..."}}, "", ""},
        {"GET", "/greetings/Ada", {{"tone", "warm"}}, "", ""},
        {"POST", "/sums", {}, "[1, 2, 39]", "application/json"},
        {"POST", "/sums", {}, "- 40\n- 2\n", "application/x-yaml"},
        {"GET", "/sums/40/2", {}, "", ""},
        {"PUT", "/sums", {}, "", ""},
    };
    int exitCode = -1;
    std::string transcript = Output(exitCode, [](std::FILE* out) { return ListApi(Demo(), out); });
    EXPECT_EQ(exitCode, kExitOk);
    for (const Case& row : cases) {
        ApiCall call{row.method, row.path, row.arguments, row.body, row.contentType};
        transcript += Output(exitCode, [&](std::FILE* out) { return CallFunction(Demo(), call, out); });
        EXPECT_EQ(exitCode, std::string(row.method) == "PUT" ? kExitNoFunction : kExitOk) << row.path;
    }
    ExpectGolden("api_demo.txt", Masked(transcript));
}

TEST(ApiViewDemo, DescribesTheDemoThroughItsHelpFunction) {
    std::string transcript;
    for (const char* format : {"full", "epytext"}) {
        int exitCode = -1;
        transcript += Output(exitCode, [&](std::FILE* out) { return DescribeApi(Demo(), format, out); });
        EXPECT_EQ(exitCode, kExitOk) << format;
    }
    EXPECT_NE(transcript.find("-- Greet\n"), std::string::npos) << transcript;
    ExpectGolden("api_describe_demo.txt", Masked(transcript));
}

TEST(ApiViewTable, ReportsChainsThatDisagreeWithTheirCounts) {
    PluginEventRecord events[3] = {};
    events[0].name = events[1].name = events[2].name = "OnSomething";
    events[0].next = &events[1];
    PluginApiTable table{};
    table.events = events;
    table.eventCount = 3;
    int ok = -1;
    std::string listing = Output(ok, [&](std::FILE* out) { return PrintApiTable(out, table) ? 1 : 0; });
    EXPECT_EQ(ok, 0);
    EXPECT_NE(listing.find("  ! the event chain has 2 records, its count says 3\n"), std::string::npos) << listing;

    // A loop is followed no further than one record past the count.
    events[1].next = &events[0];
    table.eventCount = 2;
    listing = Output(ok, [&](std::FILE* out) { return PrintApiTable(out, table) ? 1 : 0; });
    EXPECT_EQ(ok, 0);
    EXPECT_NE(listing.find("  ! the event chain has more than 2 records, its count says 2\n"), std::string::npos)
        << listing;
}

}  // namespace
}  // namespace Norv::HostSim
