#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/support/PlayerFixture.h"
#include "tests/support/SignalMeasure.h"

namespace {

uint32_t fakeNow = 0;
uint32_t fakeTick() { return fakeNow; }

class Rendering : public PlayerFixture {
protected:
    // A stereo tone of the given frequency and peak (16-bit).
    static std::string toneTrack(const std::string& name, double hz, int frames, int peak = 16384, int rate = 44100) {
        testdata::WavRecipe recipe;
        recipe.frames = frames;
        recipe.sampleRate = rate;
        recipe.sample = [hz, peak, rate](int frame, int) {
            return static_cast<int>(std::lround(peak * std::sin(2 * M_PI * hz * frame / rate)));
        };
        return testdata::writeWav(name, recipe);
    }
    void playFile(const std::string& path, int frames) {
        setEntries({path});
        unityLevels();
        player->openTrack();
        player->setSize(frames, true);
        player->setPlaying(true);
    }
    // Renders total frames in host blocks of blockSize into one long buffer.
    std::vector<float> renderInBlocks(int64_t total, int32_t blockSize, bool replace = true) {
        std::vector<float> all;
        all.reserve(total);
        while (static_cast<int64_t>(all.size()) < total) {
            auto n = static_cast<int32_t>(std::min<int64_t>(blockSize, total - all.size()));
            render(n, replace);
            all.insert(all.end(), left.begin(), left.end());
        }
        return all;
    }
};

// A 5.1 mix folds into the deck's two channels: the centre 3 dB down on both
// sides, a surround 3 dB down on its own side, the LFE channel left out.
TEST_F(Rendering, SurroundTracksFoldDownToStereo) {
    struct Case { const char* kind; uint32_t mask; int channel; double left, right; };
    const double down3dB = std::sqrt(0.5);
    // Channels 0-5: front left, front right, centre, LFE, then back (the
    // default) or side (mask 0x60F) left and right.
    const Case cases[] = {{"wav", 0, 2, down3dB, down3dB}, {"wav", 0, 3, 0, 0},   {"wav", 0, 0, 1, 0},
                          {"wav", 0x60F, 5, 0, down3dB},  {"flac", 0, 2, down3dB, down3dB},
                          {"flac", 0, 4, down3dB, 0}};
    for (const Case& c : cases) {
        testdata::WavRecipe recipe;
        recipe.channels = 6;
        recipe.frames = 44100;
        recipe.extensible = c.mask != 0;
        recipe.speakerMask = c.mask;
        recipe.sample = [&c](int frame, int channel) {
            return channel == c.channel ? static_cast<int>(std::lround(16384 * std::sin(2 * M_PI * 1000 * frame / 44100.0))) : 0;
        };
        const std::string name = std::string("surround-") + c.kind + std::to_string(c.mask) + "-" + std::to_string(c.channel);
        const std::string path = testdata::encodedTrack(name, recipe, c.kind);
#ifdef _WIN32
        if (path.empty()) continue; // no FLAC encoder under wine
#endif
        ASSERT_FALSE(path.empty()) << name;
        setEntries({path});
        unityLevels();
        ASSERT_TRUE(player->openTrack()) << name;
        player->setPlaying(true);
        render(4096);
        render(16384);
        auto rms = [](const std::vector<float>& x) {
            double sum = 0;
            for (float v : x) sum += static_cast<double>(v) * v;
            return std::sqrt(sum / static_cast<double>(x.size()));
        };
        const double full = 0.5 / std::sqrt(2.0); // the tone's own level, peak 0.5
        EXPECT_NEAR(rms(left) / full, c.left, 0.02) << name;
        EXPECT_NEAR(rms(right) / full, c.right, 0.02) << name;
    }
}

TEST_F(Rendering, AToneKeepsItsPitchAtEveryBlockSizeHostRateAndPitch) {
    const std::string tone = toneTrack("tone-5k.wav", 5000.0, 44100 * 3);
    for (float hostRate : {44100.0f, 48000.0f})
        for (float pitchSlider : {0.5f, 0.625f}) // pitch 0 and +8 %
            for (int32_t block : {1, 64, 512, 4096}) {
                player->setSampleRate(hostRate);
                player->setPitch(pitchSlider);
                player->setPlaying(false);
                render(1); // a stopped deck starts at its pitch, without a glide
                playFile(tone, 44100 * 3);
                std::vector<float> out = renderInBlocks(static_cast<int64_t>(hostRate), block);
                const double expected = 5000.0 * (1.0 + player->getPitch() * 0.01);
                EXPECT_NEAR(measure::toneFrequency(out, hostRate), expected, expected * 1e-4)
                    << "host " << hostRate << " Hz, pitch " << player->getPitch() << " %, blocks of " << block;
                const double advanced = 44100.0 / hostRate * (1.0 + player->getPitch() * 0.01) * hostRate;
                EXPECT_NEAR(player->getExactPosition(), advanced, 1e-6 * advanced) << "the position is frames x ratio";
            }
}

// Tones from 1 to 20 kHz, as far as the track can hold them and they land
// below the host's 20 kHz (or the same share of a lower rate), at every
// pitch and for tracks and hosts at different rates: nothing else comes
// out louder than -90 dB under the tone, and every tone keeps the level of
// a 1 kHz tone within 0.1 dB.
TEST_F(Rendering, EveryToneComesOutCleanAndAtOneLevelAtEveryPitchAndPairOfRates) {
    constexpr double kept = 20000.0 / 44100.0; // the share of a rate kept flat
    const struct {
        int track;
        float host;
    } pairs[] = {{44100, 48000.0f}, {48000, 44100.0f}, {96000, 44100.0f}, {8000, 48000.0f}, {44100, 44100.0f}};
#ifdef TUNEDECK_SANITIZED
    // The sanitizers' build runs ten times slower: the range's ends and a
    // small pitch, the reference tone and the highest ones.
    const std::vector<double> pitches = {-32.0, 3.0, 32.0}, tones = {1000.0, 18000.0, 20000.0};
#else
    const std::vector<double> pitches = {-32.0, -3.0, 0.0, 3.0, 32.0}, tones = {1000.0, 5000.0, 10000.0, 18000.0, 20000.0};
#endif
    for (const auto& pair : pairs) {
        for (const double pitch : pitches) {
            const double factor = 1.0 + pitch / 100.0;
            double reference = 0.0;
            for (const double hz : tones) {
                if (hz > kept * pair.track + 1.0 || hz * factor > kept * pair.host + 1.0) continue;
                testdata::WavRecipe recipe;
                recipe.sampleRate = pair.track;
                recipe.frames = static_cast<int>(pair.track * 1.2 * factor * 44100.0 / pair.host) + 4096;
                recipe.bits = 32;
                recipe.formatTag = 3;
                recipe.floatSample = [hz, &pair](int frame, int) { return 0.5 * std::sin(2 * M_PI * hz * frame / pair.track); };
                const std::string path = testdata::writeWav("clean-tone.wav", recipe);
                player->setSampleRate(pair.host);
                player->setPitch(static_cast<float>(0.5 + pitch / 64.0));
                player->setPlaying(false);
                render(1); // a stopped deck starts at its pitch, without a glide
                playFile(path, recipe.frames);
                const std::vector<float> out = renderInBlocks(32768 + 8192, 512);
                const std::string what = std::to_string(pair.track) + " Hz track on " + std::to_string(pair.host) +
                                         " Hz, pitch " + std::to_string(pitch) + " %, tone " + std::to_string(hz);
                const double spur = measure::largestSpurDb(out, 32768);
                EXPECT_LT(spur, -90.0) << what;
                double sum = 0.0;
                for (size_t i = 8192; i < out.size(); ++i) sum += static_cast<double>(out[i]) * out[i];
                const double level = 10.0 * std::log10(sum / static_cast<double>(out.size() - 8192));
                if (hz == 1000.0) reference = level;
                EXPECT_NEAR(level, reference, 0.1) << what;
            }
        }
    }
}

TEST_F(Rendering, AHighRateTrackOnAFortyFourKilohertzHostKeepsItsBandAndFoldsNothingBack) {
    auto rmsDb = [](const std::vector<float>& x) {
        double sum = 0;
        for (size_t i = 2000; i < x.size(); ++i) sum += static_cast<double>(x[i]) * x[i];
        return 10 * std::log10(sum / static_cast<double>(x.size() - 2000) + 1e-30);
    };
    const double toneDb = 10 * std::log10(0.5 * 0.5 / 2); // a sine of peak 0.5
    for (double pitchSlider : {0.5, 0.625}) {
        playFile(toneTrack("tone-10k-96.wav", 10000.0, 96000, 16384, 96000), 96000);
        player->setSampleRate(44100.0f);
        player->setPitch(static_cast<float>(pitchSlider));
        EXPECT_NEAR(rmsDb(renderInBlocks(30000, 512)), toneDb, 0.5) << "a 10 kHz tone is kept";
        playFile(toneTrack("tone-25k-96.wav", 25000.0, 96000, 16384, 96000), 96000);
        player->setSampleRate(44100.0f);
        player->setPitch(static_cast<float>(pitchSlider));
        EXPECT_LT(rmsDb(renderInBlocks(30000, 512)), toneDb - 80) << "25 kHz is above the host's band";
    }
}

TEST_F(Rendering, AtRatioOneTheTrackIsCopiedBitForBit) {
    playRamp(44100);
    ASSERT_EQ(player->getSampleRate(), 0.0f) << "no host rate yet: 44,100 Hz";
    render(512);
    EXPECT_EQ(player->getPosition(), 512);
    for (int i = 0; i < 512; ++i) ASSERT_EQ(left[i], rampValue(i)) << i;
    EXPECT_EQ(right[100], -rampValue(100));
}

TEST_F(Rendering, StoppedReplacingWritesSilenceAndAccumulatingLeavesTheHostsSound) {
    playRamp(5000);
    player->setPlaying(false);
    std::vector<float> l(64, 0.5f), r(64, 0.5f);
    float* outs[2] = {l.data(), r.data()};
    player->renderBlock(AudioThread::claim(), outs, 64, false);
    EXPECT_EQ(l[3], 0.5f);
    player->renderBlock(AudioThread::claim(), outs, 64, true);
    EXPECT_EQ(l[3], 0.0f);
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
    unityLevels();
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

TEST_F(Rendering, AccumulatingModeAddsTheDeckToTheHostsSoundAndNeverFadesIt) {
    // Two decks in the same state, one replacing and one adding to a host
    // buffer that already holds sound, through a loop jump, a reverse
    // stretch longer than a second and a beat move.
    TrackPlayer twin(TestHost::callback, profile(), editorFactory());
    playRamp(441000);
    TrackPlayer* decks[2] = {player.get(), &twin};
    for (TrackPlayer* deck : decks) {
        deck->trackList() = player->trackList();
        deck->openTrack();
        deck->setSize(441000, true);
        deck->setPlaying(true);
        deck->setGain(0, 0.9f); // the band equaliser at work
        deck->setGain(1, 0.5f);
        deck->setGain(2, 0.2f);
        deck->setVolume(1.0f);
        deck->setPosition(300000);
        deck->setLoop(true, 1.0f, 2);
    }
    std::vector<float> replaced(8192), hostLeft(8192), hostRight(8192), zeros(8192);
    auto both = [&](int32_t frames) {
        float* outs[2] = {replaced.data(), zeros.data()};
        player->renderBlock(AudioThread::claim(), outs, frames, true);
        for (int32_t i = 0; i < frames; ++i) hostLeft[i] = hostRight[i] = 0.25f * std::sin(0.01f * i);
        float* host[2] = {hostLeft.data(), hostRight.data()};
        twin.renderBlock(AudioThread::claim(), host, frames, false);
        for (int32_t i = 0; i < frames; ++i)
            ASSERT_EQ(hostLeft[i], 0.25f * std::sin(0.01f * i) + replaced[i]) << i;
    };
    both(8192); // the loop jumps back at once
    for (TrackPlayer* deck : decks) deck->move(-2.0f);
    both(8192);
    platform::setTickSource(fakeTick);
    fakeNow = 10;
    for (TrackPlayer* deck : decks) deck->setLoop(false, 0, 2), deck->jog(-0.25f); // backwards at ratio -1
    both(8192);
    both(8192);
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
    render(100);
    EXPECT_EQ(player->getCrossfadeRemaining(), 1024 - 100) << "the move fades over the next blocks";
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

TEST_F(Rendering, ABeatLoopRepeatsEveryLoopLengthOverRatioAtEveryBlockSizeAndPitch) {
    // One click inside the loop: it sounds once a repetition.
    testdata::WavRecipe recipe;
    recipe.frames = 44100 * 2;
    recipe.sample = [](int frame, int) { return frame == 30000 ? 30000 : 0; };
    const std::string clicks = testdata::writeWav("one-click.wav", recipe);
    for (float pitchSlider : {0.5f, 0.625f})
        for (int32_t block : {64, 512, 8192}) {
            playFile(clicks, 44100 * 2);
            player->setSampleRate(48000.0f);
            player->setPitch(pitchSlider);
            player->setPosition(44100);
            player->setLoop(true, 1.0f, 2); // one beat at 120 BPM: 22,050 frames ending at 44,100
            const double ratio = 44100.0 / 48000.0 * (1.0 + player->getPitch() * 0.01);
            const double period = 22050.0 / ratio;
            std::vector<float> out = renderInBlocks(static_cast<int64_t>(period * 33), block);
            std::vector<long> at = measure::clickFrames(out, 0.4f);
            ASSERT_GE(at.size(), 32u) << "blocks of " << block;
            for (size_t i = 1; i < at.size(); ++i)
                ASSERT_NEAR(at[i] - at[i - 1], period, 1.0) << "repetition " << i << ", blocks of " << block
                                                            << ", pitch " << player->getPitch();
            EXPECT_NEAR(at.back() - at.front(), period * static_cast<double>(at.size() - 1), 1.0) << "no drift";
        }
}

TEST_F(Rendering, ALoopPlaysEveryFrameFromItsStartToItsEndWithLargeBlocks) {
    playRamp(88200);
    player->setPosition(44100);
    player->setLoop(true, 1.0f, 2);
    std::vector<float> out = renderInBlocks(22050 * 4, 8192);
    // After each jump the crossfade mixes the tail in for 1,024 frames;
    // everywhere else the output is the loop's frames in order.
    for (size_t i = 0; i < out.size(); ++i) {
        if (i % 22050 < 1024) continue;
        ASSERT_EQ(out[i], rampValue(static_cast<int>(22050 + i % 22050))) << i;
    }
}

TEST_F(Rendering, AutoRewindOnATrackShorterThanABlockRepeatsItWithoutAGap) {
    playRamp(4410); // 0.1 s
    player->setAutoRewind(1);
    std::vector<float> out = renderInBlocks(4096 * 5, 4096);
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], rampValue(static_cast<int>(i % 4410))) << i;
    EXPECT_EQ(player->getPosition(), 4096 * 5 % 4410);
    EXPECT_TRUE(player->isPlaying());
}

TEST_F(Rendering, EntriesThatCannotBeOpenedAreSkippedAtTheEndOfATrack) {
    const std::string a = rampTrack("skip-a.wav", 600), c = rampTrack("skip-c.wav", 3000);
    for (const char* missing : {"gone.wav", "gone.mp3"}) {
        setEntries({a, testdata::tempPath(missing), c});
        unityLevels();
        player->trackList().currentIndex = 0;
        player->openTrack();
        player->setSize(600, true);
        player->setPlaying(true);
        const int errors = editor().openErrors;
        render(512);
        render(512);
        player->waitForOpenings();
        EXPECT_EQ(player->trackList().currentIndex, 2) << missing;
        EXPECT_EQ(editor().openErrors, errors + 1) << "\"Unable to open file\" for " << missing;
        EXPECT_TRUE(player->isPlaying());
        for (int i = 0; i < 200 && player->getLength() != 3000; ++i) platform::sleepMs(5);
        render(512);
        EXPECT_EQ(left[5], rampValue(5)) << "the entry after " << missing << " plays from its start";
    }
}

TEST_F(Rendering, AListOfWhichNothingOpensStopsInsteadOfPlayingOnInSilence) {
    const std::string a = rampTrack("alone-a.wav", 600);
    setEntries({a, testdata::tempPath("missing-1.mp3"), testdata::tempPath("missing-2.wav")});
    player->openTrack();
    player->setSize(600, true);
    player->setPlaying(true);
    render(512);
    render(512);
    player->waitForOpenings();
    EXPECT_FALSE(player->isPlaying());
    EXPECT_EQ(player->getLength(), 0) << "nothing of the last track that opened plays again";
    render(512);
    EXPECT_EQ(*std::max_element(left.begin(), left.end()), 0.0f);
}

} // namespace
