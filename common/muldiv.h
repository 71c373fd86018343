// MulDiv: a * b / c through a 64-bit intermediate, rounded to nearest with
// halves away from zero; -1 for a zero divisor. Same contract as the Win32
// function, so thousandths and percentages round identically on every build.
#pragma once
#include <cstdint>

namespace om {

constexpr int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  if (c == 0) return -1;
  // |a*b| <= 2^62 fits in int64; adding |c|/2 cannot overflow either.
  const int64_t p = static_cast<int64_t>(a) * b;
  const int64_t ac = c < 0 ? -static_cast<int64_t>(c) : c;
  const bool neg = (p < 0) != (c < 0);
  const int64_t ap = p < 0 ? -p : p;
  const int64_t q = (ap + ac / 2) / ac;
  const int64_t r = neg ? -q : q;
  // Win32 reports an out-of-range quotient as -1.
  if (r > INT32_MAX || r < INT32_MIN) return -1;
  return static_cast<int32_t>(r);
}

}  // namespace om
