#include "analysis/KeyAnalyser.h"

#include <qm-dsp/dsp/keydetection/GetKeyMode.h>

#include <algorithm>
#include <array>

namespace {
const char* const tonicNames[12] = {"C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab", "A", "Bb", "B"};
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
    return std::string(tonicNames[tonic]) + (minor ? " minor" : " major");
}

struct KeyAnalyser::Estimator {
    explicit Estimator(int32_t rate)
        : keys(rate, 440.0f, 10.0, 10.0), block(keys.getBlockSize(), 0.0), hop(keys.getHopSize()) {}
    GetKeyMode keys;
    std::vector<double> block; // the newest block of sound, oldest sample first
    size_t hop;                // samples between estimates
    size_t fresh = 0;          // samples since the last estimate
    std::array<int64_t, 25> votes{};
};

KeyAnalyser::KeyAnalyser(int32_t sampleRate) : estimator_(std::make_unique<Estimator>(std::max(sampleRate, 8000))) {}

KeyAnalyser::~KeyAnalyser() = default;

void KeyAnalyser::add(const float* left, const float* right, int32_t frames) {
    if (!left || !right || frames <= 0) return;
    Estimator& e = *estimator_;
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
        const int key = e.keys.process(copy.data());
        if (key >= 1 && key <= 24) ++e.votes[static_cast<size_t>(key)];
    }
}

MusicalKey KeyAnalyser::finish() {
    const auto& votes = estimator_->votes;
    const auto best = std::max_element(votes.begin() + 1, votes.end());
    MusicalKey key;
    if (*best == 0) return key;
    const int index = static_cast<int>(best - votes.begin());
    // The estimator counts C major to B major as 1 to 12, and C minor to B
    // minor as 13 to 24.
    key.minor = index > 12;
    key.tonic = (index - 1) % 12;
    return key;
}
