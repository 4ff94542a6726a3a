// FLAC playback cost against a bare libFLAC decode of the same file from
// memory, measured in the same run, and a 64-frame block after a jump.
//   tunedeck_flac_bench   (makes a 10-minute file with flac in /tmp on the first run)
#include <FLAC/stream_decoder.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchTrack.h"
#include "flac/FlacSource.h"
#include "tests/support/WalkedSource.h"

namespace {

using Clock = std::chrono::steady_clock;
double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

using BenchSource = WalkedSource<FlacSource>;

// The least any FLAC playback can cost: decode every frame and convert it.
double bareDecode(const std::string& path, int64_t& frames) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    struct Sink {
        int64_t frames = 0;
        float last = 0;
    } sink;
    FlacSource::Reader reader;
    reader.target = &sink;
    reader.deliver = [](void* to, int64_t, int32_t n, const FLAC__int32* const channels[], int count, int) {
        auto& s = *static_cast<Sink*>(to);
        float sum = 0;
        for (int32_t i = 0; i < n; ++i) sum += static_cast<float>(channels[0][i]) + static_cast<float>(channels[count - 1][i]);
        s.last = sum;
        s.frames += n;
    };
    auto start = Clock::now();
    if (!reader.open(TrackFile::copyOf(bytes.data(), bytes.size()))) return 0;
    while (FLAC__stream_decoder_process_single(reader.decoder) &&
           FLAC__stream_decoder_get_state(reader.decoder) != FLAC__STREAM_DECODER_END_OF_STREAM) {
    }
    frames = sink.frames;
    return seconds(start, Clock::now());
}

} // namespace

int main() {
    const std::string path = "/tmp/tunedeck-bench-10min.flac";
    if (!std::ifstream(path).good() && !bench::encodeTenMinutes("flac --silent -f -o", path, true)) {
        std::fprintf(stderr, "no FLAC file to measure (needs flac to make one)\n");
        return 1;
    }
    int64_t frames = 0;
    const double bare = std::min(bareDecode(path, frames), bareDecode(path, frames));
    BenchSource source;
    if (!source.openAndWalk(path)) return 1;
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    double play = 1e9;
    for (int round = 0; round < 2; ++round) {
        auto start = Clock::now();
        for (int64_t p = 0; p + 512 < frames; p += 512) source.getSound(outs, 512, static_cast<double>(p), 1.0, true, false);
        play = std::min(play, seconds(start, Clock::now()));
    }
    std::mt19937 random(1);
    double worst = 0;
    for (int i = 0; i < 300; ++i) {
        const double at = static_cast<double>(random() % static_cast<uint32_t>(frames - 100000));
        auto start = Clock::now();
        source.getSound(outs, 64, at, 1.0, true, false);
        worst = std::max(worst, seconds(start, Clock::now()));
    }
    std::printf("file: %s, %.0f s of audio\n", path.c_str(), static_cast<double>(frames) / 44100);
    std::printf("bare libFLAC decode:  %.3f s\n", bare);
    std::printf("getSound ratio 1.00:  %.3f s  (%.3fx the bare loop)\n", play, play / bare);
    std::printf("a 64-frame block after a jump: worst %.3f ms = %.1f %% of its 1.451 ms at 44.1 kHz\n", worst * 1000,
                100 * worst / (64.0 / 44100));
    return 0;
}
