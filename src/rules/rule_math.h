#pragma once
// The arithmetic the rule families share. Money amounts are doubles, integral and counts 32-bit
// integers; a percentage p of an amount x is p * x * 0.01, taken in that order.

#include <cmath>
#include <cstdint>
#include <limits>

namespace ab {

// The whole part of a real value: truncated toward zero to a 32-bit integer. Values beyond the
// range saturate and NaN gives 0, so no out-of-range conversion can occur.
inline int32_t WholePart(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

// The whole number of `unit`s in `amount`. A unit of 0 or less has no meaning in a regulation and
// gives 0, so a rule holding one awards nothing for that part.
inline int32_t UnitsIn(double amount, double unit) {
  return unit > 0 ? WholePart(amount / unit) : 0;
}

// A 64-bit intermediate brought back to 32 bits, saturating at the range's ends.
inline int32_t ClampToInt32(int64_t value) {
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

inline double PercentOf(double percent, double amount) { return percent * amount * 0.01; }

}  // namespace ab
