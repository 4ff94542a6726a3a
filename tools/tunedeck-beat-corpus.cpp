// Writes the beat and key corpus: tracks of known tempo, first beat, bar and
// key, synthesised from drum patterns, a bass line and chords, with a truth
// table ("truth.csv") beside them. They test the deck's analysis the way
// real music does: house, breakbeat, hip-hop with swing, drum and bass,
// rock, slow ballads and fast hardcore, silent intros, a tempo change and a
// drummer who drifts. Every track is made from a seed of its own, so the
// corpus is the same on every machine.
//   tunedeck-beat-corpus FOLDER [SECONDS]
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "tools/WavWriter.h"

namespace {

constexpr int rate = 44100;

enum class Style { House, Breakbeat, HipHop, DrumAndBass, Rock, Ballad };

struct Recipe {
    std::string name;
    Style style;
    double bpm;
    int tonic;        // 0 = C ... 11 = B
    bool minor;
    double intro = 0; // seconds of silence before the first beat
    double swing = 0; // fraction of an eighth by which off-beat eighths come late
    double endBpm = 0; // a tempo change half way through (0: none)
    double drift = 0; // a drummer's slow tempo wander, as a fraction of the tempo
};

const char* const noteNames[12] = {"C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab", "A", "Bb", "B"};

// The Camelot wheel: minor keys are "A", major keys "B".
std::string camelot(int tonic, bool minor) {
    static const int majorNumber[12] = {8, 3, 10, 5, 12, 7, 2, 9, 4, 11, 6, 1};
    const int number = minor ? majorNumber[(tonic + 3) % 12] : majorNumber[tonic];
    return std::to_string(number) + (minor ? "A" : "B");
}

double noteHz(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

struct Voice {
    std::vector<float> left, right;
    explicit Voice(size_t frames) : left(frames), right(frames) {}
    void add(size_t at, const std::vector<float>& sound, float gain, float pan) {
        for (size_t i = 0; i < sound.size() && at + i < left.size(); ++i) {
            left[at + i] += sound[i] * gain * (1.0f - pan);
            right[at + i] += sound[i] * gain * (1.0f + pan);
        }
    }
};

std::vector<float> kick() {
    std::vector<float> s(static_cast<size_t>(0.35 * rate));
    double phase = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        phase += 2 * M_PI * (48 + 110 * std::exp(-t * 35)) / rate;
        s[i] = static_cast<float>(std::sin(phase) * std::exp(-t * 9));
    }
    return s;
}

std::vector<float> noiseHit(std::mt19937& random, double seconds, double decay, double tone, double toneMix) {
    std::uniform_real_distribution<float> white(-1.0f, 1.0f);
    std::vector<float> s(static_cast<size_t>(seconds * rate));
    float previous = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const float n = white(random);
        const float bright = n - previous; // a first difference: the noise's top end
        previous = n;
        s[i] = static_cast<float>((bright * (1 - toneMix) + std::sin(2 * M_PI * tone * t) * toneMix) * std::exp(-t * decay));
    }
    return s;
}

std::vector<float> tone(const std::vector<int>& notes, double seconds, double attack, double decay) {
    std::vector<float> s(static_cast<size_t>(seconds * rate));
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        double v = 0;
        for (int note : notes) {
            const double hz = noteHz(note);
            v += std::sin(2 * M_PI * hz * t) + 0.3 * std::sin(4 * M_PI * hz * t) + 0.1 * std::sin(6 * M_PI * hz * t);
        }
        const double envelope = std::min(1.0, t / attack) * std::exp(-t * decay) * std::min(1.0, (seconds - t) * 50);
        s[i] = static_cast<float>(v * envelope / notes.size());
    }
    return s;
}

