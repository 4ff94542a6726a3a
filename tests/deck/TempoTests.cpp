#include "tests/support/PlayerFixture.h"

namespace {

class Tempo : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        platform::setTickSource(tick);
        now = 100000;
    }
    void taps(std::initializer_list<uint32_t> intervals) {
        player->tapTempo();
        for (uint32_t dt : intervals) {
            now += dt;
            player->tapTempo();
        }
    }
};

TEST_F(Tempo, FiveEvenTapsGiveTheTempoOfTheTrackItself) {
    taps({500, 500, 500, 500});
    EXPECT_FLOAT_EQ(player->getTempo(), 120.0f);
    player->setPitch((20.0f / 32.0f + 1.0f) * 0.5f); // +20 %
    now += 5000;
    taps({500, 500, 500, 500});
    EXPECT_FLOAT_EQ(player->getTempo(), 100.0f);
}

TEST_F(Tempo, APauseStartsANewSeriesFoundOnlyAtItsFifthTap) {
    taps({600, 600, 600, 600});
    ASSERT_FLOAT_EQ(player->getTempo(), 100.0f);
    now += 2401;
    taps({500, 500, 500});
    EXPECT_FLOAT_EQ(player->getTempo(), 100.0f) << "four taps of the new series";
    now += 500;
    player->tapTempo();
    EXPECT_FLOAT_EQ(player->getTempo(), 120.0f);
}

TEST_F(Tempo, AnExtraTapInTheMiddleIsRejected) {
    taps({500, 500, 250, 500, 500});
    EXPECT_FLOAT_EQ(player->getTempo(), 120.0f);
}

TEST_F(Tempo, WhenEveryIntervalIsRejectedTheTempoStays) {
    player->setTempo(90.0f);
    taps({500, 500, 500, 1000});
    EXPECT_FLOAT_EQ(player->getTempo(), 90.0f);
}

TEST_F(Tempo, AHundredTapsKeepTheNewestHundred) {
    player->tapTempo();
    for (int i = 0; i < 150; ++i) {
        now += 400;
        player->tapTempo();
    }
    EXPECT_FLOAT_EQ(player->getTempo(), 150.0f);
}

VstTimeInfo lastTime;
int timesSent = 0;
intptr_t timeHost(AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterSetTime && ptr) {
        lastTime = *static_cast<VstTimeInfo*>(ptr);
        ++timesSent;
    }
    return 0;
}

TEST(TimeInfo, TheHostReceivesBarsCountedFromTheBeatOrigin) {
    TrackPlayer player(timeHost, fullProfile);
    std::string path = PlayerFixture::rampTrack("time-info.wav", 200000);
    std::snprintf(player.trackList().entries[0], TrackList::pathRoom, "%s", path.c_str());
    player.trackList().count = 1;
    player.openTrack();
    player.setPosition(132300);
    timesSent = 0;
    player.sendTimeInfo();
    ASSERT_EQ(timesSent, 1);
    EXPECT_DOUBLE_EQ(lastTime.ppqPos, 6.0);
    EXPECT_DOUBLE_EQ(lastTime.barStartPos, 4.0);
    EXPECT_DOUBLE_EQ(lastTime.tempo, 120.0);
    EXPECT_EQ(lastTime.timeSigNumerator, 4);
    EXPECT_EQ(lastTime.flags, 0x2E00);
    player.setPosition(100000);
    player.tapTempo(); // one stray click moves nothing
    EXPECT_EQ(player.getBeatOrigin(), 0);
    player.tapTempo(); // a second in time: the tap is a bar's first beat
    player.setPosition(10);
    player.sendTimeInfo();
    EXPECT_EQ(player.getBeatOrigin(), 100000) << "the time sent never moves the grid";
    EXPECT_GE(lastTime.ppqPos, 0.0);
    const double before = lastTime.ppqPos;
    player.setPosition(100000);
    player.sendTimeInfo();
    EXPECT_NEAR(lastTime.ppqPos - before, 99990.0 / 22050.0, 1e-6);
    EXPECT_DOUBLE_EQ(lastTime.barStartPos, lastTime.ppqPos) << "a bar begins at the tap";
    // Faster, a beat of the track still lasts its own frames.
    player.setParameter(TrackPlayer::Pitch, 0.75f);
    player.setPosition(100000 + 3 * 22050);
    player.sendTimeInfo();
    EXPECT_NEAR(lastTime.ppqPos - before, 99990.0 / 22050.0 + 3.0, 1e-6);
    EXPECT_GT(lastTime.tempo, 120.0) << "the tempo sent is the playing speed's";
}

} // namespace
