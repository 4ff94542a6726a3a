// MIDI keys as deck controls, each acting on its own sample.
#include <cmath>

#include "tests/support/PlayerFixture.h"
#include "tests/support/SignalMeasure.h"

namespace {

class Midi : public PlayerFixture {
protected:
    // A note-on at a frame of the next block, which is then rendered.
    void note(int key, int32_t frame = 0, int32_t blockFrames = 1, int velocity = 100, int status = 0x90) {
        VstMidiEvent event{kVstMidiType, sizeof(VstMidiEvent), frame, 0, 0, 0,
                           {static_cast<char>(status), static_cast<char>(key), static_cast<char>(velocity), 0},
                           0, 0, 0, 0};
        VstEvents list{1, 0, {reinterpret_cast<VstEvent*>(&event), nullptr}};
        EXPECT_EQ(player->processEvents(&list), 1);
        render(blockFrames);
    }
    float position() { return player->getParameter(TrackPlayer::Position); }
};

// A deck given a key and its twin given none, rendered alike: the key changes
// the output from exactly its sample on, and not one sample earlier.
TEST_F(Midi, KeysActOnExactlyTheirSample) {
    playRamp(441000);
    TrackPlayer twin(TestHost::callback, profile(), editorFactory());
    twin.trackList() = player->trackList();
    ASSERT_TRUE(twin.openTrack());
    twin.setSize(441000, true);
    for (int32_t band = 0; band < 3; ++band) twin.setGain(band, 1.0f);
    std::vector<float> twinLeft(1024), twinRight(1024);
    const auto sameState = [&](bool playing, double at) {
        for (TrackPlayer* deck : {player.get(), &twin}) {
            deck->setPlaying(playing);
            deck->setPosition(at);
        }
        render(4096); // past any fade
        float* outs[2] = {twinLeft.data(), twinRight.data()};
        for (int i = 0; i < 4; ++i) twin.renderBlock(AudioThread::claim(), outs, 1024, true);
        for (TrackPlayer* deck : {player.get(), &twin}) deck->setPosition(at);
    };
    const auto firstDifference = [&](int key, int32_t offset) {
        note(key, offset, 1024);
        float* outs[2] = {twinLeft.data(), twinRight.data()};
        twin.renderBlock(AudioThread::claim(), outs, 1024, true);
        for (int32_t j = 0; j < 1024; ++j)
            if (left[j] != twinLeft[j]) return j;
        return -1;
    };
    for (int32_t offset : {1, 300, 1023}) {
        sameState(false, 1000);
        EXPECT_EQ(firstDifference(51, offset), offset) << "play";
        EXPECT_EQ(left[offset], rampValue(1000)) << "from where the deck stood";
        sameState(true, 1000);
        EXPECT_EQ(firstDifference(60, offset), offset) << "cue";
        sameState(true, 1000);
        EXPECT_EQ(firstDifference(51, offset), offset) << "stop";
    }
    // Keys of one block act in the order of their frames, on their frames;
    // a stop fades out over 1,024 frames rather than cutting the sound.
    sameState(true, 1000);
    VstMidiEvent events[2] = {
        {kVstMidiType, sizeof(VstMidiEvent), 700, 0, 0, 0, {char(0x90), 48, 100, 0}, 0, 0, 0, 0},  // cue 0
        {kVstMidiType, sizeof(VstMidiEvent), 200, 0, 0, 0, {char(0x90), 51, 100, 0}, 0, 0, 0, 0}}; // stop
    VstEvents list{2, 0, {reinterpret_cast<VstEvent*>(&events[0]), reinterpret_cast<VstEvent*>(&events[1])}};
    player->processEvents(&list);
    render(1024);
    EXPECT_EQ(left[199], rampValue(1199));
    EXPECT_LT(std::fabs(left[1023]), std::fabs(rampValue(2023)) * 0.2f) << "fading out";
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->getPosition(), 0) << "and cued to the start at 700";
    render(1024);
    EXPECT_EQ(left[300], 0.0f) << "silent once faded";
}

TEST_F(Midi, BlackKeysAreTransportButtons) {
    playRamp(441000);
    player->setPlaying(false);
    note(51);
    EXPECT_TRUE(player->isPlaying());
    player->setPosition(220500);
    note(61); // back 5 %
    EXPECT_NEAR(position(), 0.45f, 1e-4f);
    note(63); // on 5 %
    EXPECT_NEAR(position(), 0.5f, 1e-4f);
    note(70); // pitch up a step
    note(70);
    EXPECT_NEAR(player->getPitch(), 2.56f, 1e-3f);
    note(66); // pitch down a step
    EXPECT_NEAR(player->getPitch(), 1.28f, 1e-3f);
    note(68); // pitch reset
    EXPECT_EQ(player->getPitch(), 0.0f);
    note(58); // back to the start
    EXPECT_LE(player->getPosition(), 1);
    note(51);
    EXPECT_FALSE(player->isPlaying());
}

