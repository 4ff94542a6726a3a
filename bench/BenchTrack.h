#pragma once
// Ten minutes of music-like sound, encoded by a command line tool, for the
// playback benchmarks (made once in /tmp, then reused).
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace bench {

// Writes the sound as a WAV, runs "encoder WAV path" ("encoder path WAV"
// with outputFirst), and removes the WAV.
inline bool encodeTenMinutes(const std::string& encoder, const std::string& path, bool outputFirst = false) {
    const std::string wavPath = path + ".wav";
    const int rate = 44100, frames = rate * 600;
    std::FILE* wav = std::fopen(wavPath.c_str(), "wb");
    if (!wav) return false;
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
    const std::string files = outputFirst ? path + " " + wavPath : wavPath + " " + path;
    const bool ok = std::system((encoder + " " + files).c_str()) == 0;
    std::remove(wavPath.c_str());
    return ok;
}

} // namespace bench
