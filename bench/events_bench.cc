// Host events: one login-session Update from the host's event callback to a
// typed handler, against its floor (reading the same host record and assigning
// the event structure, nothing else), with the heap allocations per event; and
// the watchers' '*' patterns against glibc's fnmatch with FNM_PATHNAME.
#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "binding/assign_value.h"
#include "binding/host_value.h"
#include "plugin/host_plugin.h"
#include "plugin/host_types.h"
#include "plugin/resource_path.h"

namespace {
std::atomic<std::int64_t> heapAllocations{0};
}  // namespace

[[gnu::noinline]] void* operator new(std::size_t size) {
    void* block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    heapAllocations.fetch_add(1, std::memory_order_relaxed);
    return block;
}

[[gnu::noinline]] void operator delete(void* block) noexcept {
    std::free(block);
}

[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

using Norv::BindingProperty;

constexpr const char* kSessionEvent = "OnJsonApiEvent_vek-login_v1_session";

BindingProperty SessionPayload() {
    BindingProperty data;
    data.member("state") = "SUCCEEDED";
    data.member("idToken") = std::string(900, 'x');
    data.member("accountId") = std::int64_t{2817243411};
    data.member("puuid") = "6f1c9f0e-3f3b-4a4e-9f5c-2b2a8f1f3e11";
    data.member("userAuthToken") = std::string(120, 'y');
    data.member("isNewPlayer") = false;
    data.member("connected") = true;
    data.member("summonerId") = std::int64_t{12345678};
    data.member("username") = "someone";
    BindingProperty payload;
    payload.member("uri") = "/vek-login/v1/session";
    payload.member("eventType") = "Update";
    payload.member("data") = data;
    return payload;
}

// Captures the callback the plugin subscribes the session event with.
struct CapturingHost {
    HostFunctionTable table{};
    HostEventCallback callback = nullptr;
    void* context = nullptr;
};

CapturingHost* HostOf(HostFunctionTable* table) {
    return reinterpret_cast<CapturingHost*>(table);
}

class WatchingPlugin : public Norv::HostPlugin {
public:
    bool Initialize() override {
        WatchResource<BindingProperty>(
            "/vek-login/v1/session",
            [this](const Norv::ResourceEvent<BindingProperty>& event) { seen += event.data.size(); });
        return true;
    }
    std::size_t seen = 0;
};

void EventToTypedHandler(benchmark::State& state) {
    CapturingHost host;
    host.table.SubscribeEvent = [](HostFunctionTable* self, const char* name, std::uint32_t, HostEventCallback callback,
                                   void* context, std::uint32_t) -> std::uint32_t {
        if (std::string(name) == kSessionEvent) {
            HostOf(self)->callback = callback;
            HostOf(self)->context = context;
        }
        return 1;
    };
    HostInterface interface { &host.table, 1 };
    PluginLoadRecord record{};
    record.major = 18;
    auto* plugin = new WatchingPlugin;
    plugin->Handshake(record, "bench");
    record.callbacks->init(plugin, &interface);
    HostEventRecord event{};
    event.eventName = kSessionEvent;
    Norv::writeHostValue(event.payload, SessionPayload());
    event.context = host.context;
    std::int64_t before = heapAllocations.load();
    for (auto _ : state) host.callback(&event);
    state.counters["allocs/event"] =
        static_cast<double>(heapAllocations.load() - before) / static_cast<double>(state.iterations());
    benchmark::DoNotOptimize(plugin->seen);
    Norv::resetHostValue(event.payload);
    record.callbacks->unload(plugin);
}
BENCHMARK(EventToTypedHandler)->Name("BM_SessionEvent/Norv");

void ReadRecordAndAssignEvent(benchmark::State& state) {
    Norv::BindingRegistry registry;
    Norv::Client::RegisterHostTypes(registry);
    HostValue payload{};
    Norv::writeHostValue(payload, SessionPayload());
    std::int64_t before = heapAllocations.load();
    for (auto _ : state) {
        BindingProperty value;
        HostResult failure{};
        Norv::readHostValue(failure, value, payload, "<result>");
        Norv::BindingResult result;
        Norv::Client::PluginResourceEvent event;
        Norv::assignStruct(result, event, value, registry, "<result>");
        benchmark::DoNotOptimize(event.data.size());
    }
    state.counters["allocs/event"] =
        static_cast<double>(heapAllocations.load() - before) / static_cast<double>(state.iterations());
    Norv::resetHostValue(payload);
}
BENCHMARK(ReadRecordAndAssignEvent)->Name("BM_SessionEvent/ReadAndAssign");

struct PatternCase {
    std::string pattern;
    std::string path;
};

std::vector<PatternCase> PatternCases() {
    const char* patterns[] = {"/vek-login/v1/*",          "/vek-login/*/session",
                              "/lol-*/v1/items/*",        "/a/*/c/*/e",
                              "/vek-platform-config/*",   "/x/*y",
                              "/chat/v3/conversations/*", "/*/*/*"};
    const char* paths[] = {"/vek-login/v1/session",      "/vek-login/v2/session/extra",
                           "/lol-store/v1/items/42",     "/a/b/c/d/e",
                           "/vek-platform-config/v1",    "/x/abcy",
                           "/chat/v3/conversations/abc", "/no/match/here/at/all"};
    std::vector<PatternCase> cases;
    for (const char* pattern : patterns) {
        for (const char* path : paths) cases.push_back({pattern, path});
    }
    return cases;
}

void PatternMatch(benchmark::State& state) {
    std::vector<PatternCase> cases = PatternCases();
    std::size_t matches = 0;
    for (auto _ : state) {
        for (const PatternCase& c : cases) matches += Norv::MatchesResourcePattern(c.pattern, c.path);
    }
    benchmark::DoNotOptimize(matches);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * cases.size()));
}
BENCHMARK(PatternMatch)->Name("BM_Wildcard/Norv");

void PatternMatchPeerFnmatch(benchmark::State& state) {
    std::vector<PatternCase> cases = PatternCases();
    std::size_t matches = 0;
    for (auto _ : state) {
        for (const PatternCase& c : cases) matches += fnmatch(c.pattern.c_str(), c.path.c_str(), FNM_PATHNAME) == 0;
    }
    benchmark::DoNotOptimize(matches);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * cases.size()));
}
BENCHMARK(PatternMatchPeerFnmatch)->Name("BM_Wildcard/fnmatch");

}  // namespace

BENCHMARK_MAIN();
