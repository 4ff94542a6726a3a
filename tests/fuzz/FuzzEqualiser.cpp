// The equaliser under any sequence of settings a host could send: crossovers,
// band gains, kills and the volume changed at any moment, in blocks of any
// size, at any host rate. Pink noise goes in; what comes out must be finite
// and never louder than the noise's peak times the largest band gain set,
// plus 6 dB.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "deck/BandEqualiser.h"

namespace {
struct PinkNoise {
    std::vector<float> samples;
    float peak = 0;
    PinkNoise() : samples(1 << 16) {
        uint32_t state = 12345;
        double b[7] = {};
        for (float& s : samples) {
            state = state * 1664525u + 1013904223u;
            const double w = static_cast<double>(state >> 8) / (1 << 23) - 1.0;
            b[0] = 0.99886 * b[0] + w * 0.0555179, b[1] = 0.99332 * b[1] + w * 0.0750759;
            b[2] = 0.96900 * b[2] + w * 0.1538520, b[3] = 0.86650 * b[3] + w * 0.3104856;
            b[4] = 0.55000 * b[4] + w * 0.5329522, b[5] = -0.7616 * b[5] - w * 0.0168980;
            s = static_cast<float>((b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362) * 0.1);
            b[6] = w * 0.115926;
            peak = std::max(peak, std::fabs(s));
        }
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const PinkNoise noise;
    if (size < 1) return 0;
    const double rates[] = {44100, 48000, 96000, 22050};
    const double rate = rates[data[0] % 4];
    BandEqualiser equaliser;
    BandEqualiser::Settings settings;
    settings.crossoverHz[0] = 1378, settings.crossoverHz[1] = 6202;
    double largest = 0.5;
    static float left[1024], right[1024];
    float* out[2] = {left, right};
    size_t read = 0;
    // Each record of three bytes: a setting, its value, the block that
    // follows; a few seconds of sound at most, so that many runs fit.
    const size_t end = std::min<size_t>(size, 1 + 3 * 256);
    for (size_t at = 1; at + 3 <= end; at += 3) {
        const int which = data[at] % 9;
        const float value = data[at + 1] / 255.0f;
        switch (which) {
        case 0:
        case 1: settings.crossoverHz[which] = (data[at + 1] % 33) * rate / 64; break;
        case 2:
        case 3:
        case 4: settings.gains[which - 2] = value; break;
        case 5:
        case 6:
        case 7: settings.cuts[which - 5] = data[at + 1] & 1; break;
        default: settings.level = value; break;
        }
        for (float g : settings.gains) largest = std::max(largest, static_cast<double>(g) * settings.level);
        const int32_t frames = 1 + data[at + 2] * 4;
        for (int32_t j = 0; j < frames; ++j, ++read) left[j] = right[j] = noise.samples[read % noise.samples.size()];
        equaliser.process(out, frames, settings, rate);
        const double bound = noise.peak * largest * 2.0;
        for (int32_t j = 0; j < frames; ++j)
            for (float x : {left[j], right[j]})
                if (!std::isfinite(x) || std::fabs(x) > bound) std::abort();
    }
    return 0;
}
