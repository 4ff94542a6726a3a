#pragma once
// The last line of defence before the host's mix: whatever went wrong above
// (a filter, a decoder, a wild host value), the deck never sends a speaker a
// sample that is not a number, infinite, or louder than +6 dBFS.
//
// Threads: the audio thread limits; any thread may read the count.
#include <atomic>
#include <cmath>
#include <cstdint>

class OutputGuard {
public:
    static constexpr float ceiling = 2.0f; // +6 dBFS

    // Silences samples that are not finite and holds the rest within the
    // ceiling; counts what it changed.
    void limit(float* const* out, int32_t frames) {
        uint32_t changed = 0;
        for (int ch = 0; ch < 2; ++ch)
            for (int32_t j = 0; j < frames; ++j) {
                const float x = out[ch][j];
                if (x >= -ceiling && x <= ceiling) continue; // false for NaN as well
                out[ch][j] = std::isnan(x) ? 0.0f : x > 0 ? ceiling : -ceiling;
                ++changed;
            }
        if (changed) acted.fetch_add(changed, std::memory_order_relaxed);
    }
    // Samples changed since the last call (for a thread that may write the log).
    uint32_t takeCount() { return acted.exchange(0, std::memory_order_relaxed); }

private:
    std::atomic<uint32_t> acted{0};
};
