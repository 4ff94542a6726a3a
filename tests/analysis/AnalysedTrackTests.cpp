// The deck with the beat grid its analysis finds, measured on what it plays:
// a click track of known tempo and phase, loops that start on the beat and
// last whole beats, jumps that keep the phase, and a user's tap that
// analysis never undoes.
#include <algorithm>
#include <cmath>
#include <vector>

#include "deck/DeckState.h"
#include "tests/support/PlayerFixture.h"

namespace {

constexpr int rate = 44100;
constexpr double bpm = 120.0;
constexpr int framesPerBeat = 22050;
constexpr int firstClick = 1000;

class AnalysedTracks : public PlayerFixture {
protected:
    // A click on every beat: a short 2 kHz burst, louder on the bar's first.
    static std::string clickTrack(const std::string& name, int seconds = 20) {
        testdata::WavRecipe recipe;
        recipe.frames = seconds * rate;
        recipe.sample = [](int frame, int) {
            const int since = (frame - firstClick) % framesPerBeat;
            if (frame < firstClick || since >= 200) return 0;
            const int beat = (frame - firstClick) / framesPerBeat;
            const double level = beat % 4 == 0 ? 20000 : 12000;
            return static_cast<int>(level * std::exp(-since / 40.0) * std::sin(2 * M_PI * 2000.0 * since / rate));
        };
        return testdata::writeWav(name, recipe);
    }
    // Opens a track in a deck with its store and waits for its analysis.
    void openAnalysed(const std::string& path) {
        ASSERT_EQ(openAndAwaitStore(*player, path), 0);
        // Analysis takes a few seconds of a sanitizer's build for a 40 s track.
        for (int i = 0; i < 30000 && !player->isAnalysed(); ++i) platform::sleepMs(2);
        player->storeKeeper()->settle();
    }
    // Frames of the rendered left channel where a click begins.
    std::vector<int64_t> clicksIn(int64_t frames) {
        std::vector<int64_t> found;
        bool quiet = true;
        for (int64_t done = 0; done < frames; done += 512) {
            render(512);
            for (int i = 0; i < 512; ++i) {
                const bool loud = std::fabs(left[static_cast<size_t>(i)]) > 0.05f;
                if (loud && quiet) found.push_back(done + i);
                // A click's burst dies away within 200 frames.
                if (loud) quiet = false;
                if (!loud && !found.empty() && done + i - found.back() > 300) quiet = true;
            }
        }
        return found;
    }
};

TEST_F(AnalysedTracks, LoopsStartOnTheBeatAndJumpsKeepThePhase) {
    player->open();
    unityLevels();
    openAnalysed(clickTrack("clicks-120.wav"));
    EXPECT_NEAR(player->getTempo(), bpm, 0.01);
    EXPECT_FALSE(player->isTempoByUser());
    EXPECT_NEAR(player->getBeatOrigin(), firstClick, 0.001 * rate) << "the beat where the click starts, within 1 ms";
    player->setPlaying(true);

    // A one-beat loop set 10,000 frames into beat 5 starts on beat 5 of the
    // grid and plays it again and again: a click every beat, on the beat.
    const double early = firstClick - player->getBeatOrigin(); // the grid's phase, frames before the click
    const double beat5 = player->getBeatOrigin() + 5.0 * framesPerBeat;
    player->setPosition(beat5 + 10000);
    player->selectLoop(2, true);
    ASSERT_TRUE(player->isLoopOn());
    EXPECT_NEAR(player->getLoopEnd(), beat5 + framesPerBeat, 1.0);
    const std::vector<int64_t> looped = clicksIn(5 * framesPerBeat);
    ASSERT_GE(looped.size(), 4u);
    EXPECT_NEAR(looped[0], framesPerBeat - 10000 + early, 2) << "the first click: the loop's start, after the beat's rest";
    for (size_t k = 1; k < looped.size(); ++k) EXPECT_NEAR(looped[k] - looped[k - 1], framesPerBeat, 1) << k;
    player->selectLoop(2, false);

    // A jump of four beats from 7,000 frames into a beat lands 7,000 frames
    // into the fourth beat on: the next click comes when it would have.
    player->setPosition(beat5 + 7000);
    player->move(4.0f);
    EXPECT_NEAR(player->getExactPosition(), beat5 + 4.0 * framesPerBeat + 7000, 1.0);
    const std::vector<int64_t> after = clicksIn(2 * framesPerBeat);
    ASSERT_FALSE(after.empty());
    EXPECT_NEAR(after[0], framesPerBeat - 7000 + early, 2);
}

// The tap is the user's: it replaces what analysis found, and the track
// comes back with it after another track, analysis or not.
TEST_F(AnalysedTracks, ATapOverridesAnalysisAndIsKeptWhenTheTrackComesBack) {
    player->open();
    platform::setTickSource(tick);
    const std::string clicks = clickTrack("clicks-tapped.wav");
    openAnalysed(clicks);
    ASSERT_NEAR(player->getTempo(), bpm, 0.01);
    for (int i = 0; i < 6; ++i) {
        now += 600; // 100 BPM
        player->tapTempo();
    }
    EXPECT_NEAR(player->getTempo(), 100.0, 0.01);
    EXPECT_TRUE(player->isTempoByUser());
    player->storeKeeper()->settle();

    openAnalysed(clickTrack("clicks-other.wav", 12));
    EXPECT_NEAR(player->getTempo(), bpm, 0.01);
    openAnalysed(clicks);
    platform::sleepMs(200); // time for any analysis to report
    EXPECT_NEAR(player->getTempo(), 100.0, 0.01);
    EXPECT_TRUE(player->isTempoByUser());
}

// Clicks whose tempo rises from 100 to 112 BPM over 40 s, as a band speeds
// up: the deck's grid is the beats themselves, so a jump lands at the same
// place in the beat four beats on, and a loop lasts the beat it is in.
TEST_F(AnalysedTracks, WhereTheTempoMovesJumpsAndLoopsFollowItsBeats) {
    std::vector<int> beats;
    for (double t = 0.05; t < 40.0; t += 60.0 / (100.0 + 12.0 * t / 40.0)) beats.push_back(static_cast<int>(t * rate));
    testdata::WavRecipe recipe;
    recipe.frames = 40 * rate;
    recipe.sample = [&beats](int frame, int) {
        const auto next = std::upper_bound(beats.begin(), beats.end(), frame);
        if (next == beats.begin()) return 0;
        const int since = frame - *(next - 1);
        return since < 200 ? static_cast<int>(16000 * std::exp(-since / 40.0) * std::sin(2 * M_PI * 2000.0 * since / rate)) : 0;
    };
    const std::string path = testdata::writeWav("clicks-speeding.wav", recipe);
    player->open();
    for (int opening = 0; opening < 2; ++opening) { // analysed, then from the store
        openAnalysed(path);
        ASSERT_FALSE(player->isTempoByUser());
        EXPECT_TRUE(player->followsBeats());
        // Beat 30 and 34 of the clicks, 30 % into the beat; the grid's
        // phase within 10 ms, as for a track of one tempo.
        const size_t k = 30;
        const double from = beats[k] + 0.3 * (beats[k + 1] - beats[k]);
        const double to = beats[k + 4] + 0.3 * (beats[k + 5] - beats[k + 4]);
        player->setPosition(from);
        // The tempo shown is the one played there, not the track's median.
        EXPECT_NEAR(player->playedTempoNow(), 4.0 * 60.0 * rate / (beats[k + 2] - beats[k - 2]), 0.3);
        player->move(4.0f);
        EXPECT_NEAR(player->getExactPosition(), to, 0.010 * rate) << "opening " << opening;
        // A one-beat loop set there lasts that beat, not the track's mean one.
        player->selectLoop(2, true);
        EXPECT_NEAR(player->getLoopEnd(), beats[k + 5], 0.010 * rate) << "opening " << opening;
        player->selectLoop(2, false);
        openAnalysed(clickTrack("clicks-between.wav", 8));
    }
}

// The grid a session saved is the grid the deck plays by when the session
// opens again, whatever this opening's analysis finds; the time the deck
// sends while it plays from before the first beat never moves it.
TEST_F(AnalysedTracks, TheSessionsGridOutlivesAnalysisAndPlayingFromTheStart) {
    player->open();
    openAnalysed(clickTrack("clicks-played.wav"));
    const int32_t origin = player->getBeatOrigin();
    ASSERT_GT(origin, 0);
    player->setPlaying(true);
    render(512);
    render(512);
    EXPECT_EQ(player->getBeatOrigin(), origin) << "the grid stays where the first beat is";

    DeckState session = player->captureState();
    session.entries = {{clickTrack("clicks-session.wav", 14), false}};
    session.currentEntry = 0;
    session.playing = false;
    session.tempo = 121.0f;
    session.beatOrigin = 5000;
    session.tempoKnown = true;
    ASSERT_TRUE(DeckState{}.read(session.write().data(), session.write().size()));
    ASSERT_TRUE(player->restoreState(session));
    player->waitForOpenings();
    for (int i = 0; i < 30000 && !player->isAnalysed(); ++i) platform::sleepMs(2);
    ASSERT_TRUE(player->isAnalysed());
    EXPECT_FLOAT_EQ(player->getTempo(), 121.0f);
    EXPECT_EQ(player->getBeatOrigin(), 5000);
    EXPECT_GE(player->getKey(), 0) << "the key is still analysis's";
}

} // namespace
