#pragma once
// Reads a track at a fractional position and any speed through the shared
// ResamplingKernel. A source supplies its frames through a fetch function;
// the Resampler gathers the frames a stretch of output needs into its own
// rows (the kernel's history), so the kernel always reads plain floats and
// the source never allocates on the audio thread.
//
// Threads: one Resampler belongs to one source and is used by whichever
// thread reads that source, one read at a time.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "sources/ResamplingKernel.h"

class Resampler {
public:
    static constexpr int32_t rowFrames = 4096 + ResamplingKernel::widest;

    Resampler() { ResamplingKernel::prepare(); }

    // Writes (replace) or adds count values to out[0] and out[1]: value j is
    // the track at position + j * ratio. fetch(first, n, left, right) writes
    // frames first .. first + n - 1 of the track to left and right, zeros
    // for frames the track does not have. At ratio exactly 1 from a whole
    // frame the values are the frames themselves.
    template <typename Fetch>
    void read(float* const* out, int32_t count, double position, double ratio, bool replace, Fetch&& fetch) {
        if (count <= 0) return;
        if (ratio == 1.0 && position == std::floor(position)) {
            copy(out, count, static_cast<int64_t>(position), replace, fetch);
            return;
        }
        const ResamplingKernel& kernel = ResamplingKernel::forRatio(ratio);
        const double step = std::fabs(ratio);
        // Output values per gathering: their reach, plus the kernel's width,
        // fits the rows.
        const auto perGather =
            static_cast<int32_t>(std::max(1.0, std::floor((rowFrames - kernel.width() - 2) / std::max(step, 1.0))));
        for (int32_t done = 0; done < count;) {
            const int32_t n = std::min(count - done, perGather);
            const double first = position + done * ratio, last = position + (done + n - 1) * ratio;
            const auto low = static_cast<int64_t>(std::floor(std::min(first, last))) - kernel.before();
            const auto high = static_cast<int64_t>(std::floor(std::max(first, last))) + kernel.after();
            fetch(low, static_cast<int32_t>(high - low + 1), rows[0], rows[1]);
            for (int32_t j = 0; j < n; ++j) {
                const double x = position + (done + j) * ratio - static_cast<double>(low);
                const double whole = std::floor(x);
                const auto index = static_cast<int32_t>(whole) - kernel.before();
                float l, r;
                kernel.apply(rows[0] + index, rows[1] + index, x - whole, l, r);
                if (replace) {
                    out[0][done + j] = l;
                    out[1][done + j] = r;
                } else {
                    out[0][done + j] += l;
                    out[1][done + j] += r;
                }
            }
            done += n;
        }
    }

private:
    template <typename Fetch>
    void copy(float* const* out, int32_t count, int64_t first, bool replace, Fetch& fetch) {
        if (replace) {
            fetch(first, count, out[0], out[1]);
            return;
        }
        for (int32_t done = 0; done < count;) {
            const int32_t n = std::min(count - done, rowFrames);
            fetch(first + done, n, rows[0], rows[1]);
            for (int32_t j = 0; j < n; ++j) {
                out[0][done + j] += rows[0][j];
                out[1][done + j] += rows[1][j];
            }
            done += n;
        }
    }

    float rows[2][rowFrames] = {};
};
