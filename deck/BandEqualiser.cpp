#include "deck/BandEqualiser.h"

#include <algorithm>
#include <cmath>

namespace {
// The pole pairs of a sixth-order Butterworth filter, as 1/Q; each section
// twice makes the twelfth-order Linkwitz-Riley crossover, whose halves add up
// to an allpass (the order is twice an even number).
constexpr double poleK[3] = {1.0 / 0.51763809020504150, 1.0 / 0.70710678118654752, 1.0 / 1.9318516525781366};
constexpr double pi = 3.14159265358979323846;
// Settings move in steps of this many frames, and glide within each.
constexpr int32_t stepFrames = 16;
// How fast settings glide: crossovers in octaves a second, gains over the
// whole range in this many seconds, and the fade between the plain gain and
// the bands.
constexpr double octavesPerSecond = 80.0;
constexpr double gainSeconds = 0.008;
constexpr double fadeSeconds = 0.010;
// Added to what the filters take, so that their state never decays into
// denormal numbers (slow on every processor) in silence; far below hearing.
constexpr double antiDenormal = 1e-18;

double toward(double from, double to, double most) {
    return to > from ? std::min(to, from + most) : std::max(to, from - most);
}

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }
} // namespace

inline void BandEqualiser::Section::run(int ch, double x, double a1, double a2, double a3, double& low,
                                        double& band) {
    const double v3 = x - ic2[ch];
    const double v1 = a1 * ic1[ch] + a2 * v3;
    const double v2 = ic2[ch] + a2 * ic1[ch] + a3 * v3;
    ic1[ch] = 2 * v1 - ic1[ch];
    ic2[ch] = 2 * v2 - ic2[ch];
    low = v2;
    band = v1;
}

void BandEqualiser::design(Coefficients& c, double hz, double rate) {
    const double g = std::tan(pi * hz / rate);
    for (int p = 0; p < 3; ++p) {
        c.k[p] = poleK[p];
        c.a1[p] = 1 / (1 + g * (g + poleK[p]));
        c.a2[p] = g * c.a1[p];
        c.a3[p] = g * c.a2[p];
    }
}

void BandEqualiser::clearFilters() {
    for (auto& row : lows)
        for (Section& s : row) s = Section{};
    for (auto& row : highs)
        for (Section& s : row) s = Section{};
    for (Section& s : bassAllpass) s = Section{};
}

void BandEqualiser::reset() {
    clearFilters();
    started = false;
}

