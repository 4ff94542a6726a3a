#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "vst2/TrackPlayer.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestHost.h"

namespace {

class Parameters : public ::testing::TestWithParam<const BuildProfile*> {
protected:
    void SetUp() override {
        TestHost::reset();
        player = std::make_unique<TrackPlayer>(TestHost::callback, *GetParam(), RecordingEditor::make);
    }
    RecordingEditor& editor() { return RecordingEditor::of(*player); }
    void addTracks(std::initializer_list<std::string> paths) {
        TrackList& list = player->trackList();
        for (const std::string& path : paths) std::snprintf(list.entries[list.count], TrackList::pathRoom, "%s", path.c_str()), list.count = list.count + 1;
    }
    std::string display(int32_t index) {
        char text[TrackPlayer::parameterTextRoom] = "untouched";
        player->getParameterDisplay(index, text);
        return text;
    }
    std::unique_ptr<TrackPlayer> player;
};

TEST_P(Parameters, LoopValuesPickTheLoopOrSwitchItOff) {
    const struct {
        float value;
        bool on;
        int32_t index;
    } cases[] = {{0.05f, false, 0}, {0.15f, true, 0}, {1.0f, true, 8}, {0.91f, true, 8}, {7.0f, true, 8},
                 {0.0f, false, 8}};
    for (auto c : cases) {
        player->setParameter(TrackPlayer::Loop, c.value);
        EXPECT_EQ(player->isLoopOn(), c.on) << c.value;
        if (c.on) {
            EXPECT_EQ(player->getLoopIndex(), c.index) << c.value;
        }
    }
}

// A host that never shows the window: every parameter acts at once and
// reads back as set.
TEST_P(Parameters, EveryParameterActsAtOnceWithTheWindowNeverOpened) {
    testdata::WavRecipe recipe;
    recipe.frames = 44100;
    addTracks({testdata::writeWav("closed-a.wav", recipe), testdata::writeWav("closed-b.wav", recipe)});
    player->openTrack();
    player->setSize(44100, true);
    AEffect* effect = player->record();
    const struct {
        int32_t index;
        float value, readBack;
    } cases[] = {{TrackPlayer::Playing, 1.0f, 1.0f},   {TrackPlayer::AutoRewind, 0.5f, 0.5f},
                 {TrackPlayer::Position, 0.5f, 0.5f},  {TrackPlayer::Pitch, 0.75f, 0.75f},
                 {TrackPlayer::EqCut1, 0.2f, 0.2f},    {TrackPlayer::EqCut2, 0.8f, 0.8f},
                 {TrackPlayer::EqBass, 0.9f, 0.9f},    {TrackPlayer::EqTreble, 0.3f, 0.3f},
                 {TrackPlayer::EqTweet, 0.6f, 0.6f},   {TrackPlayer::Vol, 0.4f, 0.4f},
                 {TrackPlayer::CutBass, 1.0f, 1.0f},   {TrackPlayer::CutTreble, 1.0f, 1.0f},
                 {TrackPlayer::CutTweet, 1.0f, 1.0f},  {TrackPlayer::Loop, 0.45f, 0.41f},
                 {TrackPlayer::Track, 0.5f, 0.5f}};
    for (auto c : cases) {
        effect->setParameter(effect, c.index, c.value);
        EXPECT_NEAR(effect->getParameter(effect, c.index), c.readBack, 1e-5f) << c.index;
    }
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(player->getAutoRewind(), 1);
    EXPECT_FLOAT_EQ(player->getPitch(), 16.0f);
    EXPECT_FLOAT_EQ(player->getVolume(), 0.4f);
    EXPECT_TRUE(player->isLoopOn());
    EXPECT_FLOAT_EQ(player->getLoopBeats(), 2.0f);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 1);
    EXPECT_EQ(player->getCurrentSource(), player->sourceAt(1)) << "the second entry opened";
}

TEST_P(Parameters, PositionWithAnEmptyListDoesNothing) {
    player->setParameter(TrackPlayer::Position, 0.5f);
    EXPECT_EQ(player->getParameter(TrackPlayer::Position), 0.0f);
    EXPECT_EQ(display(TrackPlayer::Position), "0:00.0 / 0:00.0");
}

