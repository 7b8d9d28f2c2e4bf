#pragma once
#include <cmath>

namespace vel {

// a / b as a real number, or 0 when b is 0.
inline double SafeDiv(double a, double b) { return b == 0 ? 0.0 : a / b; }

// Nearest whole number, halves to the even neighbour.
inline long long RoundHalfEven(double x) { return static_cast<long long>(std::nearbyint(x)); }

} // namespace vel