TEST_F(Midi, TheTrackSelectKeyTurnsWhiteKeysIntoTrackPickers) {
    std::vector<std::string> paths;
    for (int i = 0; i < 8; ++i) paths.push_back(rampTrack("midi-" + std::to_string(i) + ".wav", 300));
    setEntries(paths);
    note(49);
    EXPECT_TRUE(player->isTrackSelectMode());
    note(60);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 7);
    EXPECT_EQ(player->getCurrentSource(), player->sourceAt(1));
    note(71); // entry 13 does not exist
    EXPECT_EQ(player->trackList().currentIndex, 7);
    note(49);
    EXPECT_FALSE(player->isTrackSelectMode());
}

TEST_F(Midi, NextAndPreviousKeysOpenTracksEvenWithTheEditorClosed) {
    setEntries({rampTrack("midi-a.wav", 300), rampTrack("midi-b.wav", 300)});
    note(56);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 1);
    EXPECT_EQ(player->getCurrentSource(), player->sourceAt(1));
    note(54);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 0);
}

TEST_F(Midi, NoteOffsVelocityZeroAndOtherMessagesAreIgnored) {
    playRamp(441000);
    player->setPlaying(false);
    note(51, 0, 1, 0);
    note(51, 0, 1, 100, 0x80);
    note(51, 0, 1, 100, 0xB0);
    note(51, 0, 1, 100, 0x9F + 1);
    EXPECT_FALSE(player->isPlaying());
    note(51, 0, 1, 100, 0x9F); // a note on of channel 16 counts
    EXPECT_TRUE(player->isPlaying());
    VstEvent other{kVstSysExType, 32, 0, 0, {}};
    VstEvents list{2, 0, {&other, nullptr}};
    player->processEvents(&list);
    player->processEvents(nullptr);
    render(16);
    EXPECT_TRUE(player->isPlaying());
    // More keys than a block holds, at wild frames: each still acts once.
    VstMidiEvent many{kVstMidiType, sizeof(VstMidiEvent), -5, 0, 0, 0, {char(0x90), 51, 100, 0}, 0, 0, 0, 0};
    VstEvent* pointers[1] = {reinterpret_cast<VstEvent*>(&many)};
    VstEvents one{1, 0, {pointers[0], nullptr}};
    for (int i = 0; i < 1001; ++i) {
        many.deltaFrames = i % 2 ? -5 : 1 << 30;
        player->processEvents(&one);
    }
    render(64);
    EXPECT_FALSE(player->isPlaying()) << "1,001 toggles";
}

// A cue and a stop on a 1 kHz tone fade rather than cut: nothing above 5 kHz
// around them is louder than -60 dB against the tone.
TEST_F(Midi, CuesAndStopsDoNotClick) {
    testdata::WavRecipe recipe;
    recipe.frames = 44100 * 3;
    recipe.sample = [](int frame, int) { return static_cast<int>(std::lround(16384 * std::sin(2 * M_PI * 1000 * frame / 44100.0))); };
    setEntries({testdata::writeWav("cue-tone.wav", recipe)});
    unityLevels();
    ASSERT_TRUE(player->openTrack());
    player->setSize(recipe.frames, true);
    player->setPlaying(true);
    std::vector<float> out;
    const auto block = [&](int key, int32_t frame) {
        if (key >= 0) note(key, frame, 512);
        else render(512);
        out.insert(out.end(), left.begin(), left.end());
    };
    for (int i = 0; i < 8; ++i) block(-1, 0);
    block(62, 133); // a cue to 1/14 of the track, mid-block and mid-cycle
    for (int i = 0; i < 7; ++i) block(-1, 0);
    block(51, 301); // stop
    for (int i = 0; i < 7; ++i) block(-1, 0);
    EXPECT_LT(measure::strongestAboveDb(out, 8 * 512 + 133 - 2048, 4096, 44100, 5000), -60) << "the cue";
    // The tone before the stop is the reference: the stop's window holds it.
    EXPECT_LT(measure::strongestAboveDb(out, 16 * 512 + 301 - 2048, 4096, 44100, 5000), -60) << "the stop";
}

} // namespace
