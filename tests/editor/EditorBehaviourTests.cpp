// The window's controls under a pointer: rewind, the list rows, the
// equaliser, loops and the time display, as a user clicks them.
#include "analysis/BeatAnalyser.h"
#include "analysis/KeyAnalyser.h"
#include "deck/KeyShifter.h"
#include "tests/editor/EditorFixture.h"

namespace {

class EditorClicks : public EditorFixture {
protected:
    void threeTracks() {
        setEntries({rampTrack("click-a.wav", 88200), rampTrack("click-b.wav", 88200), rampTrack("click-c.wav", 88200)});
        player->openTrack();
        player->waitForOpenings();
        player->setSize(88200, true);
        player->refreshList();
    }
    void clickRow(int32_t row, uint32_t buttons = platform::LeftButton) {
        showPage(2);
        clickTag(rowTag(row), buttons);
    }
    bool marked(int32_t entry) { return player->trackList().selected[entry]; }
};

TEST_P(EditorClicks, RewindInTheFirstSecondGoesToThePreviousTrackLaterToTheStart) {
    openWindow();
    threeTracks();
    player->trackList().currentIndex = 1;
    player->openTrack();
    player->setSize(88200, true);
    player->setPosition(22050); // half a second in
    clickTag(2);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 0);

    player->setSize(88200, true);
    player->setPosition(66150); // a second and a half in
    clickTag(2);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 0);
    EXPECT_EQ(player->getPosition(), 0);
    EXPECT_FLOAT_EQ(controls().position->getValue(), 0.0f);
}

TEST_P(EditorClicks, ListRowsToggleOnALeftClickPlayOnADoubleClickAndIgnoreTheRightButton) {
    openWindow();
    threeTracks();
    clickRow(1, platform::RightButton);
    EXPECT_FALSE(marked(1)) << "a right click does nothing";
    clickRow(1);
    EXPECT_TRUE(marked(1));
    now += 1000;
    clickRow(1);
    EXPECT_FALSE(marked(1)) << "a second click after 400 ms toggles again";

    now += 1000;
    clickRow(2);
    now += 150;
    clickRow(2);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 2) << "a double click plays the row";
    EXPECT_TRUE(marked(2));

    now += 1000;
    clickRow(0);
    now += 100;
    clickRow(1);
    EXPECT_TRUE(marked(0));
    EXPECT_TRUE(marked(1)) << "quick clicks on two rows mark both";
    EXPECT_EQ(player->trackList().currentIndex, 2);
}

TEST_P(EditorClicks, SelectedRowsShowTheSelectedBackgroundAndTheCurrentRowIsWhite) {
    openWindow();
    threeTracks();
    clickRow(1);
    const EditorControls& c = controls();
    EXPECT_EQ(c.rowLabels[1]->getBackground(), c.selectedRowBitmap);
    EXPECT_EQ(c.rowLabels[0]->getBackground(), c.rowBitmap);
    EXPECT_EQ(c.rowLabels[0]->getText(), "click-a");
    EXPECT_EQ(c.rowLabels[3]->getText(), "") << "rows past the list are empty";
}

// Rows of one name tell their kinds apart; a track that cannot be opened
// leaves nothing of the one before it on screen.
TEST_P(EditorClicks, RowsOfOneNameShowTheirKindAndAFailedOpeningClearsTheLastTrack) {
    openWindow();
    threeTracks();
    view().idle();
    EXPECT_NE(controls().length->getText(), "");
    const uint8_t* overview = editorOf(*player).overviewPixels();
    auto drawn = [&] { return std::any_of(overview, overview + TrackSource::overviewBytes, [](uint8_t v) { return v != 0; }); };
    for (int i = 0; i < 300 && !drawn(); ++i) platform::sleepMs(10); // the loader draws it meanwhile
    EXPECT_TRUE(drawn());

    setEntries({player->trackList().entries[0], "/gone/intro.wav", "/gone/intro.mp3", "/gone/outro.mp3"});
    player->trackList().currentIndex = 1;
    player->openTrack();
    player->refreshList();
    view().idle();
    EXPECT_EQ(controls().rowLabels[0]->getText(), "click-a");
    EXPECT_EQ(controls().rowLabels[1]->getText(), "intro.wav");
    EXPECT_EQ(controls().rowLabels[2]->getText(), "intro.mp3");
    EXPECT_EQ(controls().rowLabels[3]->getText(), "outro");
    EXPECT_EQ(controls().title->getText().rfind("Unable to open file", 0), 0u);
    EXPECT_EQ(controls().length->getText(), " 0:00");
    EXPECT_EQ(controls().bitRate->getText(), "");
    EXPECT_TRUE(std::all_of(overview, overview + TrackSource::overviewBytes, [](uint8_t v) { return v == 0; }));
}

