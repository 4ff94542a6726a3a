// Sync: a click track locked to a host's tempo, bars and transport, measured
// on the deck's output against the host's own beats.
#include <cmath>

#include "deck/KeyShifter.h"

#include "tests/support/PlayerFixture.h"
#include "tests/support/SignalMeasure.h"

namespace {

constexpr int trackRate = 22050;
constexpr double trackTempo = 124.0;
constexpr int firstClick = 11025; // the grid's first beat, a bar's first
constexpr double hostRate = 48000.0;
#ifdef TUNEDECK_SANITIZED
constexpr double minute = 6.0; // seconds: the sanitizers' build renders a tenth
#else
constexpr double minute = 60.0;
#endif

double clickFrame(int k) { return firstClick + k * 60.0 * trackRate / trackTempo; }

// A mono click track at 124 BPM: a short 2 kHz burst on every beat.
std::string clickTrack(double seconds) {
    testdata::WavRecipe recipe;
    recipe.channels = 1;
    recipe.sampleRate = trackRate;
    recipe.frames = static_cast<int>(seconds * trackRate);
    recipe.sample = [](int frame, int) {
        const double beats = (frame - firstClick) * trackTempo / 60.0 / trackRate;
        const int k = static_cast<int>(std::floor(beats + 1e-9));
        const long start = std::lround(clickFrame(k));
        const long n = frame - start;
        if (k < 0 || n < 0 || n >= 60) return 0;
        return static_cast<int>(26000.0 * std::sin(2.0 * M_PI * 2000.0 * n / trackRate) * std::exp(-n / 10.0));
    };
    return testdata::writeWav("click-124-" + std::to_string(static_cast<int>(seconds)) + ".wav", recipe);
}

class HostSync : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        player->setSampleRate(static_cast<float>(hostRate));
        clock.sampleRate = hostRate;
        clock.tempo = 128.0;
        clock.timeSigNumerator = clock.timeSigDenominator = 4;
        clock.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid | kVstTransportPlaying;
        TestHost::time = &clock;
    }
    // The session: the click track on its grid, Sync on, Play as given.
    void restoreSynced(const std::string& path, bool playing, bool sync = true, bool keyLock = false) {
        DeckState state = player->captureState();
        state.entries = {{path, false}};
        state.tempo = static_cast<float>(trackTempo);
        state.beatOrigin = firstClick;
        state.tempoKnown = true;
        state.playing = playing;
        state.syncAnchored = false;
        state.position = 0.0;
        state.parameters[Deck::Sync] = sync ? 1.0f : 0.0f;
        state.parameters[Deck::KeyLock] = keyLock ? 1.0f : 0.0f;
        for (int32_t index : {Deck::Vol, Deck::EqBass, Deck::EqTreble, Deck::EqTweet}) state.parameters[index] = 1.0f;
        ASSERT_TRUE(player->restoreState(state));
        player->waitForOpenings();
    }
    // The host renders frames in blocks, its time moving on while it rolls;
    // the deck's output is kept.
    void host(int64_t frames, int32_t block) {
        for (int64_t done = 0; done < frames;) {
            const auto n = static_cast<int32_t>(std::min<int64_t>(block, frames - done));
            clock.barStartPos = 4.0 * std::floor(clock.ppqPos / 4.0);
            render(n);
            heard.insert(heard.end(), left.begin(), left.end());
            if (clock.flags & kVstTransportPlaying) {
                for (int32_t i = 0; i < n; ++i) hostBeats.push_back(clock.ppqPos + i * clock.tempo / 60.0 / hostRate);
                clock.ppqPos += n * clock.tempo / 60.0 / hostRate;
            } else {
                hostBeats.insert(hostBeats.end(), n, clock.ppqPos);
            }
            done += n;
        }
    }
    // Each click's distance in ms from the host's nearest beat, from the
    // host's quarter note at each output frame.
    std::vector<std::pair<long, double>> clickErrors() const {
        std::vector<std::pair<long, double>> errors;
        for (long at : measure::clickFrames(heard, 0.2f)) {
            const double beat = hostBeats[static_cast<size_t>(at)];
            const double off = beat - std::round(beat);
            errors.emplace_back(at, off * 60.0 / clock.tempo * 1000.0);
        }
        return errors;
    }
    VstTimeInfo clock{};
    std::vector<float> heard;
    std::vector<double> hostBeats;
};

