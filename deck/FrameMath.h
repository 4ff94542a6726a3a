#pragma once
// Frame counts computed in floating point (tempos, ratios, fractions) are
// turned into int32 frames here, saturating instead of overflowing: a
// hostile tempo or an extreme speed must not make the conversion undefined.
#include <cmath>
#include <cstdint>
#include <limits>

inline int32_t saturatedFrames(double value) {
    if (std::isnan(value)) return 0;
    constexpr double most = std::numeric_limits<int32_t>::max();
    constexpr double least = std::numeric_limits<int32_t>::min();
    if (value >= most) return std::numeric_limits<int32_t>::max();
    if (value <= least) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value); // toward zero
}
