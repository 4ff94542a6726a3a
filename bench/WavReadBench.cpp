// Reading a block from a WAV track at a pitched speed, against copying the
// same number of samples out of memory (the least any read can cost).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

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

void BM_WavGetSound(benchmark::State& state) {
    static std::string path = makeTrack();
    NoOwner owner;
    WavSource source(&owner);
    source.setFile(path.c_str());
    float left[512], right[512];
    float* outs[2] = {left, right};
    int32_t position = 0;
    for (auto _ : state) {
        source.getSound(outs, 512, position, 1.08f, true, true);
        position = (position + 553) % 400000;
        benchmark::DoNotOptimize(left);
    }
}
BENCHMARK(BM_WavGetSound);

} // namespace

BENCHMARK_MAIN();
