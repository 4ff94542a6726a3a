// MPEG playback cost against a bare libmad decode and synthesis loop over
// the same file, measured in the same run, and the worst single block time
// after a seek against the block's duration.
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

#include "mpeg/MpegSource.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

class BenchSource : public MpegSource {
public:
    BenchSource() : MpegSource(nullptr) {}
    bool open(const std::string& path, int32_t frames) {
        std::snprintf(fileName, sizeof fileName, "%s", path.c_str());
        if (!openFile()) return false;
        length = frames;
        return true;
    }
};

std::string makeTrack() {
    const std::string path = "/tmp/tunedeck-bench-10min.mp3";
    if (std::ifstream(path).good()) return path;
    const int rate = 44100, frames = rate * 600;
    std::FILE* wav = std::fopen("/tmp/tunedeck-bench-10min.wav", "wb");
    if (!wav) return {};
    auto put32 = [wav](uint32_t v) { std::fwrite(&v, 4, 1, wav); };
    auto put16 = [wav](uint16_t v) { std::fwrite(&v, 2, 1, wav); };
    std::fwrite("RIFF", 1, 4, wav);
    put32(36 + frames * 4);
    std::fwrite("WAVEfmt ", 1, 8, wav);
    put32(16), put16(1), put16(2), put32(rate), put32(rate * 4), put16(4), put16(16);
    std::fwrite("data", 1, 4, wav);
    put32(frames * 4);
    std::mt19937 noise(7);
    std::vector<int16_t> block(2 * 4096);
    for (int f = 0; f < frames; f += 4096) {
        for (int i = 0; i < 4096; ++i) {
            double t = static_cast<double>(f + i) / rate;
            double v = 0.3 * std::sin(2 * M_PI * 110 * t) * (1 + std::sin(t)) + 0.1 * std::sin(2 * M_PI * 3000 * t) +
                       (static_cast<double>(noise() % 2000) - 1000) / 20000.0;
            block[2 * i] = block[2 * i + 1] = static_cast<int16_t>(v * 20000);
        }
        std::fwrite(block.data(), 2, block.size(), wav);
    }
    std::fclose(wav);
    if (std::system(("lame --quiet -b 128 /tmp/tunedeck-bench-10min.wav " + path).c_str()) != 0) return {};
    std::remove("/tmp/tunedeck-bench-10min.wav");
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

double playThrough(const std::string& path, int32_t frames, float ratio) {
    BenchSource source;
    if (!source.open(path, frames)) return 0;
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    auto start = Clock::now();
    double position = 0;
    while (position < frames - 4096) {
        source.getSound(outs, 512, static_cast<int32_t>(position), ratio, true, false);
        position += 512 * static_cast<double>(ratio);
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
    double normal = std::min(playThrough(path, length, 1.0f), playThrough(path, length, 1.0f));
    double pitched = std::min(playThrough(path, length, 1.06f), playThrough(path, length, 1.06f));
    // At 1.06 the play-through covers the file with fewer output blocks, but
    // decodes the same frames: compare it with the same bare loop.
    std::printf("file: %s, %.0f s of audio\n", path.c_str(), static_cast<double>(frames) / 44100);
    std::printf("bare libmad decode+synth: %.3f s\n", bare);
    std::printf("getSound ratio 1.00:      %.3f s  (%.3fx the bare loop)\n", normal, normal / bare);
    std::printf("getSound ratio 1.06:      %.3f s  (%.3fx the bare loop)\n", pitched, pitched / bare);

    BenchSource source;
    source.open(path, length);
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    std::mt19937 random(1);
    double worst = 0;
    for (int i = 0; i < 200; ++i) {
        auto position = static_cast<int32_t>(random() % static_cast<uint32_t>(length - 100000));
        auto start = Clock::now();
        source.getSound(outs, 512, position, 1.0f, true, false);
        worst = std::max(worst, seconds(start, Clock::now()));
    }
    const double block = 512.0 / 44100;
    std::printf("worst block after a seek: %.3f ms, %.3fx the block's %.2f ms at 44.1 kHz\n", worst * 1000,
                worst / block, block * 1000);
    return 0;
}