// The row below the last shown one has no height until the list scrolls:
// it draws nothing over what lies below the list and takes none of its clicks.
TEST_P(EditorClicks, TheRowHiddenByTheScrollDrawsNothingAndTakesNoClick) {
    openWindow();
    showPage(2);
    const int32_t below = controls().listBottom;
    std::vector<uint32_t> before;
    for (int32_t x = 0; x < GetParam()->editorWidth; ++x) before.push_back(pixel(x, below));
    std::vector<std::string> entries;
    for (int i = 0; i < 12; ++i) entries.push_back("/music/WWWWWWWWWWWWWWWW-" + std::to_string(i) + ".wav");
    setEntries(entries);
    player->refreshList();
    view().idle();
    for (int32_t x = 0; x < GetParam()->editorWidth; ++x)
        ASSERT_EQ(pixel(x, below), before[static_cast<size_t>(x)]) << "x " << x;
    const int32_t hidden = controls().rowCount - 1;
    click(40, below);
    EXPECT_FALSE(player->trackList().selected[hidden]) << "the hidden entry was not toggled";
}

// The host's arrow keys stay its shortcuts: the deck never nudges the track
// with them, focused window or not.
TEST_P(EditorClicks, TheHostsArrowKeysNeverNudgeTheDeck) {
    playRamp(441000);
    openWindow();
    showPage(3);
    player->setPosition(200000);
    for (bool focused : {false, true}) {
        window().queueFocus(focused);
        view().idle();
        for (int32_t arrow = 11; arrow <= 14; ++arrow)
            EXPECT_EQ(player->dispatcher(effEditKeyDown, 0, arrow, nullptr, 0.0f), 0) << arrow;
    }
    EXPECT_EQ(player->getPosition(), 200000);
}

// The wheel scrolls the list over its rows and moves a fader under it.
TEST_P(EditorClicks, TheWheelScrollsTheListAndMovesFaders) {
    openWindow();
    std::vector<std::string> entries;
    for (int i = 0; i < 30; ++i) entries.push_back("/music/track-" + std::to_string(i) + ".wav");
    setEntries(entries);
    showPage(2);
    player->refreshList();
    const Point row = centreOf(rowTag(1));
    window().queueWheel(row.x, row.y, -1.0f); // towards the user: down the list
    view().idle();
    EXPECT_GT(player->trackList().viewTop, 0);
    const int32_t scrolled = player->trackList().viewTop;
    window().queueWheel(row.x, row.y, 1.0f);
    view().idle();
    EXPECT_LT(player->trackList().viewTop, scrolled);
    showPage(1);
    player->setParameter(TrackPlayer::Vol, 0.5f);
    view().idle();
    const Point fader = centreOf(PlayerEditor::TagVolume);
    window().queueWheel(fader.x, fader.y, 1.0f);
    view().idle();
    EXPECT_GT(player->getVolume(), 0.5f) << "away from the user raises the volume";
}

TEST_P(EditorClicks, TheEqualiserResetRestoresBandsAndCutsButKeepsTheVolume) {
    openWindow();
    player->setParameter(TrackPlayer::Vol, 0.4f);
    player->setParameter(TrackPlayer::EqBass, 0.9f);
    player->setParameter(TrackPlayer::EqCut1, 0.1f);
    player->setParameter(TrackPlayer::CutTreble, 1.0f);
    view().idle();
    ASSERT_FLOAT_EQ(player->getParameter(TrackPlayer::EqBass), 0.9f);
    showPage(1);
    clickTag(12);
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::EqBass), 0.5f);
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::EqCut1), 0.33f);
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::EqCut2), 0.67f);
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::CutTreble), 0.0f);
    EXPECT_FLOAT_EQ(controls().cuts[1]->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(player->getVolume(), 0.4f);
    EXPECT_FLOAT_EQ(controls().volume->getValue(), 0.4f);
}

