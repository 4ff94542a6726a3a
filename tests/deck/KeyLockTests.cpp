// Key lock, measured on the deck's output: a tone keeps its pitch at every
// speed, the Key control moves it by semitones, clicks keep the speed's
// intervals, and the position the deck reports is the one being heard.
#include <cmath>

#include "deck/KeyShifter.h"
#include "tests/support/PlayerFixture.h"
#include "tests/support/SignalMeasure.h"

namespace key_lock {

constexpr double hostRate = 48000.0;
constexpr int trackRate = 44100;

double cents(double hz, double reference) { return 1200.0 * std::log2(hz / reference); }

// The largest step from one output value to the next.
float largestStep(const std::vector<float>& x) {
    float most = 0.0f;
    for (size_t i = 1; i < x.size(); ++i) most = std::max(most, std::fabs(x[i] - x[i - 1]));
    return most;
}
// A 440 Hz tone at the track's level steps by at most this from value to value.
constexpr float toneStep = static_cast<float>(12000.0 / 32768.0 * 2.0 * M_PI * 440.0 / hostRate);

// The Pitch parameter's value for a speed change in percent.
float pitchValue(double percent) { return static_cast<float>((percent / 32.0 + 1.0) * 0.5); }

std::string toneTrack() {
    testdata::WavRecipe recipe;
    recipe.sampleRate = trackRate;
    recipe.frames = 8 * trackRate;
    recipe.sample = [](int frame, int) {
        return static_cast<int>(std::lround(12000.0 * std::sin(2.0 * M_PI * 440.0 * frame / trackRate)));
    };
    return testdata::writeWav("keylock-tone-440.wav", recipe);
}

// A click every half second (120 BPM), the first at 0.25 s.
constexpr int clickSpacing = trackRate / 2, firstClick = trackRate / 4;
std::string clickTrack() {
    testdata::WavRecipe recipe;
    recipe.channels = 1;
    recipe.sampleRate = trackRate;
    recipe.frames = 30 * trackRate;
    recipe.sample = [](int frame, int) {
        const int n = (frame - firstClick) % clickSpacing;
        if (frame < firstClick || n >= 80) return 0;
        return static_cast<int>(26000.0 * std::sin(2.0 * M_PI * 2000.0 * n / trackRate) * std::exp(-n / 12.0));
    };
    return testdata::writeWav("keylock-click-120.wav", recipe);
}

class KeyLock : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        if (!KeyShifter::available()) GTEST_SKIP() << "this build has no key lock";
        player->setSampleRate(static_cast<float>(hostRate));
    }
    // Plays path from its start at speed percent, key lock as given.
    void play(const std::string& path, double percent, float keyLock, float key = 0.5f) {
        // The last play stops and what key lock holds of it comes out.
        player->setPlaying(false);
        for (int block = 0; block < 100; ++block) render(512);
        setEntries({path});
        unityLevels();
        ASSERT_TRUE(player->openTrack());
        player->setParameter(Deck::KeyLock, keyLock);
        player->setParameter(Deck::Key, key);
        player->setParameter(Deck::Pitch, pitchValue(percent));
        player->setPosition(0.0);
        player->setPlaying(true);
        heard.clear();
        positions.clear();
    }
    // Renders seconds in blocks, keeping the output and where the deck says
    // it is at the end of each block.
    void hear(double seconds, int32_t block = 256) {
        const auto frames = static_cast<int64_t>(seconds * hostRate);
        for (int64_t done = 0; done < frames; done += block) {
            render(block);
            heard.insert(heard.end(), left.begin(), left.end());
            positions.push_back(player->getPosition());
        }
    }
    std::vector<float> heard;
    std::vector<int32_t> positions;
};

