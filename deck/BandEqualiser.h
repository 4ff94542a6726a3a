#pragma once
// The deck's three-band equaliser, kills and volume, run on every rendered
// block at the host's rate for every kind of track, so that what a decoder
// made ahead of time is never heard with old settings, and jumps, loops and
// reverse play never disturb it.
//
// Two crossovers of 72 dB an octave (twelfth-order Linkwitz-Riley: two
// sixth-order Butterworth filters in a row) split the sound; a kill takes
// its band down by more than 60 dB in the band's middle. The bass band goes
// through the allpass that the second crossover's halves add up to, so that
// the three bands sum back flat. Every filter is a state-variable filter in
// the topology-preserving form, whose state stays bounded however fast its
// frequency moves, and every setting glides to its new value (gains within
// a few milliseconds, crossovers by octaves in tens of milliseconds): host
// automation that jumps cannot make the filters ring or the level click.
// Equal gains with no kill are a plain gain, bit for bit; the filters fade in
// and out of that state instead of switching.
//
// Threads: the audio thread only; settings come in with each block.
#include <cstdint>

class BandEqualiser {
public:
    struct Settings {
        double crossoverHz[2] = {0, 0}; // bass/mid and mid/treble edges; 0: no band below
        float gains[3] = {0.5f, 0.5f, 0.5f};
        bool cuts[3] = {false, false, false};
        float level = 1.0f; // the volume, as a factor on every band
    };

    // Filters frames of both channels in place.
    void process(float* const* out, int32_t frames, const Settings& settings, double hostRate);
    // Forgets the sound so far (after silence): the next block starts afresh.
    void reset();

private:
    // One state-variable filter section for both channels.
    struct Section {
        double ic1[2] = {0, 0}, ic2[2] = {0, 0};
        // Runs x through the section with coefficients a1..a3 (from g and k);
        // returns the low, band and high outputs through the pointers given.
        inline void run(int ch, double x, double a1, double a2, double a3, double& low, double& band);
    };
    struct Coefficients {
        double a1[3], a2[3], a3[3], k[3]; // one per Butterworth pole pair
    };
    static void design(Coefficients& c, double hz, double rate);
    void clearFilters();

    // Per crossover: six lowpass and six highpass sections (three pole pairs,
    // each twice); the bass band's allpass: three sections.
    Section lows[2][6], highs[2][6], bassAllpass[3];
    // Where the settings stand on their way to the targets.
    double octaves[2] = {0, 0}; // log2 of the crossover frequencies
    double bandGain[3] = {0, 0, 0};
    double plainWeight = 1.0; // 1: a plain gain; 0: the bands
    bool started = false;
    double rateSeen = 0;
};
