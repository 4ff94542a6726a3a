#include <algorithm>

#include "tests/support/PlayerFixture.h"

namespace {

uint32_t fakeNow = 0;
uint32_t fakeTick() { return fakeNow; }

class Rendering : public PlayerFixture {};

TEST_F(Rendering, StoppedReplacingWritesSilenceAndAccumulatingLeavesTheHostsSound) {
    playRamp(5000);
    player->setPlaying(false);
    std::vector<float> l(64, 0.5f), r(64, 0.5f);
    float* outs[2] = {l.data(), r.data()};
    player->renderBlock(outs, 64, false);
    EXPECT_EQ(l[3], 0.5f);
    player->renderBlock(outs, 64, true);
    EXPECT_EQ(l[3], 0.0f);
}

TEST_F(Rendering, AFortyEightKilohertzHostPlaysAt0_91875AndAdvances470FramesABlock) {
    playRamp(44100);
    player->setSampleRate(48000.0f);
    render(512);
    EXPECT_EQ(player->getPosition(), 470);
    EXPECT_FLOAT_EQ(left[1], rampValue(0) + (rampValue(1) - rampValue(0)) * 0.91875f);
}

TEST_F(Rendering, WithoutAHostRateTheTrackPlaysAt44100) {
    playRamp(44100);
    ASSERT_EQ(player->getSampleRate(), 0.0f);
    render(512);
    EXPECT_EQ(player->getPosition(), 512);
    for (int i = 0; i < 512; ++i) ASSERT_FLOAT_EQ(left[i], rampValue(i)) << i;
    EXPECT_FLOAT_EQ(right[100], -rampValue(100));
}

TEST_F(Rendering, ABlockEndingExactlyOnTheLengthDoesNotEndTheTrack) {
    playRamp(1024);
    player->setAutoRewind(2);
    render(512);
    render(512);
    EXPECT_EQ(player->getPosition(), 1024);
    EXPECT_TRUE(player->isPlaying());
    render(512);
    EXPECT_FALSE(player->isPlaying()) << "the block that passes the end stops with AutoRewind 2";
    EXPECT_EQ(player->getPosition(), 0);
}

TEST_F(Rendering, AutoRewindOneWrapsToTheStartAndPlaysOn) {
    playRamp(1000);
    player->setAutoRewind(1);
    player->setPosition(990);
    render(20);
    EXPECT_EQ(player->getPosition(), 10);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_FLOAT_EQ(left[9], rampValue(999));
    EXPECT_FLOAT_EQ(left[10], rampValue(0)) << "the read wraps to frame 0";
}

TEST_F(Rendering, AtTheEndTheNextEntryOpensAndPlaysOnOrPlaybackStops) {
    std::string a = rampTrack("end-a.wav", 600), b = rampTrack("end-b.wav", 3000);
    setEntries({a, b});
    player->openTrack();
    player->setSize(600, true);
    player->setPlaying(true);
    render(512);
    render(512);
    EXPECT_EQ(player->trackList().currentIndex, 1);
    player->waitForOpenings();
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(player->getPosition(), 0);
    for (int i = 0; i < 200 && player->getLength() != 3000; ++i) platform::sleepMs(5);
    ASSERT_EQ(player->getLength(), 3000);
    render(512);
    EXPECT_FLOAT_EQ(left[5], rampValue(5)) << "the next track plays from its start";
    for (int i = 0; i < 6; ++i) render(512);
    EXPECT_FALSE(player->isPlaying()) << "no entry after the last";
}

TEST_F(Rendering, ReversePlayNearTheStartPlaysTheFirstFramesBackwardsThenSilence) {
    playRamp(44100);
    platform::setTickSource(fakeTick);
    fakeNow = 10;
    player->jog(-0.25f); // bend -200 %: ratio -1
    player->setPosition(100);
    render(512);
    for (int i = 0; i < 100; ++i) ASSERT_FLOAT_EQ(left[i], rampValue(99 - i)) << i;
    for (int i = 100; i < 512; ++i) ASSERT_EQ(left[i], 0.0f) << i;
    EXPECT_EQ(player->getPosition(), 0);
}

TEST_F(Rendering, AccumulatingReverseReadsOfAnyLengthStayInTheScratchBuffers) {
    playRamp(200000);
    std::vector<float> l(50000, 1.0f), r(50000, 1.0f);
    float* outs[2] = {l.data(), r.data()};
    ASSERT_TRUE(player->pullBlock(outs, 50000, 150000, -1.0f, false, 0));
    EXPECT_FLOAT_EQ(l[0], 1.0f + rampValue(149999));
    EXPECT_FLOAT_EQ(l[44099], 1.0f + rampValue(105900));
    EXPECT_EQ(l[44100], 1.0f) << "values past the scratch length are left alone";
}

TEST_F(Rendering, TheOneBeatLoopRepeatsTheLast22050FramesAndFollowsASeek) {
    playRamp(441000);
    player->setPosition(44100);
    player->setLoop(true, 1.0f, 2);
    EXPECT_EQ(player->getLoopEnd(), 44100);
    render(512);
    EXPECT_EQ(player->getPosition(), 22050 + 512) << "jumped back one beat";
    EXPECT_EQ(player->getCrossfadeRemaining(), 1024 - 512);
    EXPECT_FLOAT_EQ(left[0], rampValue(44100)) << "the crossfade starts on the tail";
    for (int played = 512; played < 22050; played += 512) render(512);
    EXPECT_LT(player->getPosition(), 44100) << "the loop keeps repeating";
    EXPECT_GE(player->getPosition(), 22050);

    player->seek(0.5f);
    EXPECT_EQ(player->getLoopEnd(), 220500 + 22050);
    player->seek(0.99f);
    EXPECT_EQ(player->getLoopEnd(), 441000) << "shorter at the end of the track";
}

TEST_F(Rendering, ALoopOfNoFramesEndsTheBlockInsteadOfSpinning) {
    playRamp(44100);
    player->setTempo(1e30f);
    player->setPosition(1000);
    player->setLoop(true, 0.25f, 0);
    render(512);
    SUCCEED();
}

TEST_F(Rendering, SeekToTheStartInTheFirstSecondGoesToThePreviousEntry) {
    std::string a = rampTrack("seek-a.wav", 88200), b = rampTrack("seek-b.wav", 88200);
    setEntries({a, b});
    player->trackList().currentIndex = 1;
    player->openTrack();
    player->setSize(88200, true);
    player->setPosition(30000);
    player->seek(0.0f);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 0);
    player->setSize(88200, true);
    player->setPosition(60000);
    player->seek(0.0f);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 0) << "later, or on the first entry, it only rewinds";
    EXPECT_EQ(player->getPosition(), 0);
}

