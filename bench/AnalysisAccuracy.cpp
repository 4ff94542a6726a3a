// Analyses WAV files and prints, one line each, what the deck's analysis
// found and what the beat tracker alone found, with the time each took:
//   tunedeck_analysis_accuracy FILE.wav...
// "FILE bpm B first_beat_s F constant C key K plain_bpm B plain_first_beat_s F seconds S"
// tests/analysis/measure.py compares the lines with the corpus's truth.
#include <chrono>
#include <cstdio>
#include <vector>

#include "analysis/BeatAnalyser.h"
#include "analysis/KeyAnalyser.h"
#include "sources/TrackFile.h"
#include "sources/WavFormat.h"
#include "platform/FileBytes.h"

int main(int argc, char** argv) {
    for (int a = 1; a < argc; ++a) {
        auto bytes = platform::FileBytes::open(argv[a]);
        if (!bytes) {
            std::fprintf(stderr, "%s: cannot be read\n", argv[a]);
            continue;
        }
        const WavFormat format = walkWavChunks(bytes->data(), bytes->size());
        if (format.length <= 0) {
            std::fprintf(stderr, "%s: no sound\n", argv[a]);
            continue;
        }
        std::vector<float> left(static_cast<size_t>(format.length)), right(left.size());
        const uint8_t* frames = bytes->data() + format.dataOffset;
        wavSamples(format, frames, format.length, 0, 1.0f, left.data());
        wavSamples(format, frames, format.length, format.channels > 1 ? 1 : 0, 1.0f, right.data());
        const auto start = std::chrono::steady_clock::now();
        BeatAnalyser beats(format.sampleRate), plain(format.sampleRate);
        KeyAnalyser keys(format.sampleRate);
        // In loader-sized pieces, as a track is read.
        for (int32_t i = 0; i < format.length; i += 4096) {
            const int32_t n = std::min<int32_t>(4096, format.length - i);
            beats.add(left.data() + i, right.data() + i, n);
            keys.add(left.data() + i, right.data() + i, n);
        }
        const BeatGrid grid = beats.finish();
        const MusicalKey key = keys.finish();
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        for (int32_t i = 0; i < format.length; i += 4096)
            plain.add(left.data() + i, right.data() + i, std::min<int32_t>(4096, format.length - i));
        const BeatGrid anchor = plain.finishPlain();
        std::printf("%s bpm %.3f first_beat_s %.4f constant %d key %s plain_bpm %.3f plain_first_beat_s %.4f "
                    "seconds %.3f\n",
                    argv[a], grid.bpm, grid.firstBeatSeconds, grid.constant ? 1 : 0,
                    key.found() ? key.camelot().c_str() : "-", anchor.bpm, anchor.firstBeatSeconds, seconds);
        std::fflush(stdout);
    }
    return 0;
}
