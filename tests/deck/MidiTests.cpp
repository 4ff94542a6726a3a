// MIDI keys as deck controls, each acting on its own sample.
#include "tests/support/PlayerFixture.h"

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

TEST_F(Midi, KeysActOnExactlyTheirSample) {
    playRamp(441000);
    for (int32_t offset : {1, 300, 1023}) {
        player->setPlaying(false);
        player->setPosition(1000);
        note(51, offset, 1024); // play
        for (int32_t j = 0; j < offset; ++j) ASSERT_EQ(left[j], 0.0f) << offset << " at " << j;
        EXPECT_EQ(left[offset], rampValue(1000)) << "play acts on sample " << offset;
        const int32_t at = player->getPosition();
        note(60, offset, 1024); // cue: 7/14 of the track
        EXPECT_EQ(left[offset - 1], rampValue(at + offset - 1));
        EXPECT_EQ(left[offset], rampValue(220500)) << "the cue acts on sample " << offset;
    }
    // Keys of one block act in the order of their frames, on their frames.
    player->setPosition(1000);
    VstMidiEvent events[2] = {
        {kVstMidiType, sizeof(VstMidiEvent), 700, 0, 0, 0, {char(0x90), 48, 100, 0}, 0, 0, 0, 0},  // cue 0
        {kVstMidiType, sizeof(VstMidiEvent), 200, 0, 0, 0, {char(0x90), 51, 100, 0}, 0, 0, 0, 0}}; // stop
    VstEvents list{2, 0, {reinterpret_cast<VstEvent*>(&events[0]), reinterpret_cast<VstEvent*>(&events[1])}};
    player->processEvents(&list);
    render(1024);
    EXPECT_EQ(left[199], rampValue(1199));
    EXPECT_EQ(left[200], 0.0f) << "stopped at 200";
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->getPosition(), 0) << "and cued to the start at 700";
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

} // namespace
