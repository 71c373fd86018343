// Accounting of the aligned blocks, for tests and fuzzers: a count of every
// block taken (to prove a path allocates nothing) and failure injection
// (after arming with n, the n-th following allocation and all later ones
// fail until disarmed).
#pragma once
#include <cstdint>

namespace om {

void armAllocFailure(int64_t afterCount) noexcept;  // <= 0 disarms
int64_t alignedAllocationCount() noexcept;

// Called by alignedAlloc for every block: counts it, false when it must fail.
bool admitAlignedAllocation() noexcept;

}  // namespace om