TEST_P(EditorClicks, CrossoversPushAndPullEachOther) {
    openWindow();
    player->setParameter(TrackPlayer::EqCut1, 0.8f);
    view().idle();
    EXPECT_FLOAT_EQ(controls().crossovers[1]->getValue(), 0.8f) << "crossover 1 pushes crossover 2";
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::EqCut2), 0.8f);
    player->setParameter(TrackPlayer::EqCut2, 0.2f);
    view().idle();
    EXPECT_FLOAT_EQ(controls().crossovers[0]->getValue(), 0.2f) << "crossover 2 pulls crossover 1";
    EXPECT_FLOAT_EQ(player->getParameter(TrackPlayer::EqCut1), 0.2f);
}

TEST_P(EditorClicks, LoopButtonsActAsARadioGroupThatCanBeSwitchedOff) {
    openWindow();
    playRamp(441000);
    showPage(3);
    clickTag(loopTag(0));
    EXPECT_TRUE(player->isLoopOn());
    EXPECT_EQ(player->getLoopIndex(), 0);
    clickTag(loopTag(2));
    EXPECT_FLOAT_EQ(controls().loops[0]->getValue(), 0.0f) << "button 1 went off";
    EXPECT_FLOAT_EQ(controls().loops[2]->getValue(), 1.0f);
    EXPECT_TRUE(player->isLoopOn());
    EXPECT_EQ(player->getLoopIndex(), 2);
    EXPECT_FLOAT_EQ(player->getLoopBeats(), 1.0f);
    clickTag(loopTag(2));
    EXPECT_FALSE(player->isLoopOn()) << "the engaged button switches the loop off";
}

TEST_P(EditorClicks, TheTimeDisplayFlipsBetweenElapsedAndRemaining) {
    openWindow();
    view().showTime(0.25f, 15, 60);
    EXPECT_EQ(controls().time->getText(), " 0:15");
    click(120, 52); // the time display
    EXPECT_TRUE(view().showsRemainingTime());
    EXPECT_EQ(controls().time->getText(), "- 0:45") << "shown again at once";
    view().showTime(0.5f, 125, 200);
    EXPECT_EQ(controls().time->getText(), "- 1:15");
    EXPECT_FLOAT_EQ(controls().position->getValue(), 0.5f);
}

TEST_P(EditorClicks, PlayTogglesThePlayerAndPitchResetCentresBothSliders) {
    openWindow();
    playRamp(441000);
    player->setPlaying(false);
    clickTag(PlayerEditor::TagPlay);
    EXPECT_TRUE(player->isPlaying());
    player->setParameter(TrackPlayer::Pitch, 1.0f);
    view().idle();
    EXPECT_FLOAT_EQ(player->getPitch(), 32.0f);
    if (compact()) {
        EXPECT_FLOAT_EQ(controls().secondPitch->getValue(), 1.0f) << "the two pitch sliders agree";
    }
    clickTag(PlayerEditor::TagPitchReset);
    EXPECT_FLOAT_EQ(player->getPitch(), 0.0f);
    EXPECT_FLOAT_EQ(controls().pitch->getValue(), 0.5f);
}

TEST_P(EditorClicks, ABeatJumpMovesByTheTappedTempo) {
    openWindow();
    playRamp(441000);
    player->setPosition(220500);
    showPage(3);
    clickTag(compact() ? 42 + 3 : 44 + 3); // forward 3 beats at 120 bpm: 1.5 s
    EXPECT_NEAR(player->getPosition(), 220500 + 66150, 2);
    clickTag(compact() ? 34 + 0 : 36 + 0); // back half a beat
    EXPECT_NEAR(player->getPosition(), 220500 + 66150 - 11025, 2);
}

