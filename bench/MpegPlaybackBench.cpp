// MPEG playback cost against a bare libmad decode and synthesis loop over
// the same file, measured in the same run, and the worst single 64-frame
// block after a jump against that block's duration at 44.1 kHz.
//   tunedeck_mpeg_bench [FILE.mp3]   (default: a 10-minute 128 kbit/s stereo
//   file made with lame in /tmp on the first run)
#include <mad.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/BenchTrack.h"
#include "mpeg/MpegSource.h"
#include "tests/support/WalkedSource.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Opened with its frame index built, as the loader builds it.
using BenchSource = WalkedSource<MpegSource>;

std::string makeTrack() {
    const std::string path = "/tmp/tunedeck-bench-10min.mp3";
    if (std::ifstream(path).good()) return path;
    if (!bench::encodeTenMinutes("lame --quiet -b 128", path)) return {};
    return path;
}

// The least any MPEG playback can cost: decode and synthesise every frame.
double bareDecode(const std::vector<uint8_t>& bytes, int64_t& frames) {
    auto start = Clock::now();
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, bytes.data(), bytes.size());
    frames = 0;
    volatile float sink = 0;
    while (true) {
        if (mad_frame_decode(&frame, &stream) != 0) {
            if (MAD_RECOVERABLE(stream.error)) continue;
            break;
        }
        mad_synth_frame(&synth, &frame);
        frames += synth.pcm.length;
        sink = sink + static_cast<float>(synth.pcm.samples[0][0]);
    }
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return seconds(start, Clock::now());
}

double playThrough(const std::string& path, int32_t frames, double ratio) {
    BenchSource source;
    if (!source.openAndWalk(path)) return 0;
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    auto start = Clock::now();
    double position = 0;
    while (position < frames - 4096) {
        source.getSound(outs, 512, position, ratio, true, false);
        position += 512 * ratio;
    }
    return seconds(start, Clock::now());
}

} // namespace

int main(int argc, char** argv) {
    std::string path = argc > 1 ? argv[1] : makeTrack();
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) {
        std::fprintf(stderr, "no MPEG file to measure (needs lame to make one)\n");
        return 1;
    }
    int64_t frames = 0;
    double bare = bareDecode(bytes, frames);
    double bare2 = bareDecode(bytes, frames);
    bare = std::min(bare, bare2);
    auto length = static_cast<int32_t>(frames);
    double normal = std::min(playThrough(path, length, 1.0), playThrough(path, length, 1.0));
    double pitched = std::min(playThrough(path, length, 1.06), playThrough(path, length, 1.06));
    // At 1.06 the play-through covers the file with fewer output blocks, but
    // decodes the same frames: compare it with the same bare loop.
    std::printf("file: %s, %.0f s of audio\n", path.c_str(), static_cast<double>(frames) / 44100);
    std::printf("bare libmad decode+synth: %.3f s\n", bare);
    std::printf("getSound ratio 1.00:      %.3f s  (%.3fx the bare loop)\n", normal, normal / bare);
    std::printf("getSound ratio 1.06:      %.3f s  (%.3fx the bare loop)\n", pitched, pitched / bare);

    BenchSource source;
    source.openAndWalk(path);
    std::vector<float> l(64), r(64);
    float* outs[2] = {l.data(), r.data()};
    std::mt19937 random(1);
    std::vector<double> times;
    for (int i = 0; i < 500; ++i) {
        const double position = random() % static_cast<uint32_t>(length - 100000) + 0.5 * (i % 2);
        auto start = Clock::now();
        source.getSound(outs, 64, position, i % 2 ? 1.02 : 1.0, true, false);
        times.push_back(seconds(start, Clock::now()));
    }
    std::sort(times.begin(), times.end());
    const double block = 64.0 / 44100;
    const double bareFrame = bare / (static_cast<double>(frames) / 1152);
    std::printf("a 64-frame block after a jump: median %.3f ms, worst %.3f ms = %.1f %% of its %.3f ms at 44.1 kHz"
                " (bare libmad: %.3f ms a frame)\n",
                times[times.size() / 2] * 1000, times.back() * 1000, 100 * times.back() / block, block * 1000,
                bareFrame * 1000);
    return 0;
}