void BandEqualiser::process(float* const* out, int32_t frames, const Settings& settings, double hostRate) {
    if (frames <= 0 || !out || !out[0] || !out[1]) return;
    const double rate = hostRate > 1000 && std::isfinite(hostRate) ? hostRate : 44100.0;

    // Where the settings are going. The crossovers stay between 10 Hz and
    // just below the host's Nyquist frequency, where the filters are sound.
    const double lowest = std::log2(10.0), highest = std::log2(0.45 * rate);
    double targetOctaves[2];
    for (int x = 0; x < 2; ++x) {
        const double hz = finiteOr(settings.crossoverHz[x], 0);
        targetOctaves[x] = hz > 0 ? std::clamp(std::log2(hz), lowest, highest) : lowest;
    }
    // An edge at 0 Hz leaves the bass band empty, and a second edge at or
    // below the first leaves the middle one empty: an empty band plays with
    // the gain of the band above it. The filters stay where they are, so no
    // edge sweeps through the sound between bands of different gains (that
    // would thump); the two halves of a crossover add up to an allpass
    // wherever it stands.
    const bool bassEmpty = !(finiteOr(settings.crossoverHz[0], 0) > 0);
    const bool middleEmpty = targetOctaves[1] <= targetOctaves[0];
    if (bassEmpty && started) targetOctaves[0] = octaves[0];
    const double level = std::clamp(finiteOr(settings.level, 0), 0.0, 1.0);
    double targetGains[3];
    for (int b = 0; b < 3; ++b)
        targetGains[b] = settings.cuts[b] ? 0.0 : std::clamp(finiteOr(settings.gains[b], 0), 0.0, 1.0) * level;
    if (middleEmpty) targetGains[1] = targetGains[2];
    if (bassEmpty) targetGains[0] = targetGains[1];
    const bool plain = targetGains[0] == targetGains[1] && targetGains[1] == targetGains[2];

    bool filtersWarm = started && plainWeight < 1.0;
    if (!started || rate != rateSeen) {
        for (int x = 0; x < 2; ++x) octaves[x] = targetOctaves[x];
        for (int b = 0; b < 3; ++b) bandGain[b] = targetGains[b];
        plainWeight = plain ? 1.0 : 0.0;
        filtersWarm = false;
        started = true;
        rateSeen = rate;
    }

    for (int32_t at = 0; at < frames; at += stepFrames) {
        const int32_t n = std::min(stepFrames, frames - at);
        for (int x = 0; x < 2; ++x) octaves[x] = toward(octaves[x], targetOctaves[x], octavesPerSecond * n / rate);
        double nextGains[3];
        for (int b = 0; b < 3; ++b) nextGains[b] = toward(bandGain[b], targetGains[b], n / (gainSeconds * rate));
        const double nextWeight = toward(plainWeight, plain ? 1.0 : 0.0, n / (fadeSeconds * rate));
        float* left = out[0] + at;
        float* right = out[1] + at;

        const bool stillPlain = plainWeight == 1.0 && nextWeight == 1.0 && bandGain[0] == bandGain[1] &&
                                bandGain[1] == bandGain[2] && nextGains[0] == nextGains[1] &&
                                nextGains[1] == nextGains[2];
        if (stillPlain) {
            // A plain gain: the filters rest, and start afresh when needed.
            filtersWarm = false;
            if (bandGain[0] == nextGains[0]) {
                const auto gain = static_cast<float>(bandGain[0]);
                if (gain != 1.0f)
                    for (int32_t j = 0; j < n; ++j) left[j] *= gain, right[j] *= gain;
            } else {
                for (int32_t j = 0; j < n; ++j) {
                    const double gain = bandGain[0] + (nextGains[0] - bandGain[0]) * (j + 1) / n;
                    left[j] = static_cast<float>(left[j] * gain);
                    right[j] = static_cast<float>(right[j] * gain);
                }
            }
            for (int b = 0; b < 3; ++b) bandGain[b] = nextGains[b];
            continue;
        }
        if (!filtersWarm) {
            clearFilters();
            filtersWarm = true;
        }

        Coefficients c[2];
        for (int x = 0; x < 2; ++x) design(c[x], std::exp2(octaves[x]), rate);
        for (int32_t j = 0; j < n; ++j) {
            const double t = static_cast<double>(j + 1) / n;
            const double g0 = bandGain[0] + (nextGains[0] - bandGain[0]) * t;
            const double g1 = bandGain[1] + (nextGains[1] - bandGain[1]) * t;
            const double g2 = bandGain[2] + (nextGains[2] - bandGain[2]) * t;
            const double w = plainWeight + (nextWeight - plainWeight) * t;
            for (int ch = 0; ch < 2; ++ch) {
                float& sample = ch == 0 ? left[j] : right[j];
                const double x = sample + antiDenormal;
                double bass = x, rest = x, low, band;
                for (int s = 0; s < 6; ++s) {
                    const int p = s % 3;
                    lows[0][s].run(ch, bass, c[0].a1[p], c[0].a2[p], c[0].a3[p], low, band);
                    bass = low;
                    highs[0][s].run(ch, rest, c[0].a1[p], c[0].a2[p], c[0].a3[p], low, band);
                    rest = rest - c[0].k[p] * band - low;
                }
                double mid = rest, treble = rest;
                for (int s = 0; s < 6; ++s) {
                    const int p = s % 3;
                    lows[1][s].run(ch, mid, c[1].a1[p], c[1].a2[p], c[1].a3[p], low, band);
                    mid = low;
                    highs[1][s].run(ch, treble, c[1].a1[p], c[1].a2[p], c[1].a3[p], low, band);
                    treble = treble - c[1].k[p] * band - low;
                }
                for (int p = 0; p < 3; ++p) {
                    bassAllpass[p].run(ch, bass, c[1].a1[p], c[1].a2[p], c[1].a3[p], low, band);
                    bass = bass - 2 * c[1].k[p] * band;
                }
                const double bands = g0 * bass + g1 * mid + g2 * treble;
                const double plainGain = (g0 + g1 + g2) / 3;
                sample = static_cast<float>(w * plainGain * sample + (1 - w) * bands);
            }
        }
        for (int b = 0; b < 3; ++b) bandGain[b] = nextGains[b];
        plainWeight = nextWeight;
    }
}
