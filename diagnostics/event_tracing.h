// System event tracing: four providers registered while the library is loaded,
// and the one event the plugin writes, naming the main thread. The system's
// entry points are found at run time; where they are missing (every system
// but Windows) nothing is registered and nothing is traced.
//
// The start happens at library load, inside the system's loader lock, where
// loading another library can deadlock the host's loader: it uses the tracing
// library only when the process has it loaded already (a desktop client nearly
// always has). Otherwise the plugin entry, which runs outside that lock,
// finishes the start.
#pragma once

#include "platform/platform.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Norv {

struct TraceGuid {
    std::uint32_t data1;
    std::uint16_t data2;
    std::uint16_t data3;
    std::uint8_t data4[8];
};

// The system's event descriptor, field for field.
struct TraceEventDescriptor {
    std::uint16_t id;
    std::uint8_t version;
    std::uint8_t channel;
    std::uint8_t level;
    std::uint8_t opcode;
    std::uint16_t task;
    std::uint64_t keyword;
};
static_assert(sizeof(TraceEventDescriptor) == 16);

// One event of a provider as the enable callback sees it.
struct TraceEvent {
    std::uint64_t keyword;
    std::uint8_t level;
    std::atomic<bool> enabled;
};

// What the system's enable callback updates, on a thread of its own; writers
// read each event's enable bit.
struct TraceEnableContext {
    std::atomic<bool> enabled;
    std::atomic<std::uint8_t> level;
    std::atomic<std::uint64_t> matchAnyKeyword;
    std::atomic<std::uint64_t> matchAllKeyword;
    std::uint32_t eventCount;
    TraceEvent* events;
};

struct TraceProvider {
    TraceGuid id;
    std::atomic<std::uint64_t> handle;  // 0 while unregistered
    TraceEnableContext context;
};

// The system's data descriptor: a 64-bit address, a size and a reserved word.
struct TraceDataDescriptor {
    std::uint64_t address;
    std::uint32_t size;
    std::uint32_t reserved;
};
static_assert(sizeof(TraceDataDescriptor) == 16);

using TraceEnableCallbackFunction = void(NORV_SYSTEM_CALL*)(const TraceGuid*, std::uint32_t, std::uint8_t,
                                                            std::uint64_t, std::uint64_t, const void*, void*);
using EventRegisterFunction = std::uint32_t(NORV_SYSTEM_CALL*)(const TraceGuid* provider,
                                                               TraceEnableCallbackFunction callback, void* context,
                                                               std::uint64_t* handle);
using EventWriteFunction = std::uint32_t(NORV_SYSTEM_CALL*)(std::uint64_t handle,
                                                            const TraceEventDescriptor* descriptor, std::uint32_t count,
                                                            TraceDataDescriptor* data);
using EventUnregisterFunction = std::uint32_t(NORV_SYSTEM_CALL*)(std::uint64_t handle);

// Where tracing finds the system's library and entry points: the platform's
// functions, or a test's stand-ins that record what would be written.
struct TraceSystem {
    void* (*findLoadedLibrary)(const char* name);
    void* (*openLibrary)(const char* name);
    void* (*findSymbol)(void* library, const char* name);
};

// Null restores the platform's. Forgets the library and entry points found so
// far; only while no provider is registered.
void UseTraceSystem(const TraceSystem* system);

inline constexpr const char* kTraceLibraryName = "Advapi32.dll";
inline constexpr std::size_t kTraceProviderCount = 4;
inline constexpr std::size_t kThreadNameProvider = 1;  // index of the provider of the thread name event
extern const TraceEventDescriptor kThreadNameEvent;

// Control codes 0 (disable) and 1 (enable) update the context; any other code
// changes nothing. The signature is the system's.
void NORV_SYSTEM_CALL TraceEnableCallback(const TraceGuid* source, std::uint32_t controlCode, std::uint8_t level,
                                          std::uint64_t matchAnyKeyword, std::uint64_t matchAllKeyword,
                                          const void* filter, void* context);

// At library load: when the tracing library is loaded already, finds the
// system's entry points, registers every provider not registered yet and,
// when a consumer has enabled it, writes the thread name event for the calling
// thread as "Main thread". Otherwise leaves the start to FinishTracingStart.
void StartTracing();
// Outside the loader lock (the plugin entry): when StartTracing found no
// tracing library, loads it and does the rest of the start; otherwise nothing.
void FinishTracingStart();
// At library unload: unregisters every registered provider.
void StopTracing();

// True once the start found the system's entry points.
bool TracingAvailable();
TraceProvider& TracingProvider(std::size_t index);

// Writes an event whose payload is a thread identifier and a text (null is
// sent as "NULL"); nothing happens without the system's entry point.
void WriteTraceTextEvent(std::uint64_t handle, const TraceEventDescriptor& descriptor, std::uint32_t threadId,
                         const char* text);

}  // namespace Norv
