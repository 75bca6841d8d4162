#include "platform/platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <mutex>
#include <thread>

namespace Norv::Platform {
namespace {

TEST(PlatformDeathTest, CommittedPagesAreZeroedAndWritableUntilReleased) {
    auto* bytes = static_cast<volatile unsigned char*>(CommitPages(kPageChunkSize));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0);
    EXPECT_EQ(bytes[kPageChunkSize - 1], 0);
    bytes[0] = 1;
    bytes[kPageChunkSize - 1] = 2;
    ReleasePages(const_cast<unsigned char*>(bytes), kPageChunkSize);
    EXPECT_DEATH(bytes[0] = 1, "");
}

TEST(PlatformTest, MutexSerialisesThreads) {
    Mutex mutex;
    long counter = 0;
    auto work = [&] {
        for (int i = 0; i < 20000; ++i) {
            std::lock_guard<Mutex> guard(mutex);
            ++counter;
        }
    };
    std::thread other(work);
    work();
    other.join();
    EXPECT_EQ(counter, 40000);
    EXPECT_TRUE(mutex.try_lock());
    mutex.unlock();
}

TEST(PlatformTest, ClockMovesForward) {
    EXPECT_GT(PerformanceFrequency(), 0);
    const auto first = PerformanceCounter();
    auto second = first;
    for (int reads = 0; second == first && reads < 10'000'000; ++reads) second = PerformanceCounter();
    EXPECT_LT(first, second);
    LocalTime now = CurrentLocalTime();
    EXPECT_GE(now.year, 2020);
    EXPECT_GE(now.month, 1);
    EXPECT_LE(now.month, 12);
    EXPECT_LT(now.millisecond, 1000);
}

TEST(PlatformTest, ModuleFileNameIsCutToCapacity) {
    char full[1024];
    std::size_t length = ProcessModuleFileName(full, sizeof full);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::strlen(full), length);
    char small[4];
    EXPECT_EQ(ProcessModuleFileName(small, sizeof small), 3u);
    EXPECT_EQ(std::strlen(small), 3u);
}

// A live block's usable size is the allocation counters' business.
TEST(PlatformTest, NoBlockHasNoUsableSize) {
    EXPECT_EQ(HeapBlockUsableSize(nullptr), 0u);
}

TEST(PlatformTest, ReadsTheResidentSetWithoutKeepingAFileOpen) {
    const std::filesystem::path open = "/proc/self/fd";
    std::error_code error;
    if (IsWindows() || !std::filesystem::is_directory(open, error)) GTEST_SKIP() << "no list of open files here";
    const auto count = [&] { return std::distance(std::filesystem::directory_iterator(open), {}); };
    const auto before = count();
    for (int i = 0; i < 4; ++i) EXPECT_GT(ResidentMemoryBytes(), 0u);
    EXPECT_EQ(count(), before);
}

TEST(PlatformTest, LoadsASystemLibraryAndFindsOnlyItsSymbols) {
    EXPECT_EQ(FindLibrarySymbol(nullptr, "x"), nullptr);
    void* library = OpenLibrary(IsWindows() ? "kernel32.dll" : "libc.so.6");
    ASSERT_NE(library, nullptr);
    EXPECT_NE(FindLibrarySymbol(library, IsWindows() ? "GetTickCount" : "strlen"), nullptr);
    EXPECT_EQ(FindLibrarySymbol(library, "norv_no_such_symbol"), nullptr);
    CloseLibrary(library);
}

// A system library that the test process does not use.
TEST(PlatformTest, FindsOnlyLibrariesThatAreLoadedAlready) {
    const char* name = IsWindows() ? "dbghelp.dll" : "libresolv.so.2";
    ASSERT_EQ(FindLoadedLibrary(name), nullptr);
    ASSERT_EQ(FindLoadedLibrary(name), nullptr) << "looking did not load it";
    void* library = OpenLibrary(name);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(FindLoadedLibrary(name), library);
    CloseLibrary(library);
    EXPECT_EQ(FindLoadedLibrary(nullptr), nullptr);
}

}  // namespace
}  // namespace Norv::Platform
