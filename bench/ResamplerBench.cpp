// The resampler's cost per stereo output frame for the rate pairs a deck
// meets, at pitch 0 and the ends of the pitch range, against a straight
// line between two frames (the cheapest interpolation there is) in the
// same run. Items are output frames; compare the rates.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "sources/Resampler.h"
#include "sources/ResamplingKernel.h"

namespace {

const std::vector<float>& trackSamples() {
    static const std::vector<float> samples = [] {
        std::vector<float> s(1 << 20);
        for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<float>(std::sin(i * 0.01) * 0.5);
        return s;
    }();
    return samples;
}

void fetchFrom(int64_t first, int32_t n, float* left, float* right) {
    const std::vector<float>& s = trackSamples();
    const auto mask = static_cast<int64_t>(s.size() - 1);
    for (int32_t j = 0; j < n; ++j) left[j] = right[j] = s[(first + j) & mask];
}

void BM_LinearBaseline(benchmark::State& state) {
    const std::vector<float>& s = trackSamples();
    const double ratio = 1.0 + state.range(2) / 1000.0;
    float left[512], right[512];
    double position = 100.0;
    for (auto _ : state) {
        for (int j = 0; j < 512; ++j) {
            const double x = position + j * ratio;
            const auto i = static_cast<int64_t>(x);
            const auto t = static_cast<float>(x - i);
            const float a = s[i & (s.size() - 1)], b = s[(i + 1) & (s.size() - 1)];
            left[j] = a + (b - a) * t;
            right[j] = a + (b - a) * t;
        }
        position = std::fmod(position + 512 * ratio, 500000.0);
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
    }
    state.SetItemsProcessed(state.iterations() * 512);
}
BENCHMARK(BM_LinearBaseline)->Args({44100, 44100, 60});

// Arguments: track rate, host rate, pitch in tenths of a percent.
void BM_Resample(benchmark::State& state) {
    const double trackRate = static_cast<double>(state.range(0));
    const double ratio = trackRate / static_cast<double>(state.range(1)) * (1.0 + state.range(2) / 1000.0);
    ResamplingKernel::prepareFor(trackRate, ratio, ratio);
    Resampler resampler;
    float left[512], right[512];
    float* out[2] = {left, right};
    double position = 100.25;
    for (auto _ : state) {
        resampler.read(out, 512, position, ratio, trackRate, true, fetchFrom);
        position = std::fmod(position + 512 * ratio, 500000.0) + 100.0;
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
    }
    state.SetItemsProcessed(state.iterations() * 512);
}
BENCHMARK(BM_Resample)
    ->Args({44100, 44100, 60})
    ->Args({44100, 44100, -320})
    ->Args({44100, 44100, 320})
    ->Args({44100, 48000, 0})
    ->Args({48000, 44100, 0})
    ->Args({48000, 48000, 320})
    ->Args({96000, 44100, 0})
    ->Args({96000, 48000, 0})
    ->Args({96000, 44100, 320});

} // namespace
