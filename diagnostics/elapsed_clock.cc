#include "diagnostics/elapsed_clock.h"

#include "platform/platform.h"

#include <atomic>

namespace Norv {

namespace {
constinit std::atomic<std::int64_t> g_frequency{0};
}  // namespace

std::int64_t CachedPerformanceFrequency() {
    std::int64_t frequency = g_frequency.load(std::memory_order_relaxed);
    if (frequency == 0) {
        frequency = Platform::PerformanceFrequency();
        g_frequency.store(frequency, std::memory_order_relaxed);
    }
    return frequency;
}

double ElapsedSeconds() {
    static const std::int64_t origin = Platform::PerformanceCounter();
    std::int64_t frequency = CachedPerformanceFrequency();
    if (frequency <= 0) return 0.0;
    return static_cast<double>(Platform::PerformanceCounter() - origin) * (1.0 / static_cast<double>(frequency));
}

}  // namespace Norv
