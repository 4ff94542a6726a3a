// Reading a block from a WAV track at a pitched speed, against copying the
// same number of samples out of memory (the least any read can cost) and
// against a straight line between two frames (the cheapest interpolation,
// which the band-limited kernel replaces). Items are output frames: at
// 48 kHz a deck may spend 1 ms of every second, about 20 ns a frame.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "deck/BandEqualiser.h"
#include "sources/WavSource.h"
#include "sources/WavFormat.h"

namespace {

class NoOwner : public SourceOwner {
    void setSize(int32_t, bool) override {}
    void loadProgress(int32_t) override {}
};

std::string makeTrack() {
    std::string path = "/tmp/tunedeck-bench.wav";
    const int frames = 44100 * 10;
    std::vector<uint8_t> bytes(44 + frames * 4);
    auto put32 = [&](size_t at, uint32_t v) { for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(v >> (8 * i)); };
    std::memcpy(&bytes[0], "RIFF", 4);
    put32(4, uint32_t(bytes.size() - 8));
    std::memcpy(&bytes[8], "WAVEfmt ", 8);
    put32(16, 16);
    bytes[20] = 1; bytes[22] = 2;
    put32(24, 44100); put32(28, 44100 * 4);
    bytes[32] = 4; bytes[34] = 16;
    std::memcpy(&bytes[36], "data", 4);
    put32(40, frames * 4);
    for (size_t i = 44; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    return path;
}

void BM_CopyBaseline(benchmark::State& state) {
    std::vector<int16_t> samples(44100 * 20);
    float left[512], right[512];
    size_t at = 0;
    for (auto _ : state) {
        for (int i = 0; i < 512; ++i) {
            left[i] = samples[at + 2 * i] / 32768.0f;
            right[i] = samples[at + 2 * i + 1] / 32768.0f;
        }
        at = (at + 1024) % (samples.size() - 1024);
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
    }
}
BENCHMARK(BM_CopyBaseline);

void BM_StraightLineBaseline(benchmark::State& state) {
    std::vector<int16_t> samples(44100 * 20);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>(i * 7);
    const double ratio = static_cast<double>(state.range(0)) / 100000.0;
    float left[512], right[512];
    double position = 0;
    for (auto _ : state) {
        for (int j = 0; j < 512; ++j) {
            const double x = position + j * ratio;
            const auto i = static_cast<size_t>(x);
            const float t = static_cast<float>(x - static_cast<double>(i));
            const float a = samples[2 * i] / 32768.0f, b = samples[2 * i + 2] / 32768.0f;
            const float c = samples[2 * i + 1] / 32768.0f, d = samples[2 * i + 3] / 32768.0f;
            left[j] = a + (b - a) * t;
            right[j] = c + (d - c) * t;
        }
        position = position + 553.25 > 400000 ? 0.25 : position + 553.25;
        benchmark::DoNotOptimize(left);
        benchmark::DoNotOptimize(right);
    }
    state.SetItemsProcessed(state.iterations() * 512);
}
BENCHMARK(BM_StraightLineBaseline)->Arg(91875)->Arg(108000);

void BM_WavGetSound(benchmark::State& state) {
    static std::string path = makeTrack();
    NoOwner owner;
    WavSource source(&owner);
    source.setFile(path.c_str());
    const double ratio = static_cast<double>(state.range(0)) / 100000.0;
    float left[512], right[512];
    float* outs[2] = {left, right};
    double position = 0.25;
    for (auto _ : state) {
        source.getSound(outs, 512, position, ratio, true, true);
        position = position + 553.25 > 400000 ? 0.25 : position + 553.25;
        benchmark::DoNotOptimize(left);
    }
    state.SetItemsProcessed(state.iterations() * 512);
}
// 44.1 kHz on a 48 kHz host, +8 % pitch, and 96 kHz tracks on a 44.1 kHz host.
BENCHMARK(BM_WavGetSound)->Arg(91875)->Arg(108000)->Arg(100000)->Arg(217687);

// The band equaliser of WAV tracks, filtering (unequal gains), on a block
// already rendered: compare with BM_CopyBaseline, a plain pass over a block.
void BM_BandEqualiser(benchmark::State& state) {
    BandEqualiser equaliser;
    BandEqualiser::Settings settings;
    settings.crossoverHz[0] = 1378;
    settings.crossoverHz[1] = 6202;
    settings.gains[0] = 0.9f;
    float left[512], right[512];
    for (int i = 0; i < 512; ++i) left[i] = right[i] = static_cast<float>(i % 37) / 37.0f - 0.5f;
    float* outs[2] = {left, right};
    for (auto _ : state) {
        equaliser.process(outs, 512, settings, 48000.0);
        benchmark::DoNotOptimize(left);
    }
    state.SetItemsProcessed(state.iterations() * 512);
}
BENCHMARK(BM_BandEqualiser);

} // namespace

BENCHMARK_MAIN();
