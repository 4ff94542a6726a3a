#include "plugin/BandEqualiser.h"

#include <algorithm>
#include <cmath>

namespace {
enum Kind { LowPass, HighPass, AllPass };
// The two sections of a fourth-order Butterworth filter; squared (each
// section twice) they make the eighth-order Linkwitz-Riley crossover.
constexpr double butterworthQ[2] = {0.54119610014619698, 1.3065629648763766};
constexpr double pi = 3.14159265358979323846;
} // namespace

bool BandEqualiser::Settings::operator==(const Settings& other) const {
    for (int i = 0; i < 2; ++i)
        if (crossoverHz[i] != other.crossoverHz[i]) return false;
    for (int i = 0; i < 3; ++i)
        if (gains[i] != other.gains[i] || cuts[i] != other.cuts[i]) return false;
    return true;
}

void BandEqualiser::Biquad::design(int kind, double hz, double q, double rate) {
    const double w = 2 * pi * hz / rate;
    const double c = std::cos(w), alpha = std::sin(w) / (2 * q);
    const double a0 = 1 + alpha;
    double n0, n1, n2;
    switch (kind) {
    case LowPass: n0 = (1 - c) / 2, n1 = 1 - c, n2 = (1 - c) / 2; break;
    case HighPass: n0 = (1 + c) / 2, n1 = -(1 + c), n2 = (1 + c) / 2; break;
    default: n0 = 1 - alpha, n1 = -2 * c, n2 = 1 + alpha; break;
    }
    b0 = n0 / a0, b1 = n1 / a0, b2 = n2 / a0;
    a1 = -2 * c / a0, a2 = (1 - alpha) / a0;
}

void BandEqualiser::design(const Settings& settings, double hostRate) {
    for (int x = 0; x < 2; ++x) {
        // Edges at 0 Hz (an empty band) or past the host's band are kept
        // where a filter can still be made; the band then passes or stops whole.
        const double hz = std::clamp(settings.crossoverHz[x], 5.0, 0.45 * hostRate);
        for (int s = 0; s < 4; ++s) {
            lows[x][s].design(LowPass, hz, butterworthQ[s % 2], hostRate);
            highs[x][s].design(HighPass, hz, butterworthQ[s % 2], hostRate);
        }
        if (x == 1)
            for (int s = 0; s < 2; ++s) bassAllpass[s].design(AllPass, hz, butterworthQ[s], hostRate);
    }
    designed = settings;
    designedRate = hostRate;
}

void BandEqualiser::process(float* const* out, int32_t frames, const Settings& settings, double hostRate) {
    const bool equal = settings.gains[0] == settings.gains[1] && settings.gains[1] == settings.gains[2] &&
                       !settings.cuts[0] && !settings.cuts[1] && !settings.cuts[2];
    if (equal) {
        // A plain gain; the filters start afresh when they are next needed.
        filtering = false;
        const float gain = settings.gains[0];
        if (gain != 1.0f)
            for (int ch = 0; ch < 2; ++ch)
                for (int32_t j = 0; j < frames; ++j) out[ch][j] *= gain;
        return;
    }
    if (!filtering || !(settings == designed) || hostRate != designedRate) {
        const bool fresh = !filtering;
        // Changed settings keep the filters' memory (a slider moves smoothly);
        // filters that were idle start from silence.
        Biquad keptLows[2][4], keptHighs[2][4], keptAllpass[2];
        std::copy(&lows[0][0], &lows[0][0] + 8, &keptLows[0][0]);
        std::copy(&highs[0][0], &highs[0][0] + 8, &keptHighs[0][0]);
        std::copy(bassAllpass, bassAllpass + 2, keptAllpass);
        design(settings, hostRate);
        auto keep = [fresh](Biquad& to, const Biquad& from) {
            for (int ch = 0; ch < 2; ++ch) {
                to.z1[ch] = fresh ? 0 : from.z1[ch];
                to.z2[ch] = fresh ? 0 : from.z2[ch];
            }
        };
        for (int x = 0; x < 2; ++x)
            for (int s = 0; s < 4; ++s) keep(lows[x][s], keptLows[x][s]), keep(highs[x][s], keptHighs[x][s]);
        for (int s = 0; s < 2; ++s) keep(bassAllpass[s], keptAllpass[s]);
        filtering = true;
    }
    const double g[3] = {settings.cuts[0] ? 0.0 : settings.gains[0], settings.cuts[1] ? 0.0 : settings.gains[1],
                         settings.cuts[2] ? 0.0 : settings.gains[2]};
    for (int ch = 0; ch < 2; ++ch) {
        float* samples = out[ch];
        for (int32_t j = 0; j < frames; ++j) {
            double bass = samples[j], rest = samples[j];
            for (int s = 0; s < 4; ++s) bass = lows[0][s].run(ch, bass), rest = highs[0][s].run(ch, rest);
            double mid = rest, treble = rest;
            for (int s = 0; s < 4; ++s) mid = lows[1][s].run(ch, mid), treble = highs[1][s].run(ch, treble);
            for (int s = 0; s < 2; ++s) bass = bassAllpass[s].run(ch, bass);
            samples[j] = static_cast<float>(g[0] * bass + g[1] * mid + g[2] * treble);
        }
    }
}
