#include "diagnostics/event_tracing.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

// The system as tracing would see it, recording what it is asked to do.
struct RecordingSystem {
    bool libraryLoaded = false;  // whether the process has the library before the start
    bool consumerEnablesThreadNames = false;
    std::vector<std::string> libraryCalls;
    std::vector<std::string> registered;  // identifiers as text
    std::vector<const void*> contexts;
    struct Write {
        std::uint64_t handle;
        TraceEventDescriptor descriptor;
        std::vector<std::vector<std::uint8_t>> items;
        std::vector<std::uint32_t> reserved;
    };
    std::vector<Write> writes;
    std::vector<std::uint64_t> unregistered;
};

RecordingSystem* g_system = nullptr;
char g_library;

std::string GuidText(const TraceGuid& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.data1, id.data2, id.data3,
                  id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5], id.data4[6],
                  id.data4[7]);
    return text;
}

std::uint32_t NORV_SYSTEM_CALL RecordRegister(const TraceGuid* id, TraceEnableCallbackFunction callback, void* context,
                                              std::uint64_t* handle) {
    g_system->registered.push_back(GuidText(*id));
    g_system->contexts.push_back(context);
    *handle = 0x1000 + g_system->registered.size();
    // A consumer that listens to the thread name provider at level 0, keyword 1.
    if (g_system->consumerEnablesThreadNames &&
        g_system->registered.back() == "{EA08C559-95A8-4AA2-AFA6-18738EEC6D37}") {
        callback(id, 1, 0, 1, 0, nullptr, context);
    }
    return 0;
}

std::uint32_t NORV_SYSTEM_CALL RecordWrite(std::uint64_t handle, const TraceEventDescriptor* descriptor,
                                           std::uint32_t count, TraceDataDescriptor* data) {
    RecordingSystem::Write write{handle, *descriptor, {}, {}};
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(static_cast<std::uintptr_t>(data[i].address));
        write.items.emplace_back(bytes, bytes + data[i].size);
        write.reserved.push_back(data[i].reserved);
    }
    g_system->writes.push_back(write);
    return 0;
}

std::uint32_t NORV_SYSTEM_CALL RecordUnregister(std::uint64_t handle) {
    g_system->unregistered.push_back(handle);
    return 0;
}

const TraceSystem kRecordingSystem = {
    [](const char* name) -> void* {
        g_system->libraryCalls.push_back(std::string("find ") + name);
        return g_system->libraryLoaded ? &g_library : nullptr;
    },
    [](const char* name) -> void* {
        g_system->libraryCalls.push_back(std::string("open ") + name);
        return &g_library;
    },
    [](void* library, const char* name) -> void* {
        if (library != &g_library) return nullptr;
        const std::string symbol = name;
        if (symbol == "EventRegister") return reinterpret_cast<void*>(&RecordRegister);
        if (symbol == "EventWrite") return reinterpret_cast<void*>(&RecordWrite);
        if (symbol == "EventUnregister") return reinterpret_cast<void*>(&RecordUnregister);
        return nullptr;
    },
};

class TracingSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        StopTracing();
        g_system = &system;
        UseTraceSystem(&kRecordingSystem);
    }
    void TearDown() override {
        StopTracing();
        for (std::size_t i = 0; i < kTraceProviderCount; ++i) {
            TraceEnableCallback(nullptr, 0, 0, 0, 0, nullptr, &TracingProvider(i).context);
        }
        UseTraceSystem(nullptr);
        g_system = nullptr;
    }
    RecordingSystem system;
};

const std::vector<std::string> kProviderIdentifiers = {
    "{2F9EFE86-4AF7-4F37-A40F-94B909A157D6}",
    "{EA08C559-95A8-4AA2-AFA6-18738EEC6D37}",
    "{10F6728C-EF92-4BF1-8397-49E693A6EB74}",
    "{46DD7F96-60CB-416B-8085-DA5CD8F491DD}",
};