TEST_P(Parameters, TrackPicksAnEntryNeverPastTheLastAndDoesNotReopenTheCurrentOne) {
    addTracks({"/nowhere/a.wav", "/nowhere/b.wav", "/nowhere/c.wav"});
    player->setParameter(TrackPlayer::Track, 1.0f);
    EXPECT_EQ(player->trackList().currentIndex, 2);
    player->waitForOpenings();
    EXPECT_EQ(editor().openErrors, 1) << "the missing file was tried";
    player->setParameter(TrackPlayer::Track, 0.9f);
    player->waitForOpenings();
    EXPECT_EQ(editor().openErrors, 1) << "the same entry is not opened again";
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::Track), 2.0f / 3.0f);
    EXPECT_EQ(display(TrackPlayer::Track), "c.wav");
    player->setParameter(TrackPlayer::Track, -3.0f);
    EXPECT_EQ(player->trackList().currentIndex, 0);
    player->waitForOpenings();
}

TEST_P(Parameters, HostInputOutsideTheTableIsIgnored) {
    player->setParameter(TrackPlayer::parameterCount, 0.5f);
    player->setParameter(1000000, 0.5f);
    player->setParameter(-1, 0.5f);
    player->setParameter(TrackPlayer::Pitch, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(player->getPitch(), 0.0f);
    EXPECT_EQ(player->getParameter(TrackPlayer::parameterCount), 0.0f);
    EXPECT_EQ(player->getParameter(-7), 0.0f);
    char text[TrackPlayer::parameterTextRoom] = "untouched";
    player->getParameterName(TrackPlayer::parameterCount, text);
    EXPECT_STREQ(text, "untouched");
    player->getParameterDisplay(99, text);
    EXPECT_STREQ(text, "untouched");
    player->getParameterLabel(TrackPlayer::parameterCount, text);
    EXPECT_STREQ(text, "");
}

// What a host's generic controls show, and what a person types there: each
// text read back sets the value that shows the same text.
TEST_P(Parameters, DisplaysReadAsUsersReadThemAndTypedTextsRoundTrip) {
    testdata::WavRecipe recipe;
    recipe.frames = 48000 * 3;
    recipe.sampleRate = 48000;
    recipe.sample = [](int, int) { return 0; };
    addTracks({testdata::writeWav("display-48k.wav", recipe)});
    player->openTrack();
    player->setSize(recipe.frames, true);
    player->setPlaying(true);
    player->setPitch(0.5f + 4.0f / 64.0f);
    player->setGain(0, 0.5f);
    player->setCut(1, true);
    player->setVolume(0.0f);
    player->setCrossover(0, 0.33f);
    player->setParameter(TrackPlayer::Loop, 0.31f); // the third loop: one beat
    player->setPosition(48000.0 * 2.4);
    const struct {
        int32_t index;
        const char* shown;
    } expected[] = {{TrackPlayer::Playing, "yes"},      {TrackPlayer::Position, "0:02.4 / 0:03.0"},
                    {TrackPlayer::Pitch, "+4.0 %"},     {TrackPlayer::EqCut1, "1500 Hz"},
                    {TrackPlayer::EqBass, "-6.0 dB"},   {TrackPlayer::EqTreble, "-inf dB"},
                    {TrackPlayer::Vol, "-inf dB"},      {TrackPlayer::Loop, "1 beat"},
                    {TrackPlayer::CutTreble, "yes"},    {TrackPlayer::Track, "display-48k.wav"}};
    for (auto e : expected) EXPECT_EQ(display(e.index), e.shown) << e.index;

    // Every parameter, through the dispatcher as a host calls it, at
    // values across its range.
    AEffect* effect = player->record();
    player->setCut(1, false);
    for (int32_t index = 0; index < TrackPlayer::parameterCount; ++index) {
        for (float value : {0.0f, 0.13f, 0.5f, 0.77f, 1.0f}) {
            player->setParameter(index, value);
            const std::string shown = display(index);
            char typed[TrackPlayer::parameterTextRoom];
            std::snprintf(typed, sizeof typed, "%s", shown.c_str());
            ASSERT_EQ(effect->dispatcher(effect, effString2Parameter, index, 0, typed, 0.0f), 1) << shown;
            EXPECT_EQ(display(index), shown) << "parameter " << index << " at " << value;
        }
    }
    // Forms a person types.
    const struct {
        int32_t index;
        const char* typed;
        const char* shown;
    } typed[] = {{TrackPlayer::Pitch, "-8", "-8.0 %"},          {TrackPlayer::Vol, "-6", "-6.0 dB"},
                 {TrackPlayer::EqCut2, "9 kHz", "9000 Hz"},    {TrackPlayer::Loop, "1/2 beat", "1/2 beat"},
                 {TrackPlayer::Loop, "16 beats", "16 beats"},  {TrackPlayer::Position, "0:02", "0:02.0 / 0:03.0"},
                 {TrackPlayer::EqTweet, "-inf", "-inf dB"},    {TrackPlayer::Loop, "off", "off"}};
    for (auto t : typed) {
        ASSERT_TRUE(player->setParameterText(t.index, t.typed)) << t.typed;
        EXPECT_EQ(display(t.index), t.shown) << t.typed;
    }
    // Texts that say nothing the parameter can take, or in another's unit.
    const struct {
        int32_t index;
        const char* typed;
    } refused[] = {{TrackPlayer::Loop, ""},        {TrackPlayer::Loop, "loud"},      {TrackPlayer::Loop, "-3 beats"},
                   {TrackPlayer::Loop, "1/0 beat"}, {TrackPlayer::Loop, "1/"},        {TrackPlayer::EqBass, "x dB"},
                   {TrackPlayer::EqBass, "1:30"},   {TrackPlayer::Pitch, "9 kHz"},    {TrackPlayer::Pitch, "nan"},
                   {TrackPlayer::Vol, "-1/4 beat"}, {TrackPlayer::Position, "0x10"}, {TrackPlayer::Position, "+8"},
                   {TrackPlayer::Track, "elsewhere.wav"}};
    for (auto r : refused) {
        const std::string before = display(r.index);
        EXPECT_FALSE(player->setParameterText(r.index, r.typed)) << r.typed;
        EXPECT_EQ(display(r.index), before) << r.typed;
    }
    EXPECT_TRUE(player->setParameterText(TrackPlayer::Pitch, "1e300"));
    EXPECT_EQ(display(TrackPlayer::Pitch), "+32.0 %") << "a huge number is the end of the range";
    EXPECT_TRUE(player->setParameterText(TrackPlayer::Vol, "-40"));
    EXPECT_EQ(display(TrackPlayer::Vol), "-40.0 dB") << "a level typed is never silence";
    // A killed band shows -inf dB; that text read back keeps its gain.
    player->setGain(0, 0.9f);
    player->setCut(0, true);
    ASSERT_TRUE(player->setParameterText(TrackPlayer::EqBass, display(TrackPlayer::EqBass).c_str()));
    player->setCut(0, false);
    EXPECT_EQ(display(TrackPlayer::EqBass), "-0.9 dB");
    // The track is named by its file as the display shows it, or by number.
    addTracks({"/nowhere/03 Intro.wav", "/nowhere/01 Second.wav"});
    ASSERT_TRUE(player->setParameterText(TrackPlayer::Track, "03 Intro.wav"));
    EXPECT_EQ(player->trackList().currentIndex, 1);
    ASSERT_TRUE(player->setParameterText(TrackPlayer::Track, "01 Second.wav"));
    EXPECT_EQ(player->trackList().currentIndex, 2);
    ASSERT_TRUE(player->setParameterText(TrackPlayer::Track, "1"));
    EXPECT_EQ(player->trackList().currentIndex, 0);
    player->waitForOpenings();
}

TEST_P(Parameters, PitchShowsTheTempoItPlaysAt) {
    player->setPitch(0.75f);
    EXPECT_FLOAT_EQ(player->getPitch(), 16.0f);
    ASSERT_FALSE(editor().tempos.empty());
    EXPECT_FLOAT_EQ(editor().tempos.back(), 120.0f * 1.16f);
}

TEST_P(Parameters, ProgramNameIsCutToTwentyFourCharacters) {
    player->setProgramName("0123456789012345678901234567890");
    char name[TrackPlayer::programNameRoom];
    player->getProgramName(name);
    EXPECT_STREQ(name, "012345678901234567890123");
}

TEST_P(Parameters, TrackNameAndCounter) {
    char text[1100];
    player->getTrackName(text, sizeof text);
    EXPECT_STREQ(text, "No file loaded");
    addTracks({"/x/one.wav", "/x/two.wav"});
    player->trackList().currentIndex = 1;
    player->getTrackName(text, sizeof text);
    EXPECT_STREQ(text, "/x/two.wav");
    player->getTrackCounter(text, sizeof text);
    EXPECT_STREQ(text, " 2/2");
}

TEST_P(Parameters, OpeningAWavTrackMakesTheWavSourceCurrent) {
    // Samples no other test writes: a track the store knows shows the stored
    // overview instead of drawing one, and a test program may share its store.
    testdata::WavRecipe recipe;
    int seed = GetParam()->compact ? 7 : 11;
    recipe.sample = [seed](int frame, int channel) { return (frame * seed + channel * 3) % 997; };
    std::string path = testdata::writeWav(std::string("param-open-") + (GetParam()->compact ? "c" : "f") + ".wav", recipe);
    addTracks({path});
    player->openTrack();
    EXPECT_EQ(player->getCurrentSource(), player->sourceAt(1));
    EXPECT_EQ(player->getCurrentSource()->getBitmap(), editorOf(*player).overviewPixels());
    EXPECT_EQ(editor().openErrors, 0);
}

TEST_P(Parameters, ATrackNoSourceOpensPlaysNothingOfThePreviousOne) {
    addTracks({"/nowhere/missing.mp3"});
    player->openTrack();
    EXPECT_EQ(player->getCurrentSource(), nullptr);
    EXPECT_EQ(player->getLength(), 0);
    EXPECT_EQ(editor().openErrors, 1);
    EXPECT_EQ(player->getPosition(), 0);
}

TEST_P(Parameters, HostValuesSetTheirControlAsTheHostMeansThem) {
    // The Track value a host reads back keeps the entry, for every list size.
    for (int32_t size = 1; size <= TrackList::capacity; ++size) {
        player->trackList().count = size;
        for (int32_t entry = 0; entry < size; ++entry) {
            player->trackList().currentIndex = entry;
            player->setParameter(TrackPlayer::Track, player->getParameter(TrackPlayer::Track));
            ASSERT_EQ(player->trackList().currentIndex, entry) << entry << " of " << size;
        }
    }
    player->trackList().count = 0;
    EXPECT_EQ(player->isOpening(), false) << "writing back the same entry opens nothing";
    // The other values act on the deck itself, here with the window open.
    AEffect* effect = player->record();
    ASSERT_EQ(effect->dispatcher(effect, effEditOpen, 0, 0, nullptr, 0.0f), 1);
    // AutoRewind's three modes at 0, 0.5 and 1, whatever was set before.
    for (float value : {0.5f, 0.5f, 1.0f, 0.0f, 0.49f, 0.8f, 0.1f}) {
        player->setParameter(TrackPlayer::AutoRewind, value);
        EXPECT_EQ(player->getAutoRewind(), static_cast<int32_t>(std::lround(value * 2))) << value;
    }
    // Values outside 0..1 are the nearest end, never a nudge.
    player->setParameter(TrackPlayer::Vol, 0.7f);
    player->setParameter(TrackPlayer::Vol, -0.001f);
    EXPECT_EQ(player->getVolume(), 0.0f);
    player->setParameter(TrackPlayer::Pitch, 1.5f);
    EXPECT_FLOAT_EQ(player->getPitch(), 32.0f);
    effect->dispatcher(effect, effEditClose, 0, 0, nullptr, 0.0f);
}

INSTANTIATE_TEST_SUITE_P(Builds, Parameters, ::testing::Values(&fullProfile, &compactProfile),
                         [](const auto& info) { return info.param->compact ? "Compact" : "Full"; });

} // namespace
