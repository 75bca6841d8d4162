// The host's view of an API table: the listing of the shipping module's table
// and of the demo module against golden files, with calls and help read
// through the demo module's function records.
#include "tools/host-sim/api_view.h"

#include "tests/host-sim/golden.h"
#include "tests/support/plugin_module.h"

#include <gtest/gtest.h>

#include <regex>

namespace Norv::HostSim {
namespace {

// Native sizes and offsets differ between targets; the rest is what the
// plugin publishes.
std::string Masked(const std::string& listing) {
    return std::regex_replace(listing, std::regex("(\"?(size|offset)\"?:? ?)[0-9]+"), "$1N");
}

TEST(ApiViewModule, ListsTheShippingTableWithItsCounts) {
    int exitCode = -1;
    const std::string listing = Output(exitCode, [](std::FILE* out) { return ListApi(Options{}, out); });
    EXPECT_EQ(exitCode, kExitOk);
    ExpectGolden("api_shipping.txt", Masked(listing));
}

// The demo module the build puts beside the test.
Options Demo() {
    Options options;
    options.modulePath = Testing::DemoModulePathBesideExecutable();
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
        {"GET", "/demo/v1/add/40?b=2", {}, "", ""},
        {"GET", "/demo/v1/add/40", {{"b", "2"}}, "", ""},
        {"GET", "/demo/v1/add/forty?b=2", {}, "", ""},
        {"GET", "/demo/v1/add/40?c=2", {}, "", ""},
        {"GET", "/demo/v1/add/2147483647?b=1", {}, "", ""},
        {"GET", "/demo/v1/add/-2147483648?b=-1", {}, "", ""},
        {"POST", "/demo/v1/mirror", {}, "{\"x\": 1, \"y\": 2}", "application/json"},
        {"POST", "/demo/v1/mirror", {}, "x: 3\ny: 4\n", "application/x-yaml"},
        {"POST", "/demo/v1/mirror", {}, "", ""},
        {"GET", "/demo/v1/greet/Ada", {}, "", ""},
        {"GET", "/demo/v1/greet/World", {{"greeting", "Hi"}}, "", ""},
        {"PUT", "/demo/v1/mirror", {}, "", ""},
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
    ExpectGolden("api_describe_demo.txt", Masked(transcript));
}

// The load mode from the command line; its figures vary, its lines do not.
int RunCommand(std::vector<std::string> words, std::FILE* out) {
    std::vector<char*> arguments;
    for (std::string& word : words) arguments.push_back(word.data());
    return RunApiCommand(Demo(), static_cast<int>(arguments.size()), arguments.data(), out);
}

TEST(ApiViewDemo, CallUnderLoadPrintsRateLatencyAndWhetherTheAnswersAgreed) {
    int exitCode = -1;
    const std::string report = Output(exitCode, [](std::FILE* out) {
        return RunCommand({"--call", "GET", "/demo/v1/add/40?b=2", "--threads", "3", "--calls", "40"}, out);
    });
    EXPECT_EQ(exitCode, kExitOk);
    // The measured figures: counts, times, rates and the percentile's rank.
    const std::regex figure("[0-9]+(\\.[0-9]+)?(?=th| in | s,| calls/s| us)");
    ExpectGolden("api_load_demo.txt", std::regex_replace(report, figure, "N"));
    EXPECT_NE(report.find("  calls        : 120 in "), std::string::npos) << report;
}

TEST(ApiViewDemo, CallUnderLoadRefusesCountsThatAreNotPositive) {
    const std::vector<std::vector<std::string>> commands = {
        {"--call", "GET", "/demo/v1/add/40?b=2", "--threads", "0"},
        {"--call", "GET", "/demo/v1/add/40?b=2", "--calls", "many"},
        {"--call", "GET", "/demo/v1/add/40?b=2", "--threads", "2", "--calls"},
    };
    for (const std::vector<std::string>& command : commands) {
        int exitCode = -1;
        const std::string report = Output(exitCode, [&](std::FILE* out) { return RunCommand(command, out); });
        EXPECT_EQ(exitCode, kExitNotLoaded) << command.back();
        EXPECT_EQ(report, "") << command.back();
    }
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
