// The deck's values live in the player: host values and MIDI keys act with
// the window never opened, the window shows the player's values after one
// idle, and nothing draws off the GUI thread.
#include <atomic>
#include <random>
#include <thread>

#include "tests/editor/EditorFixture.h"

namespace {

class DeckModel : public EditorFixture {
protected:
    // A note-on through the host's call, acting with the next rendered frame.
    void note(int key) {
        VstMidiEvent on{kVstMidiType, sizeof(VstMidiEvent), 0, 0, 0, 0, {char(0x90), char(key), 100, 0}, 0, 0, 0, 0};
        VstEvents list{1, 0, {reinterpret_cast<VstEvent*>(&on), nullptr}};
        player->dispatcher(effProcessEvents, 0, 0, &list, 0.0f);
        render(1);
    }
    float position() { return player->getParameter(TrackPlayer::Position); }
    // Every control bearing a parameter shows the player's value.
    void expectControlsShowTheDeck() {
        const EditorControls& c = controls();
        EXPECT_FLOAT_EQ(c.play->getValue(), player->getParameter(TrackPlayer::Playing));
        EXPECT_FLOAT_EQ(c.autoRewind->getValue(), player->getParameter(TrackPlayer::AutoRewind));
        EXPECT_FLOAT_EQ(c.pitch->getValue(), player->getParameter(TrackPlayer::Pitch));
        if (c.secondPitch) {
            EXPECT_FLOAT_EQ(c.secondPitch->getValue(), player->getParameter(TrackPlayer::Pitch));
        }
        for (int32_t i = 0; i < 2; ++i)
            EXPECT_FLOAT_EQ(c.crossovers[i]->getValue(), player->getParameter(TrackPlayer::EqCut1 + i));
        for (int32_t i = 0; i < 3; ++i) {
            EXPECT_FLOAT_EQ(c.gains[i]->getValue(), player->getParameter(TrackPlayer::EqBass + i));
            EXPECT_FLOAT_EQ(c.cuts[i]->getValue(), player->getParameter(TrackPlayer::CutBass + i));
        }
        EXPECT_FLOAT_EQ(c.volume->getValue(), player->getParameter(TrackPlayer::Vol));
        for (int32_t i = 0; i < EditorControls::loopCount; ++i)
            EXPECT_EQ(c.loops[i]->getValue() > 0, player->isLoopOn() && player->getLoopIndex() == i) << i;
    }
};

TEST_P(DeckModel, HostValuesAndMidiKeysActWithTheWindowNeverOpened) {
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
    note(70); // pitch up by a step
    EXPECT_NEAR(player->getPitch(), 17.28f, 1e-3f);
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
TEST_P(DeckModel, ClosingAndReopeningTheWindowChangesNothing) {
    playRamp(441000);
    openWindow();
    player->setParameter(TrackPlayer::Vol, 0.6f);
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
    clickTag(PlayerEditor::TagPlay);
    EXPECT_TRUE(player->isPlaying());
}

// A host automating from its audio thread: the deck changes at once, the
// window shows it at the GUI thread's next idle and draws nothing before.
TEST_P(DeckModel, OtherThreadsChangeTheDeckAndTheWindowShowsItAfterOneIdle) {
    openWindow();
    playRamp(441000);
    const int32_t presents = window().presentCount();
    const std::string timeBefore = controls().time->getText();
    std::thread audio([&] {
        player->setParameter(TrackPlayer::Vol, 0.25f);
        player->setParameter(TrackPlayer::Pitch, 1.0f);
        player->setParameter(TrackPlayer::EqCut2, 0.1f); // pulls the first crossover along
        player->setParameter(TrackPlayer::Loop, 0.35f);
        player->setParameter(TrackPlayer::CutTweet, 1.0f);
        view().showTime(0.5f, 5, 10);
        player->setPlaying(false);
    });
    audio.join();
    EXPECT_FLOAT_EQ(player->getVolume(), 0.25f);
    EXPECT_FLOAT_EQ(player->getPitch(), 32.0f);
    EXPECT_EQ(player->getLoopIndex(), 2);
    EXPECT_EQ(window().presentCount(), presents) << "nothing was drawn off the GUI thread";
    EXPECT_EQ(controls().time->getText(), timeBefore) << "the label waits for the idle";
    view().idle();
    expectControlsShowTheDeck();
    EXPECT_FLOAT_EQ(controls().crossovers[0]->getValue(), 0.1f);
    EXPECT_EQ(controls().time->getText(), " 0:05");
    EXPECT_EQ(controls().tempo->getText(), "158.4") << "120 bpm at +32 %";
    EXPECT_GT(window().presentCount(), presents);
    player->setParameter(TrackPlayer::Loop, 0.0f);
    view().idle();
    expectControlsShowTheDeck();
}

// The window is never opened, then opened and closed again and again, while
// a host's thread automates every value: what the host reads back is what
// it set last, and the window shows the deck after one idle.
TEST_P(DeckModel, AutomationWhileTheWindowComesAndGoesReadsBackAsSet) {
    playRamp(441000);
    AEffect* effect = player->record();
    const int32_t automated[] = {TrackPlayer::AutoRewind, TrackPlayer::Pitch,    TrackPlayer::EqBass,
                                 TrackPlayer::EqTreble,   TrackPlayer::EqTweet,  TrackPlayer::Vol,
                                 TrackPlayer::CutBass,    TrackPlayer::CutTreble, TrackPlayer::CutTweet};
    std::atomic<bool> stop{false};
    float last[TrackPlayer::parameterCount] = {};
    std::thread host([&] {
        std::mt19937 random(7);
        std::uniform_int_distribution<int> step(0, 20);
        while (!stop) {
            for (int32_t index : automated) {
                const float value = static_cast<float>(step(random)) * 0.05f;
                effect->setParameter(effect, index, value);
                last[index] = value;
            }
            render(64);
        }
    });
    for (int round = 0; round < 20; ++round) {
        if (round > 5) {
            openWindow();
            view().idle();
            player->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    stop = true;
    host.join();
    for (int32_t index : automated) {
        const bool onOff = index >= TrackPlayer::CutBass;
        const float expected = index == TrackPlayer::AutoRewind ? std::round(last[index] * 2.0f) * 0.5f
                               : onOff                         ? (last[index] >= 0.5f ? 1.0f : 0.0f)
                                                               : last[index];
        EXPECT_FLOAT_EQ(effect->getParameter(effect, index), expected) << index;
    }
    openWindow();
    expectControlsShowTheDeck();
}

// Two decks in one process: a click on a row of each, 100 ms apart, is a
// click on each, never a double click of either.
TEST_P(DeckModel, ClicksOnTwoDecksAreNeverOneDoubleClick) {
    setEntries({rampTrack("two-decks-a.wav", 44100), rampTrack("two-decks-b.wav", 44100)});
    player->refreshList();
    auto other = std::make_unique<TrackPlayer>(TestHost::callback, profile(), TrackPlayer::makeEditor);
    std::swap(player, other);
    setEntries({rampTrack("two-decks-a.wav", 44100), rampTrack("two-decks-b.wav", 44100)});
    player->refreshList();
    openWindow();
    showPage(2);
    std::swap(player, other);
    openWindow();
    showPage(2);
    for (int deck = 0; deck < 2; ++deck) {
        clickTag(rowTag(1));
        now += 100;
        std::swap(player, other);
    }
    for (TrackPlayer* deck : {player.get(), other.get()}) {
        EXPECT_TRUE(deck->trackList().selected[1]) << "the row is marked";
        EXPECT_EQ(deck->trackList().currentIndex, 0) << "and not played";
    }
    other.reset();
}

TEST_P(DeckModel, ClosingWithTheWindowOpenLeavesThePlayerWhole) {
    openWindow();
    playRamp(441000);
    player->setParameter(TrackPlayer::Vol, 0.7f);
    player.reset(); // the host closes the plug-in with its window open
    SUCCEED();
}

TUNEDECK_BOTH_BUILDS(DeckModel);

} // namespace
