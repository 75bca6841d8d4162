// Allocation hooks of the formats test binary, defined with the tests of the
// readers' allocations: a count of operator new calls and bytes, and a way to
// make the n-th call from now fail.
#pragma once

#include <cstddef>

namespace Norv::Testing {

extern std::size_t gAllocations;
extern std::size_t gAllocatedBytes;
extern std::size_t gFailingAllocation;  // 0: none, else the countdown to the failing call

}  // namespace Norv::Testing