TEST_F(Rendering, MovingWithALoopKeepsTheLoopEndInRangeAndTheDistanceToIt) {
    playRamp(100000);
    player->setPosition(30000);
    player->setLoop(true, 1.0f, 2); // 22,050 frames, ends at 30,000
    player->setPosition(25000);
    player->move(-8.0f);
    EXPECT_EQ(player->getLoopEnd(), 22050) << "never below the loop length";
    EXPECT_EQ(player->getPosition(), 22050 - 5000);
    player->move(16.0f);
    EXPECT_EQ(player->getLoopEnd(), 99999) << "never past length - 1";
    EXPECT_EQ(player->getPosition(), 99999 - 5000);
    EXPECT_EQ(player->getCrossfadeRemaining(), 1024);
}

TEST_F(Rendering, MovingWithoutALoopStaysInsideTheTrack) {
    playRamp(100000);
    player->setPosition(1000);
    player->move(-1.0f);
    EXPECT_EQ(player->getPosition(), 0);
    player->move(2.0f);
    EXPECT_EQ(player->getPosition(), 44100);
    player->move(64.0f);
    EXPECT_EQ(player->getPosition(), 99999);
}

TEST_F(Rendering, TheJogBendDecaysAfterTheWheelStops) {
    platform::setTickSource(fakeTick);
    fakeNow = 1000;
    player->jog(0.1f);
    float bend = player->currentBend();
    EXPECT_NE(bend, 0.0f);
    fakeNow = 1000 + 375;
    EXPECT_FLOAT_EQ(player->currentBend(), 125 * bend * 0.001f);
    fakeNow = 1000 + 600;
    EXPECT_EQ(player->currentBend(), 0.0f);
    player->jog(0.95f); // from 0.1 to 0.95 is a small turn backwards across the wrap
    EXPECT_LT(player->currentBend(), 0.0f);
}

TEST_F(Rendering, PressingTheEngagedLoopButtonAgainChangesNothing) {
    playRamp(100000);
    player->setPosition(50000);
    player->setLoop(true, 1.0f, 2);
    player->setPosition(60000);
    player->setLoop(true, 1.0f, 2);
    EXPECT_EQ(player->getLoopEnd(), 50000);
    player->setLoop(false, 0.0f, 2);
    EXPECT_FALSE(player->isLoopOn());
}

} // namespace
