#include "analysis/KeyAnalyser.h"

#include "analysis/BeatAnalyser.h"

#include <dsp/keydetection/GetKeyMode.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {
const char* const majorNames[12] = {"C", "Db", "D", "Eb", "E", "F", "F#", "G", "Ab", "A", "Bb", "B"};
// Minor keys as they are usually written: C#, F# and G# minor take sharps.
const char* const minorNames[12] = {"C", "C#", "D", "Eb", "E", "F", "F#", "G", "G#", "A", "Bb", "B"};
} // namespace

std::string MusicalKey::camelot() const {
    if (!found()) return {};
    // Major keys are "B" on the wheel, minor keys "A" beside their relative major.
    static const int majorNumber[12] = {8, 3, 10, 5, 12, 7, 2, 9, 4, 11, 6, 1};
    const int number = minor ? majorNumber[(tonic + 3) % 12] : majorNumber[tonic];
    return std::to_string(number) + (minor ? "A" : "B");
}

std::string MusicalKey::name() const {
    if (!found()) return {};
    return std::string(minor ? minorNames[tonic] : majorNames[tonic]) + (minor ? " minor" : " major");
}

struct KeyAnalyser::Estimator {
    explicit Estimator(int32_t rate)
        : keys(rate, 440.0f, 10.0, 10.0), block(keys.getBlockSize(), 0.0), hop(keys.getHopSize()) {}
    GetKeyMode keys;
    std::vector<double> block; // the newest block of sound, oldest sample first
    size_t hop;                // samples between estimates
    uint64_t heard = 0, most = 0;
    size_t fresh = 0;          // samples since the last estimate
    std::array<double, 12> chroma{}; // summed over the track, C first
};

KeyAnalyser::KeyAnalyser(int32_t sampleRate) : estimator_(std::make_unique<Estimator>(std::max(sampleRate, 8000))) {
    estimator_->most = static_cast<uint64_t>(BeatAnalyser::longestSeconds) * static_cast<uint64_t>(std::max(sampleRate, 8000));
}

KeyAnalyser::~KeyAnalyser() = default;

void KeyAnalyser::add(const float* left, const float* right, int32_t frames) {
    if (!left || !right || frames <= 0) return;
    Estimator& e = *estimator_;
    // As long as the beats are analysed for.
    if (e.heard >= e.most) return;
    e.heard += static_cast<uint64_t>(frames);
    const size_t size = e.block.size();
    for (int32_t i = 0; i < frames;) {
        // Moves the block on by what is left of the hop, then estimates.
        const size_t take = std::min(e.hop - e.fresh, static_cast<size_t>(frames - i));
        std::copy(e.block.begin() + static_cast<std::ptrdiff_t>(take), e.block.end(), e.block.begin());
        for (size_t k = 0; k < take; ++k)
            e.block[size - take + k] = 0.5 * (static_cast<double>(left[i + k]) + right[i + k]);
        i += static_cast<int32_t>(take);
        e.fresh += take;
        if (e.fresh < e.hop) continue;
        e.fresh = 0;
        std::vector<double> copy = e.block; // the estimator may scale what it is given
        e.keys.process(copy.data());
        // Three bins a semitone, the first centred on C.
        const double* chroma = e.keys.getChroma();
        for (unsigned b = 0; chroma && b < e.keys.getChromaSize(); ++b) e.chroma[((b + 1) / 3) % 12] += chroma[b];
    }
}

// The key whose profile (Krumhansl and Kessler's: how much each degree
// sounds in music of that key) best matches the track's summed chroma.
MusicalKey KeyAnalyser::finish() {
    static const double majorProfile[12] = {6.35, 2.23, 3.48, 2.33, 4.38, 4.09, 2.52, 5.19, 2.39, 3.66, 2.29, 2.88};
    static const double minorProfile[12] = {6.33, 2.68, 3.52, 5.38, 2.60, 3.53, 2.54, 4.75, 3.98, 2.69, 3.34, 3.17};
    const auto& chroma = estimator_->chroma;
    MusicalKey key;
    double mean = 0;
    for (double v : chroma) mean += v / 12;
    if (!(mean > 0)) return key;
    double best = -2;
    for (int mode = 0; mode < 2; ++mode) {
        const double* profile = mode ? minorProfile : majorProfile;
        double profileMean = 0;
        for (int i = 0; i < 12; ++i) profileMean += profile[i] / 12;
        for (int tonic = 0; tonic < 12; ++tonic) {
            double sxy = 0, sxx = 0, syy = 0;
            for (int i = 0; i < 12; ++i) {
                const double x = chroma[static_cast<size_t>((tonic + i) % 12)] - mean, y = profile[i] - profileMean;
                sxy += x * y, sxx += x * x, syy += y * y;
            }
            const double r = sxx > 0 ? sxy / std::sqrt(sxx * syy) : -1;
            if (r > best) best = r, key.tonic = tonic, key.minor = mode == 1;
        }
    }
    return key;
}
