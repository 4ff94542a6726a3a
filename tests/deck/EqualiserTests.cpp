// The equaliser as a listener meets it, on every kind of track: kills that
// take their band away, bands that add up flat, and automation that can
// never make the deck louder than its band gains allow.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>

#include "tests/support/PlayerFixture.h"
#include "tests/support/SignalMeasure.h"

namespace {

const char* const kinds[] = {"wav", "flac", "mp3"};

class Equaliser : public PlayerFixture {
protected:
    // The WAV made by recipe, or the same sound encoded as kind by Debian's
    // own encoders.
    static std::string track(const std::string& name, const testdata::WavRecipe& recipe, const std::string& kind) {
        std::string path = testdata::encodedTrack(name, recipe, kind);
        EXPECT_FALSE(path.empty()) << name << " as " << kind;
        return path;
    }
    static std::string tone(double hz, const std::string& kind, int frames = 44100) {
        testdata::WavRecipe recipe;
        recipe.frames = frames;
        recipe.sample = [hz](int frame, int) { return static_cast<int>(std::lround(16384 * std::sin(2 * M_PI * hz * frame / 44100))); };
        return track("tone-" + std::to_string(static_cast<int>(hz)) + "-" + std::to_string(frames), recipe, kind);
    }
    // Pink noise (Kellet's filter on white noise), the same in both channels.
    static std::string pinkNoise(int frames, const std::string& kind) {
        std::vector<int> values(frames);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> white(-1.0, 1.0);
        double b[7] = {};
        for (int& v : values) {
            const double w = white(random);
            b[0] = 0.99886 * b[0] + w * 0.0555179, b[1] = 0.99332 * b[1] + w * 0.0750759;
            b[2] = 0.96900 * b[2] + w * 0.1538520, b[3] = 0.86650 * b[3] + w * 0.3104856;
            b[4] = 0.55000 * b[4] + w * 0.5329522, b[5] = -0.7616 * b[5] - w * 0.0168980;
            const double pink = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362;
            b[6] = w * 0.115926;
            v = static_cast<int>(std::lround(pink * 1500));
        }
        testdata::WavRecipe recipe;
        recipe.frames = frames;
        recipe.sample = [values](int frame, int) { return values[frame]; };
        return track("pink", recipe, kind);
    }
    void play(const std::string& path) {
        setEntries({path});
        player->openTrack();
        player->setPlaying(true);
    }
    std::vector<float> renderFor(int64_t total, int32_t block) {
        std::vector<float> all;
        all.reserve(2 * total);
        while (static_cast<int64_t>(all.size()) < 2 * total) {
            const auto n = static_cast<int32_t>(std::min<int64_t>(block, total - all.size() / 2));
            render(n);
            all.insert(all.end(), left.begin(), left.end());
            all.insert(all.end(), right.begin(), right.end());
        }
        return all;
    }
    // The level of the left channel after the filters have settled, in dB.
    double levelDb(const std::string& path, int cut) {
        play(path);
        for (int band = 0; band < 3; ++band)
            player->setParameter(TrackPlayer::CutBass + band, band == cut ? 1.0f : 0.0f);
        render(10000);
        render(20000);
        double sum = 0;
        for (float x : left) sum += static_cast<double>(x) * x;
        return 10 * std::log10(sum / static_cast<double>(left.size()) + 1e-30);
    }
    static float peak(const std::vector<float>& x) {
        float most = 0;
        for (float v : x) most = std::max(most, std::fabs(v));
        return most;
    }
};

TEST_F(Equaliser, EachKillTakesItsBandDownSixtyDecibelsAndLeavesTheOthersOnEveryKindOfTrack) {
    // The middles of the bands at the start crossovers (1,378 and 6,202 Hz),
    // the bass band taken from 20 Hz and the top band to 22,050 Hz.
    const double middles[3] = {std::sqrt(20.0 * 1378), std::sqrt(1378.0 * 6202), std::sqrt(6202.0 * 22050)};
    for (const char* kind : kinds)
        for (int band = 0; band < 3; ++band) {
            const std::string path = tone(middles[band], kind);
            const double open = levelDb(path, -1);
            for (int cut = 0; cut < 3; ++cut) {
                const double level = levelDb(path, cut);
                if (cut == band)
                    EXPECT_LT(level, open - 60) << kind << ": kill " << cut << " on " << middles[band] << " Hz";
                else
                    EXPECT_NEAR(level, open, 0.5) << kind << ": kill " << cut << " on " << middles[band] << " Hz";
            }
        }
}

TEST_F(Equaliser, TheBandsAddUpFlatAndEachGainActsOnItsBand) {
    auto levelWith = [this](double hz, float bass, float middle, float top) {
        player->setParameter(TrackPlayer::EqBass, bass);
        player->setParameter(TrackPlayer::EqTreble, middle);
        player->setParameter(TrackPlayer::EqTweet, top);
        return levelDb(tone(hz, "wav"), -1);
    };
    const double reference = levelWith(1000, 0.5f, 0.5f, 0.5f);
    EXPECT_NEAR(reference, 10 * std::log10(0.25 * 0.25 / 2), 0.01) << "the start values are half gain";
    for (double hz : {40.0, 150.0, 1000.0, 1378.0, 5000.0, 6202.0, 10000.0, 18000.0})
        EXPECT_NEAR(levelWith(hz, 0.5f, 0.5f, 0.50001f), reference, 0.1) << hz << " Hz through the working filters";
    EXPECT_NEAR(levelWith(150, 1.0f, 0.5f, 0.5f), reference + 6.02, 0.2) << "the bass level doubles the bass";
    EXPECT_NEAR(levelWith(2923, 1.0f, 0.5f, 0.5f), reference, 0.5) << "and leaves the middle";
    EXPECT_NEAR(levelWith(11694, 0.5f, 0.5f, 0.25f), reference - 6.02, 0.2) << "the top level halves the top";
    player->setParameter(TrackPlayer::Vol, 0.5f);
    EXPECT_NEAR(levelWith(2923, 0.5f, 0.5f, 0.5f), reference - 20, 0.1) << "volume 0.5 is -20 dB";
}

TEST_F(Equaliser, EmptyingTheBassBandNeitherThumpsNorRaisesTheLevel) {
    // A 100 Hz tone of peak 0.5 in a bass band at 0.4; the first crossover
    // goes to its bottom, which leaves no bass band: the tone then plays with
    // the middle band's 0.5, and nothing on the way is louder than that.
    play(tone(100, "wav"));
    player->setParameter(TrackPlayer::EqBass, 0.4f);
    player->setParameter(TrackPlayer::EqCut1, 0.3f);
    renderFor(22050, 512);
    player->setParameter(TrackPlayer::EqCut1, 0.0f);
    const float most = peak(renderFor(44100, 512));
    EXPECT_LE(most, 0.5f * 0.5f * 1.02f) << 20 * std::log10(most / 0.25f) << " dB over the settled level";
}

TEST_F(Equaliser, RandomAutomationOfEveryBandControlNeverRaisesThePeakPastTheBandGainsOnEveryKindOfTrack) {
#ifdef TUNEDECK_SANITIZED
    constexpr int seconds = 5; // the sanitizers' build runs ten times slower
#else
    constexpr int seconds = 20;
#endif
    const int32_t equaliserParameters[] = {TrackPlayer::EqCut1,   TrackPlayer::EqCut2,    TrackPlayer::EqBass,
                                           TrackPlayer::EqTreble, TrackPlayer::EqTweet,   TrackPlayer::CutBass,
                                           TrackPlayer::CutTreble, TrackPlayer::CutTweet};
    for (const char* kind : kinds) {
        const std::string noise = pinkNoise(44100 * (seconds + 1), kind);
        play(noise);
        unityLevels();
        const float own = peak(renderFor(44100 * seconds, 4096));
        ASSERT_GT(own, 0.05f) << kind;
        for (int32_t block : {64, 4096}) {
            play(noise);
            player->setParameter(TrackPlayer::EqBass, 0.5f);
            player->setParameter(TrackPlayer::EqTreble, 0.5f);
            player->setParameter(TrackPlayer::EqTweet, 0.5f);
            std::mt19937 random(block);
            // A control moves every 0 to 46 ms, to anywhere in its range, as
            // a lane drawn by hand or a controller's knob sends it.
            std::uniform_int_distribution<int> gap(0, 2048), which(0, 7);
            std::uniform_real_distribution<float> value(0.0f, 1.0f), gain(0.0f, 0.8f);
            float largestGain = 0.5f, worst = 0.0f;
            int64_t nextChange = 0;
            for (int64_t at = 0; at < 44100 * seconds; at += block) {
                while (nextChange <= at) {
                    const int32_t parameter = equaliserParameters[which(random)];
                    const bool isGain = parameter >= TrackPlayer::EqBass && parameter <= TrackPlayer::EqTweet;
                    const float v = isGain ? gain(random) : value(random);
                    if (isGain) largestGain = std::max(largestGain, v);
                    player->setParameter(parameter, v);
                    nextChange += gap(random);
                }
                render(block);
                for (const auto* channel : {&left, &right})
                    for (float x : *channel) {
                        ASSERT_TRUE(std::isfinite(x)) << kind << " at frame " << at;
                        worst = std::max(worst, std::fabs(x));
                    }
            }
            EXPECT_LE(worst, own * largestGain * 2.0f)
                << kind << ", blocks of " << block << ": " << 20 * std::log10(worst / own) << " dB over the track's peak";
        }
    }
}

// Steps of the controls a host's stepped lane or a typed value makes: the
// level follows within 20 ms and the change adds nothing a listener hears
// as a click (no treble component louder than -70 dB against the tone).
TEST_F(Equaliser, ControlStepsFollowWithin20MsWithoutAClickOnEveryKindOfTrack) {
    const struct {
        int32_t parameter;
        float value;
        const char* what;
    } steps[] = {{TrackPlayer::Vol, 0.5f, "Vol 1 to 0.5"},         {TrackPlayer::Vol, 1.0f, "Vol back to 1"},
                 {TrackPlayer::EqBass, 0.2f, "bass gain 0.5 to 0.2"}, {TrackPlayer::CutBass, 1.0f, "bass kill on"},
                 {TrackPlayer::CutBass, 0.0f, "bass kill off"}};
    const int32_t spacing = 8192; // frames between the steps
    for (const char* kind : kinds)
        for (int32_t block : {64, 4096}) {
            play(tone(1000, kind, 44100 * 2));
            renderFor(8192, block); // past the MP3's start
            std::vector<float> out;
            std::vector<int64_t> changedAt;
            for (const auto& step : steps) {
                changedAt.push_back(static_cast<int64_t>(out.size()));
                player->setParameter(step.parameter, step.value);
                for (int64_t done = 0; done < spacing; done += block) {
                    render(block);
                    out.insert(out.end(), left.begin(), left.end());
                }
            }
            const auto rms = [&out](int64_t from, int64_t count) {
                double sum = 0;
                for (int64_t i = from; i < from + count; ++i) sum += static_cast<double>(out[i]) * out[i];
                return 10 * std::log10(sum / static_cast<double>(count) + 1e-20);
            };
            for (size_t i = 0; i < changedAt.size(); ++i) {
                const int64_t at = changedAt[i];
                const std::string where = std::string(kind) + ", blocks of " + std::to_string(block) + ", " + steps[i].what;
                // 20 ms on, the level is the settled one (or still below
                // hearing, for a kill).
                const double followed = rms(at + 882, 441), settled = rms(at + spacing - 1764, 1764);
                if (settled > -80) EXPECT_NEAR(followed, settled, 0.5) << where;
                else EXPECT_LT(followed, -75) << where;
                if (at < 2048) continue;
                EXPECT_LT(measure::strongestAboveDb(out, static_cast<size_t>(at - 2048), 4096, 44100, 5000), -70)
                    << where;
            }
        }
}

} // namespace