TEST_F(KeyLock, AToneKeepsItsPitchAtEverySpeedAndTheKeyMovesItBySemitones) {
    const std::string path = toneTrack();
    for (const double percent : {-32.0, -8.0, 8.0, 32.0}) {
        SCOPED_TRACE(percent);
        play(path, percent, 0.0f);
        hear(2.0);
        const double plain = measure::toneFrequency({heard.end() - 48000, heard.end()}, hostRate);
        EXPECT_NEAR(cents(plain, 440.0 * (1.0 + percent / 100.0)), 0.0, 1.0) << "without key lock the speed is the pitch";

        play(path, percent, 1.0f);
        hear(2.5);
        const double locked = measure::toneFrequency({heard.end() - 72000, heard.end()}, hostRate);
        EXPECT_NEAR(cents(locked, 440.0), 0.0, 1.0) << locked << " Hz";
        EXPECT_LT(largestStep(heard), 1.2f * toneStep) << "the sound starts without a step";
        // The faster engine, for machines the finer one is too much for, too,
        // second by second and at a steady level.
        play(path, percent, 0.5f);
        hear(3.0);
        for (int second = 1; second < 3; ++second) {
            const std::vector<float> part(heard.begin() + second * 48000, heard.begin() + (second + 1) * 48000);
            EXPECT_NEAR(cents(measure::toneFrequency(part, hostRate), 440.0), 0.0, 1.0) << "second " << second;
            for (size_t at = 0; at + 480 <= part.size(); at += 480) {
                double energy = 0.0;
                for (size_t i = at; i < at + 480; ++i) energy += part[i] * part[i];
                const double level = 10.0 * std::log10(energy / 480.0 / (toneStep * toneStep / 2.0) *
                                                       std::pow(2.0 * M_PI * 440.0 / hostRate, 2.0));
                EXPECT_NEAR(level, 0.0, 1.0) << "10 ms at " << second + at / hostRate << " s";
            }
        }
    }
    // Key lock switched on while the deck plays: the position shown stays
    // where the sound was while the pipeline fills.
    play(path, 8.0, 0.0f);
    hear(1.0);
    const int32_t before = player->getPosition();
    player->setParameter(Deck::KeyLock, 1.0f);
    hear(0.1);
    EXPECT_NEAR(player->getPosition(), before, 0.02 * trackRate);
    // Switching engines while the tone plays fades one pipeline out and the
    // next in: no step on the way.
    play(path, 32.0, 0.5f);
    hear(1.0);
    player->setParameter(Deck::KeyLock, 1.0f);
    hear(1.0);
    EXPECT_LT(largestStep(heard), 1.2f * toneStep);
    EXPECT_NEAR(cents(measure::toneFrequency({heard.end() - 24000, heard.end()}, hostRate), 440.0), 0.0, 1.0);
    // Key: +3 semitones at +8 %, and -6 with key lock off but for the key.
    play(path, 8.0, 1.0f, 0.75f);
    hear(2.5);
    EXPECT_NEAR(cents(measure::toneFrequency({heard.end() - 72000, heard.end()}, hostRate), 440.0), 300.0, 1.0);
    play(path, 0.0, 0.0f, 0.0f);
    hear(2.5);
    EXPECT_NEAR(cents(measure::toneFrequency({heard.end() - 72000, heard.end()}, hostRate), 440.0), -600.0, 1.0);
    char text[Deck::parameterTextRoom] = {};
    player->getParameterDisplay(Deck::Key, text);
    EXPECT_STREQ(text, "-6");
    EXPECT_TRUE(player->setValueText(Deck::Key, "+2"));
    EXPECT_FALSE(player->setValueText(Deck::Key, "+7"));
    player->getParameterDisplay(Deck::Key, text);
    EXPECT_STREQ(text, "+2");
}

TEST_F(KeyLock, ClicksKeepTheSpeedsIntervalsAndThePositionSaysWhatIsHeard) {
    const std::string path = clickTrack();
    // Rubber Band places a click within a hop of where it was: a few tenths
    // of a millisecond near the track's own pitch, up to 0.8 ms either way
    // a quarter away from it.
    for (const auto& [percent, jitterMs] : {std::pair(-8.0, 0.6), std::pair(8.0, 0.6), std::pair(24.0, 0.9)}) {
        SCOPED_TRACE(percent);
        const double speed = 1.0 + percent / 100.0;
        const int32_t block = 64;
        play(path, percent, 1.0f);
        hear(12.0, block);
        const std::vector<long> clicks = measure::clickFrames(heard, 0.3f);
        double burstPeak = 0.0; // frames into the burst where it is loudest
        for (int n = 0, best = 0; n < 80; ++n)
            if (std::fabs(std::sin(2.0 * M_PI * 2000.0 * n / trackRate) * std::exp(-n / 12.0)) >
                std::fabs(std::sin(2.0 * M_PI * 2000.0 * best / trackRate) * std::exp(-best / 12.0)))
                best = n, burstPeak = n;
        ASSERT_GT(clicks.size(), 20u);
        // Click k is heard where the speed puts it, plus the pipeline's
        // fixed latency: against the first, none drifts further than the
        // stretcher's own jitter.
        const double interval = clickSpacing / speed * hostRate / trackRate;
        for (size_t i = 2; i < clicks.size(); ++i)
            EXPECT_NEAR(static_cast<double>(clicks[i] - clicks[1]), (i - 1) * interval, 2.0 * jitterMs * 0.001 * hostRate) << i;

        // Where the deck says it is when a click sounds: that click, within
        // 0.2 ms on the average and the stretcher's jitter each time.
        std::vector<double> errors;
        for (size_t i = 1; i < clicks.size(); ++i) {
            const auto at = static_cast<size_t>(clicks[i] / block);
            const double reported = positions[at] - (block - clicks[i] % block) * speed * trackRate / hostRate;
            const double k = std::round((reported - firstClick) / clickSpacing);
            const double clickPeak = firstClick + k * clickSpacing + burstPeak;
            errors.push_back((reported - clickPeak) / trackRate * 1000.0);
            EXPECT_NEAR(errors.back(), 0.0, jitterMs + 0.3) << "click " << i;
        }
        double mean = 0.0;
        for (const double e : errors) mean += e / static_cast<double>(errors.size());
        EXPECT_NEAR(mean, 0.0, 0.2);
        EXPECT_GT(player->getKeyLockLatency(), 0);
    }
}

} // namespace key_lock