// Which drums sound on each of a bar's sixteen steps: 1 kick, 2 snare, 4 hat.
const int* pattern(Style style) {
    static const int house[16] = {5, 0, 4, 0, 5, 0, 4, 0, 5, 0, 4, 0, 5, 0, 4, 4};
    static const int breakbeat[16] = {1, 0, 4, 0, 6, 0, 4, 1, 0, 0, 5, 0, 6, 0, 4, 0};
    static const int hipHop[16] = {5, 0, 0, 0, 6, 0, 0, 1, 5, 0, 1, 0, 6, 0, 0, 0};
    static const int drumAndBass[16] = {5, 0, 4, 0, 6, 0, 4, 0, 4, 0, 5, 0, 6, 0, 4, 0};
    static const int rock[16] = {5, 0, 4, 0, 6, 0, 4, 0, 5, 0, 5, 0, 6, 0, 4, 0};
    static const int ballad[16] = {5, 0, 0, 0, 4, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0};
    switch (style) {
    case Style::House: return house;
    case Style::Breakbeat: return breakbeat;
    case Style::HipHop: return hipHop;
    case Style::DrumAndBass: return drumAndBass;
    case Style::Rock: return rock;
    default: return ballad;
    }
}

void write(const std::string& folder, const Recipe& r, double seconds, FILE* truth) {
    std::mt19937 random(static_cast<uint32_t>(std::hash<std::string>{}(r.name) & 0xFFFFFFFFu));
    std::normal_distribution<double> jitter(0.0, 0.004); // a drummer's few milliseconds
    const auto frames = static_cast<size_t>(seconds * rate);
    Voice mix(frames);
    const std::vector<float> kickSound = kick();
    const std::vector<float> snare = noiseHit(random, 0.25, 18, 190, 0.35);
    const std::vector<float> hat = noiseHit(random, 0.06, 70, 0, 0.0);
    // Chords of the key: I IV V I, or i VI III VII in minor, one a bar.
    const int root = 48 + r.tonic;
    const std::vector<std::vector<int>> chords =
        r.minor ? std::vector<std::vector<int>>{{0, 3, 7}, {-4, 0, 3}, {3, 7, 10}, {-2, 2, 5}}
                : std::vector<std::vector<int>>{{0, 4, 7}, {5, 9, 12}, {7, 11, 14}, {0, 4, 7}};
    double beatTime = r.intro, firstBeat = r.intro;
    int64_t beat = 0;
    std::uniform_real_distribution<double> wander(0, 2 * M_PI);
    const double wanderPhase = wander(random);
    while (beatTime < seconds) {
        double bpm = r.bpm;
        if (r.endBpm > 0 && beatTime > seconds / 2) bpm = r.endBpm;
        if (r.drift > 0) bpm *= 1.0 + r.drift * std::sin(2 * M_PI * beatTime / 23.0 + wanderPhase);
        const double beatLength = 60.0 / bpm;
        const int* steps = pattern(r.style);
        const int bar = static_cast<int>(beat / 4);
        for (int q = 0; q < 4; ++q) {
            const int step = static_cast<int>(beat % 4) * 4 + q;
            double at = beatTime + q * beatLength / 4;
            if (q == 2) at += r.swing * beatLength / 2; // the off-beat eighth, late by the swing
            if (r.drift > 0) at += jitter(random);
            if (at < 0) continue;
            const auto frame = static_cast<size_t>(at * rate);
            const int drums = steps[step];
            if (drums & 1) mix.add(frame, kickSound, 0.9f, 0.0f);
            if (drums & 2) mix.add(frame, snare, 0.5f, 0.1f);
            if (drums & 4) mix.add(frame, hat, 0.18f, -0.3f);
            // The bass on the beat's eighths, the chord on the bar's first beat.
            if (q == 0 || q == 2) {
                const std::vector<int>& chord = chords[static_cast<size_t>(bar % 4)];
                const int bassNote = root - 12 + chord[(step / 2) % 2 == 0 ? 0 : 2];
                mix.add(frame, tone({bassNote}, beatLength / 2 * 0.9, 0.005, 6), 0.35f, 0.0f);
            }
            if (step == 0) {
                std::vector<int> notes;
                for (int n : chords[static_cast<size_t>(bar % 4)]) notes.push_back(root + 12 + n);
                mix.add(frame, tone(notes, beatLength * 4 * 0.95, 0.08, 0.4), 0.22f, 0.0f);
            }
        }
        beatTime += beatLength;
        ++beat;
    }
    float peak = 0;
    for (size_t i = 0; i < frames; ++i) peak = std::max({peak, std::fabs(mix.left[i]), std::fabs(mix.right[i])});
    const float scale = peak > 0 ? 0.7f / peak : 1.0f;
    for (size_t i = 0; i < frames; ++i) mix.left[i] *= scale, mix.right[i] *= scale;
    WavWriter out(folder + "/" + r.name + ".wav", rate, true);
    out.write(mix.left.data(), mix.right.data(), static_cast<int32_t>(frames));
    out.finish();
    const bool constant = r.endBpm == 0 && r.drift == 0;
    std::fprintf(truth, "%s.wav,%.3f,%.4f,%s,%s%s,%s\n", r.name.c_str(), r.bpm, firstBeat,
                 camelot(r.tonic, r.minor).c_str(), noteNames[r.tonic], r.minor ? "m" : "",
                 constant ? "constant" : r.endBpm > 0 ? "change" : "drift");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tunedeck-beat-corpus FOLDER [SECONDS]\n");
        return 2;
    }
    const std::string folder = argv[1];
    const double seconds = argc > 2 ? std::atof(argv[2]) : 60.0;
    FILE* truth = std::fopen((folder + "/truth.csv").c_str(), "w");
    if (!truth) return 1;
    std::fprintf(truth, "file,bpm,first_beat_s,camelot,key,tempo\n");
    const std::vector<Recipe> recipes = {
        {"house-124", Style::House, 124, 9, true},
        {"house-128", Style::House, 128, 5, false},
        {"house-122.5", Style::House, 122.5, 2, true, 3.2},
        {"techno-133", Style::House, 133, 7, true},
        {"techno-140", Style::House, 140, 0, true, 0.5},
        {"breakbeat-127", Style::Breakbeat, 127, 4, true},
        {"breakbeat-95.5", Style::Breakbeat, 95.5, 11, false},
        {"hiphop-88-swing", Style::HipHop, 88, 1, true, 0, 0.33},
        {"hiphop-92", Style::HipHop, 92, 10, false},
        {"hiphop-72-swing", Style::HipHop, 72, 6, true, 1.7, 0.25},
        {"dnb-174", Style::DrumAndBass, 174, 3, true},
        {"dnb-170.5", Style::DrumAndBass, 170.5, 8, false, 0.8},
        {"rock-112", Style::Rock, 112, 4, false},
        {"rock-146.3", Style::Rock, 146.3, 9, false},
        {"ballad-76", Style::Ballad, 76, 0, false, 2.5},
        {"ballad-81.7", Style::Ballad, 81.7, 3, true},
        {"hardcore-180", Style::House, 180, 5, true},
        {"disco-118.2", Style::Rock, 118.2, 2, false},
        {"pop-100", Style::Rock, 100, 7, false, 6.0},
        {"reggaeton-96", Style::Breakbeat, 96, 6, true},
        {"change-120-126", Style::House, 120, 11, true, 0, 0, 126},
        {"live-drift-104", Style::Rock, 104, 1, false, 0, 0, 0, 0.012},
        {"live-drift-131", Style::Breakbeat, 131, 10, true, 0.6, 0.1, 0, 0.008},
    };
    for (const Recipe& r : recipes) write(folder, r, seconds, truth);
    std::fclose(truth);
    std::printf("wrote %zu tracks and truth.csv to %s\n", recipes.size(), folder.c_str());
    return 0;
}