// Loading a library inside the load routine can deadlock the host's loader.
TEST_F(TracingSystemTest, StartAtLoadNeverLoadsTheLibraryAndTheEntryFinishesIt) {
    StartTracing();
    EXPECT_EQ(system.libraryCalls, (std::vector<std::string>{"find Advapi32.dll"}));
    EXPECT_TRUE(system.registered.empty());
    EXPECT_FALSE(TracingAvailable());

    FinishTracingStart();
    EXPECT_EQ(system.libraryCalls, (std::vector<std::string>{"find Advapi32.dll", "open Advapi32.dll"}));
    EXPECT_EQ(system.registered, kProviderIdentifiers);
    EXPECT_TRUE(TracingAvailable());
    FinishTracingStart();
    EXPECT_EQ(system.libraryCalls.size(), 2u);
    EXPECT_EQ(system.registered.size(), 4u);
    // A new system forgets what the previous one resolved.
    UseTraceSystem(&kRecordingSystem);
    StopTracing();
    EXPECT_TRUE(system.unregistered.empty());
}

TEST_F(TracingSystemTest, StartAtLoadUsesALoadedLibraryAndEachProviderRegistersWithItsContextUntilStop) {
    system.libraryLoaded = true;
    StartTracing();
    EXPECT_EQ(system.libraryCalls, (std::vector<std::string>{"find Advapi32.dll"}));
    EXPECT_EQ(system.registered, kProviderIdentifiers);
    EXPECT_TRUE(system.writes.empty()) << "no event without a consumer";
    ASSERT_EQ(system.contexts.size(), kTraceProviderCount);
    for (std::size_t i = 0; i < kTraceProviderCount; ++i) {
        EXPECT_EQ(system.contexts[i], &TracingProvider(i).context) << i;
        EXPECT_EQ(TracingProvider(i).handle.load(), 0x1001u + i) << i;
    }
    FinishTracingStart();
    EXPECT_EQ(system.libraryCalls.size(), 1u) << "the entry has nothing left to do";
    EXPECT_EQ(system.registered.size(), 4u);

    StopTracing();
    StopTracing();
    EXPECT_EQ(system.unregistered, (std::vector<std::uint64_t>{0x1001, 0x1002, 0x1003, 0x1004}));
    for (std::size_t i = 0; i < kTraceProviderCount; ++i) EXPECT_EQ(TracingProvider(i).handle.load(), 0u) << i;
}

// A null name travels as the word NULL.
TEST_F(TracingSystemTest, StartNamesTheLoadingThreadForAConsumer) {
    system.consumerEnablesThreadNames = true;
    StartTracing();
    FinishTracingStart();
    ASSERT_EQ(system.writes.size(), 1u);
    const RecordingSystem::Write& write = system.writes[0];
    EXPECT_EQ(write.handle, 0x1002u);
    const TraceEventDescriptor& d = write.descriptor;
    EXPECT_EQ((std::vector<unsigned>{d.id, d.version, d.channel, d.level, d.opcode, d.task}),
              (std::vector<unsigned>{103, 0, 0, 0, 14, 2}));
    EXPECT_EQ(d.keyword, 1u);
    const std::uint32_t thread = Platform::CurrentThreadId();
    const auto* threadBytes = reinterpret_cast<const std::uint8_t*>(&thread);
    const std::string text = "Main thread";
    EXPECT_EQ(write.items, (std::vector<std::vector<std::uint8_t>>{
                               {threadBytes, threadBytes + 4},
                               {text.c_str(), text.c_str() + text.size() + 1},
                           }));
    EXPECT_EQ(write.reserved, (std::vector<std::uint32_t>{0, 0}));

    WriteTraceTextEvent(7, kThreadNameEvent, 0x01020304, nullptr);
    ASSERT_EQ(system.writes.size(), 2u);
    EXPECT_EQ(system.writes[1].handle, 7u);
    EXPECT_EQ(system.writes[1].items, (std::vector<std::vector<std::uint8_t>>{{4, 3, 2, 1}, {'N', 'U', 'L', 'L', 0}}));
}

// Runs the system's real entry points where they exist (Windows, and Wine).
TEST(EventTracing, RegistersWhereTheSystemTracesAndUnregistersAtStop) {
    StartTracing();
    FinishTracingStart();
    EXPECT_EQ(TracingAvailable(), Platform::IsWindows());
    for (std::size_t i = 0; i < kTraceProviderCount; ++i) {
        EXPECT_EQ(TracingProvider(i).handle.load() != 0, Platform::IsWindows()) << i;
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
