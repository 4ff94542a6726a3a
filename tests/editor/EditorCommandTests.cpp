// Host parameters and MIDI keys move the deck's controls, window open or
// closed, which then act as if a person had moved them. Other threads
// never draw.
#include <thread>

#include "editor/CommandQueue.h"
#include "tests/editor/EditorFixture.h"

namespace {

class EditorCommands : public EditorFixture {
protected:
    void note(int key) {
        VstMidiEvent on{kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x90), char(key), 100, 0}, 0, 0, 0, 0};
        VstEvents list{1, 0, {reinterpret_cast<VstEvent*>(&on), nullptr}};
        player->processEvents(&list);
    }
    float position() { return player->getParameter(TrackPlayer::Position); }
};

TEST_P(EditorCommands, HostValuesAndMidiKeysActWithTheWindowNeverOpened) {
    playRamp(441000);
    player->setPlaying(false);
    AEffect* effect = player->record();
    effect->setParameter(effect, TrackPlayer::Vol, 0.3f);
    effect->setParameter(effect, TrackPlayer::CutBass, 1.0f);
    effect->setParameter(effect, TrackPlayer::Pitch, 0.75f);
    EXPECT_FLOAT_EQ(player->getVolume(), 0.3f);
    EXPECT_FLOAT_EQ(effect->getParameter(effect, TrackPlayer::CutBass), 1.0f);
    EXPECT_FLOAT_EQ(player->getPitch(), 16.0f);
    note(51); // play
    EXPECT_TRUE(player->isPlaying());
    note(60); // the eighth white key: 7/14 of the track
    EXPECT_NEAR(position(), 0.5f, 1e-4f);
    note(61); // back 5 %
    EXPECT_NEAR(position(), 0.45f, 1e-4f);
    // A track that ends while nobody looks stops the deck; Play written
    // by the host then starts it again, once.
    player->setPlaying(false);
    effect->setParameter(effect, TrackPlayer::Playing, 1.0f);
    effect->setParameter(effect, TrackPlayer::Playing, 1.0f);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_FLOAT_EQ(effect->getParameter(effect, TrackPlayer::Playing), 1.0f);
}

// Hosts hide and show the window as they like (Qtractor closes the editor
// when its window is hidden): nothing the deck does depends on it.
TEST_P(EditorCommands, ClosingAndReopeningTheWindowChangesNothing) {
    playRamp(441000);
    openWindow();
    view().receiveCommand(TrackPlayer::TagVolume, 0.6f);
    showPage(2);
    for (bool playing : {true, false}) {
        player->setPlaying(playing);
        player->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        player->setPosition(400000);
        player->dispatcher(effEditOpen, 0, 0, nullptr, 0.0f);
        showWindow();
        EXPECT_EQ(player->getPosition(), 400000) << "no jump back";
        EXPECT_EQ(player->isPlaying(), playing);
        EXPECT_FLOAT_EQ(controls().play->getValue(), playing ? 1.0f : 0.0f) << "the Play button shows the deck";
        EXPECT_FLOAT_EQ(player->getVolume(), 0.6f);
        EXPECT_NEAR(controls().position->getValue(), 400000.0f / 441000.0f, 1e-4f);
        EXPECT_EQ(view().page(), compact() ? 2 : 0);
    }
    // Another entry chosen while the window is closed is the one it shows.
    setEntries({player->trackList().entries[0], rampTrack("reopen-b.wav", 44100)});
    player->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    player->setParameter(TrackPlayer::Track, 0.5f);
    player->waitForOpenings();
    openWindow();
    EXPECT_EQ(player->trackList().currentIndex, 1);
    EXPECT_EQ(controls().title->getText(), "reopen-b 2/2");
    // The first click on Play after a reopening acts.
    player->setPlaying(false);
    showPage(0);
    clickTag(TrackPlayer::TagPlay);
    EXPECT_TRUE(player->isPlaying());
}

TEST_P(EditorCommands, TheLoopParameterArrivesAsLoopButtonCommands) {
    openWindow();
    playRamp(441000);
    player->setParameter(TrackPlayer::Loop, 0.35f); // index trunc((0.35 - 0.1) * 10) = 2
    EXPECT_FLOAT_EQ(controls().loops[2]->getValue(), 1.0f);
    EXPECT_TRUE(player->isLoopOn());
    EXPECT_EQ(player->getLoopIndex(), 2);
    player->setParameter(TrackPlayer::Loop, 0.75f);
    EXPECT_FLOAT_EQ(controls().loops[2]->getValue(), 0.0f);
    EXPECT_EQ(player->getLoopIndex(), 6);
    player->setParameter(TrackPlayer::Loop, 0.05f); // the loop-off command
    for (Control* loop : controls().loops) EXPECT_FLOAT_EQ(loop->getValue(), 0.0f);
    EXPECT_FALSE(player->isLoopOn());
}

