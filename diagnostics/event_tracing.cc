#include "diagnostics/event_tracing.h"

#include "diagnostics/elapsed_clock.h"

#include <cstring>

namespace Norv {

namespace {

constinit TraceEvent g_events1[] = {{1, 0, false}};
constinit TraceEvent g_events2[] = {{1, 0, false}};
constinit TraceEvent g_events3[] = {{0, 0, false}};
constinit TraceEvent g_events4[] = {{1, 0, false}, {2, 0, false}};

struct TracingState {
    const TraceSystem* system;  // null: the platform's
    void* library;
    std::atomic<EventRegisterFunction> eventRegister;
    std::atomic<EventWriteFunction> eventWrite;
    std::atomic<EventUnregisterFunction> eventUnregister;
    TraceProvider providers[kTraceProviderCount];
};

// Filled by constant initialisation; StartTracing adds the entry points.
constinit TracingState g_tracing = {
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    {
        {{0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}},
         0,
         {false, 0, 0, 0, 1, g_events1}},
        {{0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}},
         0,
         {false, 0, 0, 0, 1, g_events2}},
        {{0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}},
         0,
         {false, 0, 0, 0, 1, g_events3}},
        {{0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}},
         0,
         {false, 0, 0, 0, 2, g_events4}},
    },
};

constexpr TraceSystem kPlatformTraceSystem = {&Platform::FindLoadedLibrary, &Platform::OpenLibrary,
                                              &Platform::FindLibrarySymbol};

const TraceSystem& System() {
    return g_tracing.system != nullptr ? *g_tracing.system : kPlatformTraceSystem;
}

bool EventEnabled(const TraceEvent& event, std::uint8_t level, std::uint64_t matchAny, std::uint64_t matchAll) {
    bool levelMatches = event.level <= level || level == 0;
    bool keywordMatches =
        event.keyword == 0 || ((event.keyword & matchAny) != 0 && (event.keyword & matchAll) == matchAll);
    return levelMatches && keywordMatches;
}

}  // namespace

const TraceEventDescriptor kThreadNameEvent = {103, 0, 0, 0, 14, 2, 1};

void NORV_SYSTEM_CALL TraceEnableCallback(const TraceGuid*, std::uint32_t controlCode, std::uint8_t level,
                                          std::uint64_t matchAnyKeyword, std::uint64_t matchAllKeyword, const void*,
                                          void* context) {
    auto* enable = static_cast<TraceEnableContext*>(context);
    if (enable == nullptr) return;
    if (controlCode == 0) {
        enable->enabled.store(false);
        enable->level.store(0);
        enable->matchAnyKeyword.store(0);
        enable->matchAllKeyword.store(0);
        for (std::uint32_t i = 0; i < enable->eventCount; ++i) enable->events[i].enabled.store(false);
    } else if (controlCode == 1) {
        enable->level.store(level);
        enable->matchAnyKeyword.store(matchAnyKeyword);
        enable->matchAllKeyword.store(matchAllKeyword);
        enable->enabled.store(true);
        for (std::uint32_t i = 0; i < enable->eventCount; ++i) {
            TraceEvent& event = enable->events[i];
            event.enabled.store(EventEnabled(event, level, matchAnyKeyword, matchAllKeyword));
        }
    }
}

namespace {

void Resolve(void* library) {
    g_tracing.library = library;
    if (library == nullptr) return;
    const TraceSystem& system = System();
    g_tracing.eventRegister.store(reinterpret_cast<EventRegisterFunction>(system.findSymbol(library, "EventRegister")));
    g_tracing.eventWrite.store(reinterpret_cast<EventWriteFunction>(system.findSymbol(library, "EventWrite")));
    g_tracing.eventUnregister.store(
        reinterpret_cast<EventUnregisterFunction>(system.findSymbol(library, "EventUnregister")));
}

void RegisterProviders() {
    EventRegisterFunction eventRegister = g_tracing.eventRegister.load();
    if (eventRegister == nullptr) return;
    for (TraceProvider& provider : g_tracing.providers) {
        if (provider.handle.load() != 0) continue;
        std::uint64_t handle = 0;
        if (eventRegister(&provider.id, &TraceEnableCallback, &provider.context, &handle) == 0) {
            provider.handle.store(handle);
        }
    }
    TraceProvider& threads = g_tracing.providers[kThreadNameProvider];
    if (threads.context.events[0].enabled.load()) {
        WriteTraceTextEvent(threads.handle.load(), kThreadNameEvent, Platform::CurrentThreadId(), "Main thread");
    }
}

}  // namespace

void StartTracing() {
    CachedPerformanceFrequency();
    if (g_tracing.library == nullptr) Resolve(System().findLoadedLibrary(kTraceLibraryName));
    RegisterProviders();
}

void FinishTracingStart() {
    if (g_tracing.library != nullptr) return;  // started at load
    // The library stays loaded to process end: releasing it at unload would
    // happen under the loader lock again.
    Resolve(System().openLibrary(kTraceLibraryName));
    RegisterProviders();
}

void UseTraceSystem(const TraceSystem* system) {
    g_tracing.system = system;
    g_tracing.library = nullptr;
    g_tracing.eventRegister.store(nullptr);
    g_tracing.eventWrite.store(nullptr);
    g_tracing.eventUnregister.store(nullptr);
}

void StopTracing() {
    EventUnregisterFunction eventUnregister = g_tracing.eventUnregister.load();
    for (TraceProvider& provider : g_tracing.providers) {
        std::uint64_t handle = provider.handle.exchange(0);
        if (handle != 0 && eventUnregister != nullptr) eventUnregister(handle);
    }
}

bool TracingAvailable() {
    return g_tracing.eventRegister.load() != nullptr;
}

TraceProvider& TracingProvider(std::size_t index) {
    return g_tracing.providers[index % kTraceProviderCount];
}

void WriteTraceTextEvent(std::uint64_t handle, const TraceEventDescriptor& descriptor, std::uint32_t threadId,
                         const char* text) {
    EventWriteFunction eventWrite = g_tracing.eventWrite.load();
    if (eventWrite == nullptr) return;
    if (text == nullptr) text = "NULL";
    TraceDataDescriptor data[2] = {
        {reinterpret_cast<std::uintptr_t>(&threadId), sizeof threadId, 0},
        {reinterpret_cast<std::uintptr_t>(text), static_cast<std::uint32_t>(std::strlen(text) + 1), 0},
    };
    eventWrite(handle, &descriptor, 2, data);
}

}  // namespace Norv
