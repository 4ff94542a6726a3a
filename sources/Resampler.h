#pragma once
// Reads a track at a fractional position and any speed through the shared
// ResamplingKernels. A source supplies its frames through a fetch function;
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
    // the track (of trackRate frames a second) at position + j * ratio.
    // fetch(first, n, left, right) writes frames first .. first + n - 1 of
    // the track to left and right, zeros for frames the track does not have;
    // it is never asked for frames further than ResamplingKernel::widest / 2
    // from the positions read. At ratio exactly 1 or -1 from a whole frame
    // the values are the frames themselves.
    template <typename Fetch>
    void read(float* const* out, int32_t count, double position, double ratio, double trackRate, bool replace,
              Fetch&& fetch) {
        if (count <= 0) return;
        if (ratio == 1.0 && position == std::floor(position)) {
            copy(out, count, static_cast<int64_t>(position), replace, fetch);
            return;
        }
        if (ratio == -1.0 && position == std::floor(position)) {
            copyBackwards(out, count, static_cast<int64_t>(position), replace, fetch);
            return;
        }
        const ResamplingKernel& kernel = ResamplingKernel::forRatio(ratio, trackRate);
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
            kernel.applyRun(rows[0], rows[1], first - static_cast<double>(low), ratio, n, out, done, replace);
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

    // Value j is frame last - j.
    template <typename Fetch>
    void copyBackwards(float* const* out, int32_t count, int64_t last, bool replace, Fetch& fetch) {
        for (int32_t done = 0; done < count;) {
            const int32_t n = std::min(count - done, rowFrames);
            fetch(last - done - (n - 1), n, rows[0], rows[1]);
            for (int c = 0; c < 2; ++c)
                for (int32_t j = 0; j < n; ++j) {
                    const float value = rows[c][n - 1 - j];
                    out[c][done + j] = replace ? value : out[c][done + j] + value;
                }
            done += n;
        }
    }

    float rows[2][rowFrames] = {};
};
