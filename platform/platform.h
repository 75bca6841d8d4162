// The only door to the operating system: locks, pages, clocks, threads,
// module names, debugger output, heap block sizes and run-time library loading.
// One Windows and one POSIX implementation sit behind these declarations.
#pragma once

#include <cstddef>
#include <cstdint>

// Calling convention of the operating system's own entry points and of the
// callbacks they take, for entry points found at run time (stdcall on 32-bit
// Windows, the default everywhere else).
#if defined(_WIN32) && !defined(_WIN64)
#define NORV_SYSTEM_CALL __stdcall
#else
#define NORV_SYSTEM_CALL
#endif

namespace Norv::Platform {

// A plain, non-recursive lock: a critical section on Windows, a pthread mutex
// elsewhere. Satisfies the standard Lockable requirements.
class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;

    void lock();
    bool try_lock();
    void unlock();

private:
    alignas(16) unsigned char storage_[64];
};

// Read-write pages committed straight from the system, never from the heap.
constexpr std::size_t kPageChunkSize = 64 * 1024;
void* CommitPages(std::size_t bytes);  // null on failure
void ReleasePages(void* address, std::size_t bytes);

std::int64_t PerformanceCounter();
std::int64_t PerformanceFrequency();  // counts per second

struct LocalTime {
    std::int32_t year;
    std::int32_t month;
    std::int32_t day;
    std::int32_t hour;
    std::int32_t minute;
    std::int32_t second;
    std::int32_t millisecond;
};
LocalTime CurrentLocalTime();

std::uint32_t CurrentThreadId();

// Path of the process's executable, NUL-terminated and cut to fit; returns its
// length, 0 when the path is unknown.
std::size_t ProcessModuleFileName(char* buffer, std::size_t capacity);

// Text for an attached debugger. On POSIX there is no debugger channel: the
// text goes to standard error only while NORV_DEBUGGER_OUTPUT=stderr is set,
// which lets tests observe it.
void DebuggerOutput(const char* text);

// Usable size of a block from malloc/realloc (may exceed the requested size).
std::size_t HeapBlockUsableSize(void* block);

// The process's resident memory in bytes (working set on Windows); 0 when
// the system does not say. The host simulator's soak reports it.
std::size_t ResidentMemoryBytes();

// Run-time library loading; null when the library or symbol is not there.
void* OpenLibrary(const char* name);
// The library when the process has it loaded already, without loading it or
// taking a reference (nothing to close): safe inside a library's load routine,
// where loading another library can deadlock the system's loader.
void* FindLoadedLibrary(const char* name);
void* FindLibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);

// True on Windows; lets callers pick platform-specific names (a library's
// file name, say) without preprocessor conditions of their own.
bool IsWindows();

// Ends the process at once with the given exit code; no destructors run.
[[noreturn]] void TerminateProcess(int exitCode);

}  // namespace Norv::Platform
