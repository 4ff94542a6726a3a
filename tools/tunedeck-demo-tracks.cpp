// Writes a short demo set: two WAV tracks made of a synthesised beat and
// bass line at different tempos, and a ".m3u" list naming them, so that
// tunedeck-render has something to play without any download.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/WavWriter.h"

namespace {

void track(const std::string& path, double bpm, double rootHz, double seconds) {
    const int rate = 44100;
    WavWriter out(path, rate, true);
    const auto frames = static_cast<int32_t>(seconds * rate);
    const double beat = 60.0 / bpm;
    std::vector<float> left(frames), right(frames);
    for (int32_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        double inBeat = std::fmod(t, beat);
        double kick = std::sin(2 * M_PI * (50 + 80 * std::exp(-inBeat * 30)) * inBeat) * std::exp(-inBeat * 8);
        double offbeat = std::fmod(t + beat / 2, beat);
        double hat = std::sin(t * 2 * M_PI * 7000 + std::sin(t * 9100)) * std::exp(-offbeat * 60) * 0.15;
        int step = static_cast<int>(t / (beat / 2)) % 8;
        const double notes[8] = {1, 1, 1.5, 1, 1.333, 1, 1.5, 2};
        double bass = std::sin(2 * M_PI * rootHz * notes[step] * t) * 0.25;
        left[i] = static_cast<float>(0.6 * kick + hat + bass);
        right[i] = static_cast<float>(0.6 * kick - hat + bass);
    }
    out.write(left.data(), right.data(), frames);
    out.finish();
}

} // namespace

int main(int argc, char** argv) {
    std::string folder = argc > 1 ? argv[1] : ".";
    track(folder + "/demo-124bpm.wav", 124, 55, 8);
    track(folder + "/demo-128bpm.wav", 128, 61.7, 8);
    FILE* list = std::fopen((folder + "/demo.m3u").c_str(), "w");
    if (!list) return 1;
    std::fprintf(list, "#EXTM3U\ndemo-124bpm.wav\ndemo-128bpm.wav\n");
    std::fclose(list);
    std::printf("wrote %s/demo.m3u with two tracks\n", folder.c_str());
    return 0;
}
