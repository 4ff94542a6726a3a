#include "tests/support/PlayerFixture.h"

namespace {

using Command = std::pair<int32_t, float>;

class Midi : public PlayerFixture {
protected:
    void note(int key, int velocity = 100, int status = 0x90) {
        VstMidiEvent event{kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0,
                           {static_cast<char>(status), static_cast<char>(key), static_cast<char>(velocity), 0},
                           0, 0, 0, 0};
        VstEvents list{1, 0, {reinterpret_cast<VstEvent*>(&event), nullptr}};
        EXPECT_EQ(player->processEvents(&list), 1);
    }
};

TEST_F(Midi, BlackKeysAreTransportButtonsThroughTheEditor) {
    note(61);
    note(63);
    note(51);
    note(58);
    note(66);
    note(68);
    note(70);
    EXPECT_EQ(editor().commands, (std::vector<Command>{{10, 1.05f}, {10, 2.05f}, {8, -1.0f}, {2, 0.0f},
                                                       {11, 1.02f}, {4, 0.0f}, {11, 2.02f}}));
    EXPECT_FALSE(player->isPlaying()) << "with the editor closed the Play key does nothing";
}

TEST_F(Midi, WhiteKeysJumpToFourteenthsOfTheTrack) {
    note(60);
    note(48);
    note(71);
    EXPECT_EQ(editor().commands,
              (std::vector<Command>{{10, 7 * 0.0714285746f}, {10, 0.0f}, {10, 13 * 0.0714285746f}}));
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
    EXPECT_TRUE(editor().commands.size() == 1) << "only the title refresh of the opening";
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
    note(61, 0);
    note(61, 100, 0x80);
    note(61, 100, 0xB0);
    note(61, 100, 0x9F + 1);
    EXPECT_TRUE(editor().commands.empty());
    note(61, 100, 0x9F); // a note on of channel 16 counts
    EXPECT_EQ(editor().commands.size(), 1u);
    VstEvent other{kVstSysExType, 32, 0, 0, {}};
    VstEvents list{2, 0, {&other, nullptr}};
    player->processEvents(&list);
    player->processEvents(nullptr);
    EXPECT_EQ(editor().commands.size(), 1u);
}

} // namespace