TEST_P(EditorCommands, CommandValuesSetToggleAndStepWithinRange) {
    openWindow();
    Control& volume = *control(TrackPlayer::TagVolume);
    view().receiveCommand(TrackPlayer::TagVolume, 0.5f);
    view().receiveCommand(TrackPlayer::TagVolume, 1.2f); // lower by 0.2
    EXPECT_NEAR(volume.getValue(), 0.3f, 1e-6f);
    view().receiveCommand(TrackPlayer::TagVolume, 1.9f); // not below 0
    EXPECT_FLOAT_EQ(volume.getValue(), 0.0f);
    view().receiveCommand(TrackPlayer::TagVolume, 2.4f); // raise by 0.4
    EXPECT_NEAR(volume.getValue(), 0.4f, 1e-6f);
    view().receiveCommand(TrackPlayer::TagVolume, 2.9f); // not above 1
    EXPECT_FLOAT_EQ(volume.getValue(), 1.0f);
    view().receiveCommand(TrackPlayer::TagVolume, -1.0f); // toggle
    EXPECT_FLOAT_EQ(volume.getValue(), 0.0f);
    view().receiveCommand(TrackPlayer::TagVolume, 3.5f); // unchanged
    EXPECT_FLOAT_EQ(volume.getValue(), 0.0f);
    EXPECT_FLOAT_EQ(player->getVolume(), 0.0f);
}

TEST_P(EditorCommands, ACommandOfExactlyTwoKeepsTheControlButStillActs) {
    openWindow();
    view().receiveCommand(TrackPlayer::TagPitch, 0.75f);
    player->setPitch(0.5f); // the player drifts from its control
    view().receiveCommand(TrackPlayer::TagPitch, 2.0f);
    EXPECT_FLOAT_EQ(controls().pitch->getValue(), 0.75f);
    EXPECT_FLOAT_EQ(player->getPitch(), 16.0f) << "the control's value was sent again";
}

TEST_P(EditorCommands, MidiKeysMoveThroughTheWindowsControls) {
    openWindow();
    playRamp(441000);
    player->setPlaying(false);
    clickTag(TrackPlayer::TagPlay);
    ASSERT_TRUE(player->isPlaying());
    view().receiveCommand(TrackPlayer::TagPosition, 0.5f);
    note(61); // back 5 %
    EXPECT_NEAR(position(), 0.45f, 1e-4f);
    note(60); // the eighth white key: 7/14 of the track
    EXPECT_NEAR(position(), 0.5f, 1e-4f);
    note(51); // play toggles
    EXPECT_FALSE(player->isPlaying());
    EXPECT_FLOAT_EQ(controls().play->getValue(), 0.0f);
}

// A host that automates from its audio thread: commands act at once, and
// what the player shows from there waits for the GUI thread's idle.
TEST_P(EditorCommands, OtherThreadsActAtOnceButDrawOnlyThroughTheIdle) {
    openWindow();
    playRamp(441000);
    const int32_t presents = window().presentCount();
    const std::string timeBefore = controls().time->getText();
    std::thread audio([&] {
        player->setParameter(TrackPlayer::Vol, 0.25f);
        player->setParameter(TrackPlayer::Pitch, 1.0f);
        view().showTime(0.5f, 5, 10);
        view().showPlaying(false);
    });
    audio.join();
    EXPECT_FLOAT_EQ(player->getVolume(), 0.25f);
    EXPECT_FLOAT_EQ(player->getPitch(), 32.0f);
    EXPECT_EQ(window().presentCount(), presents) << "nothing was drawn off the GUI thread";
    EXPECT_EQ(controls().time->getText(), timeBefore) << "the label waits for the idle";
    view().idle();
    EXPECT_EQ(controls().time->getText(), " 0:05");
    EXPECT_FLOAT_EQ(controls().play->getValue(), 0.0f);
    EXPECT_EQ(controls().tempo->getText(), "158.4") << "120 bpm at +32 %";
    EXPECT_GT(window().presentCount(), presents);
}

TEST_P(EditorCommands, ClosingWithTheWindowOpenLeavesThePlayerWhole) {
    openWindow();
    playRamp(441000);
    view().receiveCommand(TrackPlayer::TagVolume, 0.7f);
    player.reset(); // the host closes the plug-in with its window open
    SUCCEED();
}

TUNEDECK_BOTH_BUILDS(EditorCommands);

TEST(CommandQueue, KeepsCommandsInOrderAndDropsThoseThatDoNotFit) {
    CommandQueue queue;
    int accepted = 0;
    for (int i = 0; i < 300; ++i) accepted += queue.push({i, static_cast<float>(i) * 0.5f});
    EXPECT_EQ(accepted, 256);
    CommandQueue::Command command{};
    for (int i = 0; i < 256; ++i) {
        ASSERT_TRUE(queue.pop(command));
        EXPECT_EQ(command.tag, i);
        EXPECT_FLOAT_EQ(command.value, static_cast<float>(i) * 0.5f);
    }
    EXPECT_FALSE(queue.pop(command));
    EXPECT_TRUE(queue.push({7, 1.0f})) << "room again once taken";
}

TEST(CommandQueue, TwoThreadsPushingLoseNothingThatFits) {
    CommandQueue queue;
    auto pushAll = [&queue](int first) {
        for (int i = 0; i < 100; ++i) queue.push({first + i, 0.0f});
    };
    std::thread a(pushAll, 0), b(pushAll, 1000);
    a.join();
    b.join();
    CommandQueue::Command command{};
    int fromA = 0, fromB = 0, lastA = -1, lastB = 999;
    while (queue.pop(command)) {
        if (command.tag < 1000) {
            EXPECT_GT(command.tag, lastA);
            lastA = command.tag;
            ++fromA;
        } else {
            EXPECT_GT(command.tag, lastB);
            lastB = command.tag;
            ++fromB;
        }
    }
    EXPECT_EQ(fromA, 100);
    EXPECT_EQ(fromB, 100);
}

} // namespace
