#include "diagnostics/event_tracing.h"

#include <gtest/gtest.h>

namespace Norv {
namespace {

struct EnableCase {
    const char* what;
    std::uint8_t level;
    std::uint64_t matchAny;
    std::uint64_t matchAll;
    bool expected[4];  // events: keyword 1 level 0, keyword 2 level 0, keyword 0 level 5, keyword 3 level 2
};

TEST(EventTracing, EnableCallbackSetsEachEventsBitByLevelAndKeywords) {
    TraceEvent events[] = {{1, 0, false}, {2, 0, false}, {0, 5, false}, {3, 2, false}};
    TraceEnableContext context{false, 0, 0, 0, 4, events};
    const EnableCase cases[] = {
        {"level 0 takes every level", 0, 1, 0, {true, false, true, true}},
        {"match any 2", 0, 2, 0, {false, true, true, true}},
        {"match all needs every bit", 0, 3, 3, {false, false, true, true}},
        {"match all alone matches nothing", 0, 0, 1, {false, false, true, false}},
        {"level 1 keeps level 0 and 1 events", 1, 3, 0, {true, true, false, false}},
        {"level 5", 5, 3, 0, {true, true, true, true}},
    };
    for (const EnableCase& c : cases) {
        TraceEnableCallback(nullptr, 1, c.level, c.matchAny, c.matchAll, nullptr, &context);
        EXPECT_TRUE(context.enabled.load()) << c.what;
        EXPECT_EQ(context.level.load(), c.level) << c.what;
        EXPECT_EQ(context.matchAnyKeyword.load(), c.matchAny) << c.what;
        EXPECT_EQ(context.matchAllKeyword.load(), c.matchAll) << c.what;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(events[i].enabled.load(), c.expected[i]) << c.what << ", event " << i;
    }
    // Any code but 0 and 1 changes nothing; 0 clears everything.
    TraceEnableCallback(nullptr, 2, 9, 0, 0, nullptr, &context);
    EXPECT_EQ(context.level.load(), 5);
    EXPECT_TRUE(events[3].enabled.load());
    TraceEnableCallback(nullptr, 0, 9, 9, 9, nullptr, &context);
    EXPECT_FALSE(context.enabled.load());
    EXPECT_EQ(context.level.load(), 0);
    EXPECT_EQ(context.matchAnyKeyword.load(), 0u);
    EXPECT_EQ(context.matchAllKeyword.load(), 0u);
    for (const TraceEvent& event : events) EXPECT_FALSE(event.enabled.load());
    TraceEnableCallback(nullptr, 1, 0, 1, 0, nullptr, nullptr);  // no context: ignored
}

TEST(EventTracing, FourthProviderWithMatchAnyTwoEnablesOnlyItsSecondEvent) {
    TraceEnableContext& context = TracingProvider(3).context;
    ASSERT_EQ(context.eventCount, 2u);
    TraceEnableCallback(&TracingProvider(3).id, 1, 0, 2, 0, nullptr, &context);
    EXPECT_FALSE(context.events[0].enabled.load());
    EXPECT_TRUE(context.events[1].enabled.load());
    TraceEnableCallback(&TracingProvider(3).id, 0, 0, 0, 0, nullptr, &context);
    EXPECT_FALSE(context.events[1].enabled.load());
}

TEST(EventTracing, ProvidersCarryTheirIdentifiersAndEvents) {
    const std::uint32_t firstWords[] = {0x2F9EFE86, 0xEA08C559, 0x10F6728C, 0x46DD7F96};
    const std::uint32_t eventCounts[] = {1, 1, 1, 2};
    for (std::size_t i = 0; i < kTraceProviderCount; ++i) {
        EXPECT_EQ(TracingProvider(i).id.data1, firstWords[i]);
        EXPECT_EQ(TracingProvider(i).context.eventCount, eventCounts[i]);
    }
    EXPECT_EQ(TracingProvider(1).id.data4[7], 0x37);
    EXPECT_EQ(kThreadNameEvent.id, 103);
    EXPECT_EQ(kThreadNameEvent.opcode, 14);
    EXPECT_EQ(kThreadNameEvent.task, 2);
    EXPECT_EQ(kThreadNameEvent.keyword, 1u);
}

// Runs the system's real entry points where they exist (Windows, and Wine).
TEST(EventTracing, RegistersWhereTheSystemTracesAndUnregistersAtStop) {
    StartTracing();
    EXPECT_EQ(TracingAvailable(), Platform::IsWindows());
    for (std::size_t i = 0; i < kTraceProviderCount; ++i) {
        if (Platform::IsWindows()) {
            EXPECT_NE(TracingProvider(i).handle.load(), 0u) << i;
        } else {
            EXPECT_EQ(TracingProvider(i).handle.load(), 0u) << i;
        }
    }
    std::uint64_t handle = TracingProvider(kThreadNameProvider).handle.load();
    StartTracing();  // registered providers are not registered again
    EXPECT_EQ(TracingProvider(kThreadNameProvider).handle.load(), handle);
    WriteTraceTextEvent(handle, kThreadNameEvent, Platform::CurrentThreadId(), nullptr);
    StopTracing();
    for (std::size_t i = 0; i < kTraceProviderCount; ++i) EXPECT_EQ(TracingProvider(i).handle.load(), 0u) << i;
}

}  // namespace
}  // namespace Norv
