// POSIX implementation of the platform layer.
#include "platform/platform.h"

#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace Norv::Platform {

namespace {
pthread_mutex_t* Native(unsigned char* storage) {
    return reinterpret_cast<pthread_mutex_t*>(storage);
}
}  // namespace

Mutex::Mutex() {
    static_assert(sizeof(pthread_mutex_t) <= sizeof(storage_));
    new (storage_) pthread_mutex_t(PTHREAD_MUTEX_INITIALIZER);
}

Mutex::~Mutex() {
    pthread_mutex_destroy(Native(storage_));
}

void Mutex::lock() {
    pthread_mutex_lock(Native(storage_));
}

bool Mutex::try_lock() {
    return pthread_mutex_trylock(Native(storage_)) == 0;
}

void Mutex::unlock() {
    pthread_mutex_unlock(Native(storage_));
}

void* CommitPages(std::size_t bytes) {
    void* address = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return address == MAP_FAILED ? nullptr : address;
}

void ReleasePages(void* address, std::size_t bytes) {
    if (address != nullptr) munmap(address, bytes);
}

std::int64_t PerformanceCounter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

std::int64_t PerformanceFrequency() {
    return 1000000000;
}

LocalTime CurrentLocalTime() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    time_t seconds = now.tv_sec;
    tm parts{};
    localtime_r(&seconds, &parts);
    return LocalTime{parts.tm_year + 1900,
                     parts.tm_mon + 1,
                     parts.tm_mday,
                     parts.tm_hour,
                     parts.tm_min,
                     parts.tm_sec,
                     static_cast<std::int32_t>(now.tv_nsec / 1000000)};
}

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

std::size_t ProcessModuleFileName(char* buffer, std::size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    ssize_t length = readlink("/proc/self/exe", buffer, capacity - 1);
    if (length <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    buffer[length] = '\0';
    return static_cast<std::size_t>(length);
}

void DebuggerOutput(const char* text) {
    if (text == nullptr) return;
    const char* mode = std::getenv("NORV_DEBUGGER_OUTPUT");
    if (mode != nullptr && std::strcmp(mode, "stderr") == 0) {
        std::fputs(text, stderr);
    }
}

std::size_t HeapBlockUsableSize(void* block) {
    return block == nullptr ? 0 : malloc_usable_size(block);
}

std::size_t ResidentMemoryBytes() {
    // statm's second field is the resident set in pages.
    std::FILE* file = std::fopen("/proc/self/statm", "r");
    if (file == nullptr) return 0;
    unsigned long long total = 0, resident = 0;
    int fields = std::fscanf(file, "%llu %llu", &total, &resident);
    std::fclose(file);
    long page = sysconf(_SC_PAGESIZE);
    return fields == 2 && page > 0 ? static_cast<std::size_t>(resident * static_cast<unsigned long long>(page)) : 0;
}

void* OpenLibrary(const char* name) {
    return name == nullptr ? nullptr : dlopen(name, RTLD_NOW | RTLD_LOCAL);
}

void* FindLoadedLibrary(const char* name) {
    if (name == nullptr) return nullptr;
    void* library = dlopen(name, RTLD_LAZY | RTLD_LOCAL | RTLD_NOLOAD);
    // RTLD_NOLOAD still counts a reference; whoever loaded the library keeps it.
    if (library != nullptr) dlclose(library);
    return library;
}

void* FindLibrarySymbol(void* library, const char* name) {
    return library == nullptr || name == nullptr ? nullptr : dlsym(library, name);
}

void CloseLibrary(void* library) {
    if (library != nullptr) dlclose(library);
}

bool IsWindows() {
    return false;
}

void TerminateProcess(int exitCode) {
    _exit(exitCode);
}

}  // namespace Norv::Platform
