// Allocation-failure injection for tests and fuzzers: after arming with n,
// the n-th following aligned allocation (1-based) and every one after it fail.
#pragma once
#include <cstdint>

namespace om {

void armAllocFailure(int64_t afterCount) noexcept;  // <= 0 disarms
bool allocFailureInjected() noexcept;

}  // namespace om