// The tempo display: the wheel doubles and halves the tempo as the user's
// correction; a light along its foot shows each beat, brighter on a bar's
// first; the key shows by the pitch's captions.
TEST_P(EditorClicks, TheTempoDisplayShowsTheBeatAndKeyAndTheWheelCorrectsItsOctave) {
    openWindow();
    playRamp(441000);
    BeatGrid grid;
    grid.bpm = 90.0;
    grid.firstBeatSeconds = 0.5;
    player->analysed(player->getCurrentSource(), grid, MusicalKey{9, true});
    view().idle();
    EXPECT_EQ(controls().key->text(), "8A / A minor");
    // A click on the key switches Sync, and the host records it.
    const int32_t sync = controls().tagCount - 1;
    TestHost::edits.clear();
    clickTag(sync);
    view().idle();
    EXPECT_TRUE(player->isSyncOn());
    EXPECT_EQ(controls().key->text(), "SYNC 8A");
    bool told = false;
    for (const TestHost::Edit& edit : TestHost::edits)
        told = told || (edit.opcode == audioMasterAutomate && edit.index == Deck::Sync && edit.value == 1.0f);
    EXPECT_TRUE(told);
    clickTag(sync);
    view().idle();
    EXPECT_FALSE(player->isSyncOn());
    EXPECT_EQ(controls().key->text(), "8A / A minor");
    if (KeyShifter::available()) {
        // The Key control moves the key heard: two semitones up.
        player->setParameter(Deck::Key, 8.0f / 12.0f);
        view().idle();
        EXPECT_EQ(controls().key->text(), "10A / B minor");
        player->setParameter(Deck::Key, 0.5f);
    }

    const Point tempo = centreOf(6);
    window().queueWheel(tempo.x, tempo.y, 1.0f);
    view().idle();
    EXPECT_FLOAT_EQ(player->getTempo(), 180.0f) << "up doubles";
    EXPECT_TRUE(player->isTempoByUser());
    window().queueWheel(tempo.x, tempo.y, -0.5f);
    view().idle();
    EXPECT_FLOAT_EQ(player->getTempo(), 180.0f) << "half a touchpad's turn is not a turn";
    window().queueWheel(tempo.x, tempo.y, -0.5f);
    view().idle();
    EXPECT_FLOAT_EQ(player->getTempo(), 90.0f) << "down halves";
    EXPECT_EQ(controls().tempo->text(), "90.0");

    // Beats of 29,400 frames from 22,050: the light along the display's foot.
    const Rect light = controls().beat->viewSize();
    auto lightAt = [&](int32_t frame) {
        player->setPosition(frame);
        view().idle();
        return Colour::fromPixel(pixel((light.left + light.right) / 2, light.top + 1));
    };
    const Colour off = lightAt(22050 + 15000);
    const Colour bar = lightAt(22050 + 4 * 29400 + 100);
    const Colour beat = lightAt(22050 + 5 * 29400 + 100);
    EXPECT_EQ(lightAt(22050 + 5 * 29400 + 15000), off) << "out between beats";
    EXPECT_FALSE(bar == off);
    EXPECT_FALSE(beat == off);
    EXPECT_GT(bar.red + bar.green + bar.blue, beat.red + beat.green + beat.blue) << "the bar's first beat is brighter";
}

TEST_P(EditorClicks, OpeningATrackTitlesTheWindowWithItsPlaceInTheList) {
    openWindow();
    threeTracks();
    view().idle();
    EXPECT_EQ(controls().title->getText(), "click-a 1/3");
    player->trackList().currentIndex = 2;
    player->requestOpen(); // as MIDI or the end of a track do, on the opener thread
    player->waitForOpenings();
    view().idle();
    EXPECT_EQ(controls().title->getText(), "click-c 3/3");
}

// The loader reports its progress more often than the window redraws the
// overview: a report that comes too soon is drawn at a later idle, so the
// window never keeps a part-drawn overview of a track walked to its end.
TEST_P(EditorClicks, TheOverviewShowsTheLoadersLastReportEvenWhenItCameTooSoon) {
    openWindow();
    uint8_t* overview = view().overviewPixels();
    auto paintColumn = [&](int32_t column, uint8_t red) {
        for (int32_t row = 0; row < TrackSource::overviewHeight; ++row)
            overview[(row * TrackSource::overviewWidth + column) * 3 + 2] = red;
    };
    const Rect& place = controls().position->viewSize();
    auto shown = [&](int32_t column) { return pixel(place.left + column, place.top + 8) >> 16 & 0xFF; };

    paintColumn(120, 200);
    player->loadProgress(1000);
    now += 1000; // whenever the last refresh of any window was
    view().idle();
    ASSERT_EQ(shown(120), 200u);
    paintColumn(121, 250);
    now += 10;
    player->loadProgress(2000); // the walk's last report, 10 ms after the one before
    view().idle();
    now += 150;
    view().idle();
    EXPECT_EQ(shown(121), 250u);
}

TUNEDECK_BOTH_BUILDS(EditorClicks);

} // namespace
