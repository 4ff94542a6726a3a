#pragma once
// The three-band equaliser for tracks without MPEG subbands (WAV), run on
// each rendered block at the host's rate, so that jumps, loops and reverse
// play never disturb its state. Two eighth-order Linkwitz-Riley crossovers
// split the sound (48 dB an octave, so a kill takes a band away); the bass
// band goes through the allpass that the second crossover's two halves add
// up to, so the three bands sum back flat. Equal gains and no kill are a
// plain gain, bit for bit.
//
// Threads: the audio thread only; settings come in with each block.
#include <cstdint>

class BandEqualiser {
public:
    struct Settings {
        double crossoverHz[2] = {0, 0}; // bass/mid and mid/treble edges; 0 or less: no band below
        float gains[3] = {0.5f, 0.5f, 0.5f};
        bool cuts[3] = {false, false, false};
        bool operator==(const Settings& other) const;
    };

    // Filters frames of both channels in place.
    void process(float* const* out, int32_t frames, const Settings& settings, double hostRate);

private:
    struct Biquad {
        double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
        double z1[2] = {0, 0}, z2[2] = {0, 0};
        void design(int kind, double hz, double q, double rate);
        double run(int channel, double x) {
            const double y = b0 * x + z1[channel];
            z1[channel] = b1 * x - a1 * y + z2[channel];
            z2[channel] = b2 * x - a2 * y;
            return y;
        }
    };
    void design(const Settings& settings, double hostRate);

    // Per crossover: four sections of low pass, four of high pass.
    Biquad lows[2][4], highs[2][4];
    Biquad bassAllpass[2]; // the second crossover's allpass, for the bass band
    Settings designed;
    double designedRate = 0;
    bool filtering = false;
};
