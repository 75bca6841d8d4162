// The high-resolution clock behind the "#H" log code: seconds since the first
// query in the process.
#pragma once

#include <cstdint>

namespace Norv {

// Counts per second of the performance counter, read once and cached.
std::int64_t CachedPerformanceFrequency();

// Seconds since the first call; the first call fixes the origin.
double ElapsedSeconds();

}  // namespace Norv
