// 32-bit counts and totals stop at their largest value instead of wrapping:
// a count past 2^31 - 1 stays 2^31 - 1.
#pragma once

#include <cstddef>
#include <cstdint>

inline int32_t SaturatingAdd(int32_t a, int32_t b) {
  int32_t sum;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? INT32_MAX : INT32_MIN;
}

inline int32_t SaturatingAdd(int32_t a, size_t b) {
  return SaturatingAdd(a, b > INT32_MAX ? INT32_MAX : static_cast<int32_t>(b));
}