TEST_F(HostSync, ClicksFallOnTheHostsBeatsThroughTempoChangesAndLocates) {
    const std::string path = clickTrack(11.5 * minute);
    for (const int32_t block : {64, 4096}) {
        SCOPED_TRACE(block);
        heard.clear();
        hostBeats.clear();
        clock.ppqPos = 0.0;
        clock.tempo = 128.0;
        restoreSynced(path, true);
        const auto minutes = [](double m) { return static_cast<int64_t>(m * minute * hostRate); };
        host(minutes(5), block);
        clock.tempo = 132.0; // at a bar: five minutes of 128 BPM
        host(minutes(3), block);
        const size_t located = heard.size();
        clock.ppqPos = std::round(clock.ppqPos * 0.87); // back about an eighth
        const double locatedTo = clock.ppqPos;
        host(minutes(2), block);

        const auto errors = clickErrors();
        // The deck's start waits for the host's bar: the track's first
        // beat (a bar's first) plays on a bar, on the host's beat 4.
        ASSERT_FALSE(errors.empty());
        EXPECT_NEAR(hostBeats[static_cast<size_t>(errors.front().first)], 4.0, 0.001);
        size_t late = 0;
        for (const auto& [at, ms] : errors) {
            // Just after the locate: within a block and the crossfade.
            if (static_cast<size_t>(at) >= located && static_cast<size_t>(at) < located + block + 1024) continue;
            if (std::fabs(ms) > 1.0) ++late;
        }
        EXPECT_EQ(late, 0u);
        // Every host beat while the deck played had its click: none lost, no
        // extra ones (a jump or a correction heard as a click).
        const double heardBeats = hostBeats[located - 1] - 4.0 + (hostBeats.back() - locatedTo);
        EXPECT_NEAR(static_cast<double>(errors.size()), heardBeats, 2.0);
        // Between the clicks the track is silent: no step of speed, jump or
        // correction is heard above -60 dBFS.
        std::vector<bool> nearClick(heard.size(), false);
        for (const auto& [at, ms] : errors)
            for (long i = std::max(at - 100, 0L); i < std::min<long>(at + 400, static_cast<long>(heard.size())); ++i)
                nearClick[static_cast<size_t>(i)] = true;
        float loudest = 0.0f;
        for (size_t i = 0; i + 400 < heard.size(); ++i) // a click cut off by the end is no fault
            if (!nearClick[i] && (i < located || i >= located + block + 1024)) loudest = std::max(loudest, std::fabs(heard[i]));
        EXPECT_LT(loudest, 0.001f);
        player->setPlaying(false);
        render(1024);
    }
}

