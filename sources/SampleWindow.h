#pragma once
// Decoded samples around the play position, for the sources that decode
// their files (MPEG, FLAC): a decoder appends frames, reads copy from it,
// and the window slides forward by half as playback passes its middle.
//
// Threads: owned by one source and used under that source's lock.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "sources/ResamplingKernel.h"

struct SampleWindow {
    static constexpr int32_t halfFrames = 65536;
    static constexpr int32_t frames = 2 * halfFrames;

    float rows[2][frames] = {};
    int32_t start = 0; // the track frame of rows[.][0]
    int32_t fill = 0;  // frames decoded into the window

    int64_t end() const { return static_cast<int64_t>(start) + fill; }

    // Once a read starts in the second half, the first half is let go.
    void slideFor(int32_t from) {
        if (from < start + halfFrames || fill <= halfFrames) return;
        for (int c = 0; c < 2; ++c) std::memmove(rows[c], rows[c] + halfFrames, sizeof(float) * (fill - halfFrames));
        start += halfFrames;
        fill -= halfFrames;
    }

    // Frames first .. first + n - 1 into left and right; what is not decoded
    // reads as silence.
    void copy(int64_t first, int32_t n, float* left, float* right) const {
        for (int c = 0; c < 2; ++c) {
            float* row = c == 0 ? left : right;
            const int64_t begin = std::clamp<int64_t>(start - first, 0, n);
            const int64_t stop = std::clamp<int64_t>(end() - first, begin, n);
            std::fill(row, row + begin, 0.0f);
            if (stop > begin) std::memcpy(row + begin, rows[c] + (first + begin - start), sizeof(float) * (stop - begin));
            std::fill(row + stop, row + n, 0.0f);
        }
    }

    // The track frames a read of count values from position at ratio
    // touches, the widest kernel's reach included (a plain copy at ratio 1
    // reaches no further than its own frames).
    static void reach(double position, int32_t count, double ratio, int32_t& from, int32_t& highest) {
        const bool copy = ratio == 1.0 && position == std::floor(position);
        const double last = position + (count - 1) * ratio;
        const double before = copy ? 0.0 : ResamplingKernel::widest / 2, after = before;
        from = static_cast<int32_t>(std::clamp(std::floor(std::min(position, last)) - before, 0.0, 2.1e9));
        highest = static_cast<int32_t>(std::clamp(std::floor(std::max(position, last)) + after, 0.0, 2.1e9));
    }
};
