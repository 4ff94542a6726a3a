#pragma once
// Finds a track's beat grid from its sound: an onset strength for every
// step of about 11.6 ms (complex-domain spectral difference), a beat
// tracker over the whole track (the Queen Mary library's, whose tempo
// model and dynamic programme place each beat), then our own fit: one
// straight line through the beats wherever the tempo holds, with beats off
// the line left out, snapped to a whole or half BPM where the producer's
// sequencer plainly used one, and counted in the octave a DJ counts. The
// bar begins on the beat where the sound changes most from the beat before
// (the Queen Mary library's spectral difference between beats).
// Where the tempo moves (a live drummer, a change), the beats themselves
// are the grid.
//
// Threads: one thread feeds an analyser and finishes it (a loader).
#include <cstdint>
#include <memory>
#include <vector>

struct BeatGrid {
    double bpm = 0.0;               // 0 when no beat was found
    double firstBeatSeconds = 0.0;  // the first beat of the first bar, from the track's start
    bool constant = true;           // one tempo throughout; else beats holds every beat
    std::vector<double> beats;      // seconds, where the tempo moves
    bool found() const { return bpm > 0.0; }
};

class BeatAnalyser {
public:
    explicit BeatAnalyser(int32_t sampleRate);
    ~BeatAnalyser();
    BeatAnalyser(const BeatAnalyser&) = delete;
    BeatAnalyser& operator=(const BeatAnalyser&) = delete;

    // A track's first twelve minutes are analysed: every DJ track, and
    // enough of a long mix to find its tempo, in bounded memory and time.
    static constexpr int32_t longestSeconds = 720;
    // Bars are found in the first two minutes: their phase holds along a
    // track, and the sound kept for it (at a sixteenth of the rate) stays small.
    static constexpr int32_t barSeconds = 120;

    // The next frames of the track, in order.
    void add(const float* left, const float* right, int32_t frames);

    // The grid of everything added.
    BeatGrid finish();
    // What the beat tracker alone gives, with a straight line through its
    // beats and nothing of ours: the yardstick the fit is measured against.
    BeatGrid finishPlain();

private:
    // The tracker's beats in seconds, each taken stepsEarly steps before
    // the step of its onset value.
    std::vector<double> trackedBeats(double stepsEarly);
    double onsetAt(double seconds) const;
    // The time of the onset peak nearest a beat, between the steps.
    double onsetPeak(double seconds) const;
    // The beats' attacks over the first minutes: how many beats could be
    // heard there, at how many an attack stands out of the sound before it,
    // and the seconds from the beats to where their attacks start (the
    // median; 0 when too few stand out).
    struct Attacks {
        size_t heard = 0, attacks = 0;
        double offset = 0.0;
    };
    Attacks attacksAt(const std::vector<double>& beats) const;
    // The rise of the snare band's energy nearest a time.
    double snareAt(double seconds) const;
    // The mean onset strength at origin + n * period between two times.
    double gridStrength(double origin, double period, double from, double to) const;
    // Which of the four beats from first begins a bar.
    int barPhase(double first, double period) const;

    struct Onsets;
    std::unique_ptr<Onsets> onsets_;
    int32_t sampleRate_;
    int32_t step_;
};