TEST_F(HostSync, WithKeyLockTheClicksHeardStillFallOnTheHostsBeats) {
    if (!KeyShifter::available()) GTEST_SKIP() << "this build has no key lock";
    restoreSynced(clickTrack(3 * minute), true, true, true);
    host(static_cast<int64_t>(minute * hostRate), 512);
    EXPECT_GT(player->getKeyLockLatency(), 0);
    clock.tempo = 132.0;
    const size_t changed = heard.size();
    host(static_cast<int64_t>(minute * hostRate), 512);
    const auto errors = clickErrors();
    ASSERT_GT(errors.size(), static_cast<size_t>(minute * 2.0));
    EXPECT_NEAR(hostBeats[static_cast<size_t>(errors.front().first)], 4.0, 0.001) << "the first click on a bar";
    size_t late = 0;
    for (const auto& [at, ms] : errors) {
        // A tempo change reaches the ear a latency after the host's (the
        // sound then playing was read before it), and the rest of its step
        // is corrected by speed: two beats.
        const auto since = static_cast<size_t>(at) - changed;
        if (static_cast<size_t>(at) >= changed && since < static_cast<size_t>(hostRate)) continue;
        if (std::fabs(ms) > 1.0) ++late, ADD_FAILURE() << at / hostRate << " s: " << ms << " ms";
    }
    EXPECT_EQ(late, 0u);

    // Exported twice from the session's start, the host stopped before
    // each: the same samples, whatever the deck played before.
    std::vector<float> exports[2];
    for (auto& exported : exports) {
        clock.flags &= ~kVstTransportPlaying;
        host(static_cast<int64_t>(hostRate), 512);
        clock.ppqPos = 0.0;
        clock.tempo = 128.0;
        clock.flags |= kVstTransportPlaying;
        heard.clear();
        host(static_cast<int64_t>(10 * hostRate), 512);
        exported = heard;
    }
    EXPECT_TRUE(exports[0] == exports[1]);
    EXPECT_GT(measure::clickFrames(exports[0], 0.2f).size(), 15u);
}

TEST_F(HostSync, ADeckOnSyncFollowsTheTransportAndExportsTheSameTwice) {
    const std::string path = clickTrack(60);
    restoreSynced(path, true);
    EXPECT_TRUE(player->isPlaying()) << "Play stays on: the host's transport starts it";
    // A stopped host: the deck stays silent where it is.
    clock.flags &= ~kVstTransportPlaying;
    host(48000, 512);
    EXPECT_EQ(measure::clickFrames(heard, 0.01f).size(), 0u);
    const double held = player->getExactPosition();

    // Two exports from the session's start hold the same samples, though
    // the first left the deck ten seconds on.
    std::vector<float> exports[2];
    for (auto& exported : exports) {
        clock.ppqPos = 0.0;
        clock.flags |= kVstTransportPlaying;
        heard.clear();
        host(10 * 48000, 512);
        exported = heard;
        clock.flags &= ~kVstTransportPlaying;
        host(4096, 512);
    }
    EXPECT_EQ(player->getExactPosition() > held, true);
    ASSERT_EQ(exports[0].size(), exports[1].size());
    EXPECT_TRUE(exports[0] == exports[1]);
    EXPECT_GT(measure::clickFrames(exports[0], 0.2f).size(), 15u);

    // The lock is the session's: a reopened deck exports the same again.
    const DeckState saved = player->captureState();
    ASSERT_TRUE(saved.syncAnchored);
    player->restoreState(saved);
    player->waitForOpenings();
    clock.ppqPos = 0.0;
    clock.flags |= kVstTransportPlaying;
    heard.clear();
    host(10 * 48000, 512);
    EXPECT_TRUE(heard == exports[0]);
}

TEST_F(HostSync, AHostTempoOutOfReachPlaysAtTheRangesEndAndSaysSo) {
    restoreSynced(clickTrack(30), true);
    clock.tempo = 170.0; // 37 % faster than the track
    host(48000, 512);
    EXPECT_EQ(player->syncStatus(), Deck::SyncStatus::OutOfReach);
    char text[Deck::parameterTextRoom] = {};
    player->valueDisplay(Deck::Pitch, text);
    EXPECT_STREQ(text, "+32.0 %");
    // The host's pitch lane no longer sets the speed; the deck reached,
    // it locks again.
    player->setValue(Deck::Pitch, 0.5f);
    clock.tempo = 118.0;
    heard.clear();
    hostBeats.clear();
    host(5 * 48000, 512);
    EXPECT_EQ(player->syncStatus(), Deck::SyncStatus::Locked);
    player->valueDisplay(Deck::Pitch, text);
    EXPECT_STREQ(text, "-4.8 %");
    // Sync off: the deck is a clock of its own again and the pitch is the user's.
    EXPECT_TRUE(player->setValueText(Deck::Sync, "off"));
    player->setValue(Deck::Pitch, 0.5f);
    EXPECT_EQ(player->getPitch(), 0.0f);
}

} // namespace
