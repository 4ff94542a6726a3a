#pragma once
// What the equaliser and volume controls mean, the same for every source.
#include <algorithm>
#include <cmath>

// The Vol control: 1 is 0 dB, 0 is silence, and between them 40 dB of
// range, -20 dB at 0.5 (the display shows it).
inline double volumeFactor(float volume) {
    // The exponent's 0.05 is single precision, as the law was first
    // computed: volume 0.5 then gives 0.0999999966 rather than 0.1.
    return volume == 0.0f ? 0.0 : std::pow(10.0, (1.0 - volume) * -40.0 * static_cast<double>(0.05f));
}

// A crossover control (0..1) as the first of the 32 MPEG subbands above it:
// subband j spans j x rate / 64 to (j + 1) x rate / 64.
inline int crossoverSubband(float control) {
    const double x = std::clamp(static_cast<double>(control), 0.0, 1.0);
    return static_cast<int>(std::min(std::trunc(std::pow(2.0, 5.0 * x)), 32.0)) - 1;
}
