// Windows implementation of the platform layer.
#include "platform/platform.h"

#include <malloc.h>
#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <new>

namespace Norv::Platform {

namespace {
CRITICAL_SECTION* Native(unsigned char* storage) {
    return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
}  // namespace

Mutex::Mutex() {
    static_assert(sizeof(CRITICAL_SECTION) <= sizeof(storage_));
    InitializeCriticalSection(Native(storage_));
}

Mutex::~Mutex() {
    DeleteCriticalSection(Native(storage_));
}

void Mutex::lock() {
    EnterCriticalSection(Native(storage_));
}

bool Mutex::try_lock() {
    return TryEnterCriticalSection(Native(storage_)) != 0;
}

void Mutex::unlock() {
    LeaveCriticalSection(Native(storage_));
}

void* CommitPages(std::size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void ReleasePages(void* address, std::size_t) {
    if (address != nullptr) VirtualFree(address, 0, MEM_RELEASE);
}

std::int64_t PerformanceCounter() {
    LARGE_INTEGER value{};
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

std::int64_t PerformanceFrequency() {
    LARGE_INTEGER value{};
    QueryPerformanceFrequency(&value);
    return value.QuadPart;
}

LocalTime CurrentLocalTime() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

std::uint32_t CurrentThreadId() {
    return GetCurrentThreadId();
}

std::size_t ProcessModuleFileName(char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(capacity));
    if (length == 0 || length >= capacity) {
        buffer[length == 0 ? 0 : capacity - 1] = '\0';
        return length == 0 ? 0 : capacity - 1;
    }
    return length;
}

void DebuggerOutput(const char* text) {
    if (text != nullptr) OutputDebugStringA(text);
}

std::size_t HeapBlockUsableSize(void* block) {
    return block == nullptr ? 0 : _msize(block);
}

std::size_t ResidentMemoryBytes() {
    // Looked up when asked for, so that the plugin, which never asks, imports nothing more.
    using Query = BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(kernel == nullptr ? nullptr : GetProcAddress(kernel, "K32GetProcessMemoryInfo")));
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    return query != nullptr && query(GetCurrentProcess(), &counters, sizeof counters) ? counters.WorkingSetSize : 0;
}

void* OpenLibrary(const char* name) {
    return name == nullptr ? nullptr : reinterpret_cast<void*>(LoadLibraryA(name));
}

void* FindLoadedLibrary(const char* name) {
    return name == nullptr ? nullptr : reinterpret_cast<void*>(GetModuleHandleA(name));
}

void* FindLibrarySymbol(void* library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

bool IsWindows() {
    return true;
}

void TerminateProcess(int exitCode) {
    ::TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
    __builtin_unreachable();
}

}  // namespace Norv::Platform
