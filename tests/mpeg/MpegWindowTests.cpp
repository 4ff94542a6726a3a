#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <tuple>
#include <random>
#include <sstream>

#include <gtest/gtest.h>

#include "log/DebugLog.h"
#include "sources/Resampler.h"
#include "tests/mpeg/MpegTestSupport.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/PlayerFixture.h"
#include "tests/support/TestFiles.h"

namespace {

class MpegReads : public ::testing::Test {
protected:
    void open(const std::string& name) {
        path = mpegFile(name);
        reference = decodeMusic(path);
        ASSERT_FALSE(reference.left.empty()) << "mpg123 and libmad agree on " << name;
        ASSERT_TRUE(source.openOnly(path));
    }
    // Reads count values at position and checks them against the reference.
    void expectFrames(int32_t position, int32_t count, const char* what) {
        std::vector<float> l(count), r(count);
        float* outs[2] = {l.data(), r.data()};
        ASSERT_TRUE(source.getSound(outs, count, position, 1.0f, true, false)) << what;
        for (int32_t j = 0; j < count; ++j) {
            ASSERT_EQ(l[j], reference.left[position + j]) << what << " frame " << position + j;
            ASSERT_EQ(r[j], reference.right[position + j]) << what << " frame " << position + j;
        }
    }
    RecordingSourceOwner owner;
    QuietMpegSource source{&owner};
    std::string path;
    Decoded reference;
};

TEST_F(MpegReads, TheFirstReadDecodesFromTheFilesStart) {
    open("cbr128-44k-stereo.mp3");
    expectFrames(0, 4096, "first read");
    EXPECT_EQ(source.getWindowStart(), 0);
}

TEST_F(MpegReads, ReplaceCopiesAndAccumulateAdds) {
    open("layer2-44k-stereo.mp2");
    std::vector<float> l(1000, 0.25f), r(1000, 0.25f);
    float* outs[2] = {l.data(), r.data()};
    ASSERT_TRUE(source.getSound(outs, 1000, 3000, 1.0f, false, false));
    for (int j = 0; j < 1000; ++j) ASSERT_FLOAT_EQ(l[j], 0.25f + reference.left[3000 + j]) << j;
}

TEST_F(MpegReads, ReadsAtOtherSpeedsMatchTheIndependentDecodeResampled) {
    open("cbr128-44k-stereo.mp3");
    // The same kernel over mpg123's whole decode: what the window holds and
    // where it is placed must not change what is heard.
    Resampler independent;
    auto fromReference = [&](int64_t first, int32_t n, float* left, float* right) {
        for (int32_t j = 0; j < n; ++j) {
            const int64_t f = first + j;
            const bool inside = f >= 0 && f < static_cast<int64_t>(reference.left.size());
            left[j] = inside ? reference.left[f] : 0.0f;
            right[j] = inside ? reference.right[f] : 0.0f;
        }
    };
    for (double ratio : {0.5, 0.91875, 1.08, -1.0, 2.5}) {
        std::vector<float> l(3000), r(3000), el(3000), er(3000);
        float* outs[2] = {l.data(), r.data()};
        float* expected[2] = {el.data(), er.data()};
        const double at = ratio < 0 ? 60000.25 : 2000.25;
        ASSERT_TRUE(source.getSound(outs, 3000, at, ratio, true, false));
        independent.read(expected, 3000, at, ratio, 44100, true, fromReference);
        for (int j = 0; j < 3000; ++j) ASSERT_NEAR(l[j], el[j], 1e-6f) << "ratio " << ratio << " value " << j;
    }
}

TEST_F(MpegReads, MonoTracksFeedBothBuffersFromTheFirstRead) {
    for (const char* name : {"cbr64-32k-mono.mp3", "layer1-48k-mono.mp1", "mpeg25-8k-mono.mp3"}) {
        QuietMpegSource mono(nullptr);
        Decoded ref = decodeMusic(mpegFile(name));
        ASSERT_TRUE(mono.openOnly(mpegFile(name)));
        std::vector<float> l(2000), r(2000);
        float* outs[2] = {l.data(), r.data()};
        ASSERT_TRUE(mono.getSound(outs, 2000, 0, 1.0f, true, false));
        for (int j = 0; j < 2000; ++j) ASSERT_EQ(l[j], r[j]) << name << " " << j;
        EXPECT_EQ(l[1500], ref.left[1500]) << name;
    }
}

TEST_F(MpegReads, LargeRequestsAreSplitIntoPiecesAndLogged) {
    open("long-cbr128.mp3");
    std::string logPath = testdata::tempPath("split-log.txt");
    DebugLog::create(logPath.c_str(), false);
    expectFrames(0, 40000, "split read");
    DebugLog::destroy();
    std::ifstream in(logPath);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("Big getSound : HALF_BUF/2 : 32768, length : 40000 \n"), std::string::npos);
}

TEST_F(MpegReads, ARewindNearTheStartPlaysThePositionItAskedFor) {
    open("long-cbr128.mp3");
    float l[512], r[512];
    float* outs[2] = {l, r};
    ASSERT_TRUE(source.getSound(outs, 512, 500000, 1.0f, true, false));
    expectFrames(5000, 4096, "back near the start");
    expectFrames(0, 512, "back at the start");
}

// Files from encoders and taggers, and the file their audio is the same as.
struct Case {
    const char* name;
    const char* sameAudioAs;
    int32_t sampleRate;
};
const Case encoderFiles[] = {
    {"cbr128-44k-stereo.mp3", nullptr, 44100},  {"vbr-44k-stereo.mp3", nullptr, 44100},
    {"mpeg2-22k-stereo.mp3", nullptr, 22050},   {"mpeg25-8k-mono.mp3", nullptr, 8000},
    {"layer2-44k-stereo.mp2", nullptr, 44100},  {"layer1-48k-stereo.mp1", nullptr, 48000},
    {"long-vbr.mp3", nullptr, 44100},           {"vbr-no-tag.mp3", nullptr, 44100},
    {"cbr64-32k-mono.mp3", nullptr, 32000},     {"id3v2-large.mp3", "cbr128-44k-stereo.mp3", 44100},
    {"id3v2-picture.mp3", "cbr128-44k-stereo.mp3", 44100},
    {"trailing-garbage.mp3", "cbr128-44k-stereo.mp3", 44100}, {"id3v1.mp3", "cbr128-44k-stereo.mp3", 44100},
};

// Right after opening, before any walk: the length is the music's and every
// jump lands on the sample the music has there.
TEST_F(MpegReads, JumpsLandOnTheSamplesAStraightDecodeHasThereInEveryKindOfFile) {
    std::mt19937 random(1234);
    for (const Case& c : encoderFiles) {
        QuietMpegSource file(&owner);
        ASSERT_TRUE(file.openOnly(mpegFile(c.name))) << c.name;
        const Decoded straight = decodeMusic(mpegFile(c.sameAudioAs ? c.sameAudioAs : c.name));
        const auto total = static_cast<int32_t>(straight.left.size());
        ASSERT_GT(total, 0) << c.name;
        EXPECT_EQ(file.getSampleRate(), c.sampleRate) << c.name;
        EXPECT_EQ(file.getLength(), total) << c.name << ": the length is the music's";
        EXPECT_TRUE(file.lengthIsExact()) << c.name;
        std::vector<float> l(1500), r(1500);
        float* outs[2] = {l.data(), r.data()};
        for (int jump = 0; jump < 50; ++jump) {
            const int32_t at = static_cast<int32_t>(random() % static_cast<uint32_t>(total));
            ASSERT_TRUE(file.getSound(outs, 1500, at, 1.0, true, false));
            for (int32_t j = 0; j < 1500; ++j) {
                const bool inside = at + j < total;
                ASSERT_EQ(l[j], inside ? straight.left[at + j] : 0.0f) << c.name << " jump to " << at << " + " << j;
                ASSERT_EQ(r[j], inside ? straight.right[at + j] : 0.0f) << c.name << " jump to " << at << " + " << j;
            }
        }
    }
}

TEST_F(MpegReads, APlayThroughPlaysEveryFrameToTheLastAndAShortClipItsSound) {
    for (const char* name : {"long-cbr128.mp3", "short-clip.mp3"}) {
        QuietMpegSource file(&owner);
        ASSERT_TRUE(file.openOnly(mpegFile(name))) << name;
        const Decoded straight = decodeMusic(mpegFile(name));
        const auto total = static_cast<int32_t>(straight.left.size());
        ASSERT_EQ(file.getLength(), total);
        std::vector<float> l(512), r(512);
        float* outs[2] = {l.data(), r.data()};
        float loudest = 0.0f;
        for (int32_t at = 0; at < total; at += 512) {
            ASSERT_TRUE(file.getSound(outs, 512, at, 1.0, true, false));
            for (int32_t j = 0; j < 512 && at + j < total; ++j) {
                ASSERT_EQ(l[j], straight.left[at + j]) << name << " " << at + j;
                loudest = std::max(loudest, std::fabs(l[j]));
            }
        }
        EXPECT_GT(loudest, 0.05f) << name << " is heard";
        EXPECT_NE(straight.left[total - 100], 0.0f) << name << ": the last frame holds sound";
    }
}

TEST_F(MpegReads, ReadsPastTheEndAreSilentAndNeverReportALength) {
    open("cbr128-44k-stereo.mp3");
    const int32_t total = static_cast<int32_t>(reference.left.size());
    std::vector<float> l(512, 1.0f), r(512, 1.0f);
    float* outs[2] = {l.data(), r.data()};
    ASSERT_TRUE(source.getSound(outs, 512, total, 1.0f, true, false));
    for (float v : l) ASSERT_EQ(v, 0.0f);
    EXPECT_TRUE(owner.sizes.empty()) << "only the loader reports the length";
    source.walk();
    ASSERT_TRUE(source.getSound(outs, 512, total + 100000, 1.0f, true, false));
    for (float v : l) ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(owner.finals, 1);
    EXPECT_EQ(source.getLength(), total);
}

TEST_F(MpegReads, ReversePlayThroughAVariableRateFileIsTheStraightDecodeBackwards) {
    QuietMpegSource file(&owner);
    ASSERT_TRUE(file.openOnly(mpegFile("long-vbr.mp3")));
    const Decoded straight = decodeMusic(mpegFile("long-vbr.mp3"));
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    // Ten seconds backwards from 30 s, in host blocks; value j of a block at
    // p is frame p - 1 - j.
    for (int32_t p = 30 * 44100; p > 20 * 44100; p -= 512) {
        ASSERT_TRUE(file.getSound(outs, 512, p - 1, -1.0, true, false));
        for (int32_t j = 0; j < 512; ++j) ASSERT_EQ(l[j], straight.left[p - 1 - j]) << "frame " << p - 1 - j;
    }
}

TEST_F(MpegReads, ReadsGiveExactlyTheStraightDecode) {
    open("vbr-44k-stereo.mp3");
    expectFrames(0, 20000, "a read from the start");
}

TEST_F(MpegReads, RequestsTooLargeForTheWindowStayInsideIt) {
    open("long-cbr128.mp3");
    std::vector<float> l(32000), r(32000);
    float* outs[2] = {l.data(), r.data()};
    for (float ratio : {1.32f, 3.0f, 7.5f}) ASSERT_TRUE(source.getSound(outs, 32000, 1000, ratio, true, false));
    ASSERT_TRUE(source.getSound(outs, 32000, 1000, 40.0f, false, false));
}

TEST_F(MpegReads, ReadsOnTheAudioPathDoNotAllocate) {
    open("long-cbr128.mp3");
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    AllocationCounter counter;
    for (int32_t p = 0; p < 200000; p += 470) source.getSound(outs, 512, p, 0.91875f, true, false);
    source.getSound(outs, 512, 900000, 1.0f, true, false); // a seek
    source.getSound(outs, 512, 2000, 1.06f, false, false);
    EXPECT_EQ(counter.count(), 0u);
}

TEST(MpegFileSwitch, OpeningAnotherFileWhileReadsRunNeverReleasesTheViewUnderThem) {
    MpegSource source(nullptr);
    std::vector<uint8_t> pixels(TrackSource::overviewBytes);
    ASSERT_TRUE(source.setFile(mpegFile("cbr128-44k-stereo.mp3").c_str()));
    std::atomic<bool> done{false};
    std::thread audio([&] {
        std::vector<float> l(512), r(512);
        float* outs[2] = {l.data(), r.data()};
        int32_t p = 0;
        while (!done) {
            source.getSound(outs, 512, p, 1.1f, true, false);
            p = (p + 9000) % 300000;
        }
    });
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(source.setFile(mpegFile(i % 2 ? "layer2-44k-stereo.mp2" : "vbr-44k-stereo.mp3").c_str()));
    done = true;
    audio.join();
}

} // namespace

namespace {

class MpegInThePlayer : public PlayerFixture {};

// Jumps by the Position parameter and by a MIDI cue key, 0.1, 0.3 and 1 s
// after a track opens (long before its walk ends), land where they were
// asked to and play on, sample for sample, as the music is.
TEST_F(MpegInThePlayer, JumpsRightAfterOpeningLandExactlyAndPlayOnWithoutASkip) {
    for (const char* name : {"long-cbr128.mp3", "vbr-no-tag.mp3", "long-vbr.mp3"}) {
        const std::string path = mpegFile(name);
        const Decoded music = decodeMusic(path);
        const auto total = static_cast<int64_t>(music.left.size());
        for (const double after : {0.1, 0.3, 1.0}) {
            for (const bool byKey : {false, true}) {
                const std::string what = std::string(name) + (byKey ? " key" : " Position") + " after " +
                                         std::to_string(after);
                setEntries({path});
                unityLevels();
                ASSERT_TRUE(player->openTrack());
                player->setPlaying(true);
                for (int32_t at = 0; at < after * 44100; at += 512) render(512);
                // Key 65 cues 10/14 of the way through; Position goes to the middle.
                const double fraction = byKey ? 10 * 0.0714285746 : 0.5;
                if (byKey) {
                    const uint8_t key[3] = {0x90, 65, 100};
                    player->takeMidi(AudioThread::claim(), 0, key);
                } else {
                    player->setParameter(TrackPlayer::Position, 0.5f);
                }
                for (int block = 0; block < 4; ++block) render(512); // the crossfade
                const double landed = player->getExactPosition();
                EXPECT_NEAR(landed, fraction * total + 4 * 512, 2.0) << what;
                auto at = static_cast<int64_t>(landed);
                for (int block = 0; block < 10 * 44100 / 512 && at + 512 <= total; ++block, at += 512) {
                    render(512);
                    for (int j = 0; j < 512; ++j)
                        ASSERT_EQ(left[j], music.left[at + j]) << what << ": frame " << at + j;
                }
            }
        }
    }
}

// Choosing another track while an MP3 plays (a double-click on a WAV's row,
// a MIDI "next"): nothing of the MP3 is heard after the choice, and the new
// track plays from its first frame.
TEST_F(MpegInThePlayer, AnotherTrackChosenWhileAnMp3PlaysStartsFromItsBeginningWithNothingOfTheOld) {
    const std::string wav = rampTrack("after-the-mp3.wav", 44100 * 2);
    for (const bool byKey : {false, true}) {
        setEntries({mpegFile("cbr128-44k-stereo.mp3"), wav});
        player->trackList().currentIndex = 0;
        unityLevels();
        ASSERT_TRUE(player->openTrack());
        player->setPlaying(true);
        for (int block = 0; block < 80; ++block) render(512);
        if (byKey) {
            const uint8_t next[3] = {0x90, 56, 100};
            player->takeMidi(AudioThread::claim(), 0, next);
        } else {
            player->playRow(1);
        }
        std::vector<float> heard;
        for (int block = 0; block < 400 && (heard.empty() || heard.size() < 44100); ++block) {
            render(512);
            if (!heard.empty() || std::any_of(left.begin(), left.end(), [](float v) { return v != 0.0f; }))
                heard.insert(heard.end(), left.begin(), left.end());
            else
                platform::sleepMs(1);
        }
        ASSERT_GE(heard.size(), 44100u) << (byKey ? "key" : "row");
        // The first block with sound begins with the ramp's first frame (0).
        for (int f = 0; f < 44100; ++f) ASSERT_EQ(heard[f], rampValue(f)) << (byKey ? "key" : "row") << " frame " << f;
        EXPECT_FALSE(dynamic_cast<MpegSource&>(*player->sourceAt(0)).isFileOpen()) << "the MP3 was let go at once";
    }
}

TEST_F(MpegInThePlayer, MovingToTheEndWhileTheLoaderWalksKeepsTheExactLengthForNextTime) {
    const std::string path = mpegFile("long-cbr128.mp3");
    const auto exact = static_cast<int32_t>(decodeMusic(path).left.size());
    setEntries({path});
    player->openTrack();
    EXPECT_EQ(player->getLength(), exact) << "exact from the opening";
    player->setPlaying(true);
    player->seek(0.999f);
    for (int block = 0; block < 400 && !player->isLengthKnown(); ++block) {
        render(512);
        platform::sleepMs(2);
    }
    // The loader runs at the lowest priority: on a busy machine it may take a while.
    for (int i = 0; i < 12000 && !player->isLengthKnown(); ++i) platform::sleepMs(5);
    ASSERT_TRUE(player->isLengthKnown());
    EXPECT_EQ(player->getLength(), exact) << "the reads at the end reported nothing";
    for (int i = 0; i < 12000 && !player->isOverviewKnown(); ++i) platform::sleepMs(5);
    EXPECT_TRUE(player->isOverviewKnown());

    player->openTrack();
    EXPECT_EQ(player->getLength(), exact) << "the store gives the exact length at once";
    EXPECT_TRUE(player->isLengthKnown());
}

} // namespace

namespace {

class TrackFilesThatChange : public PlayerFixture {
protected:
    // Plays path for a while, lets change alter the file, plays on, and
    // checks every value against expected.
    void playThroughAChange(const std::string& path, const std::vector<float>& expected,
                            const std::function<void()>& change) {
        setEntries({path});
        player->openTrack();
        player->setSize(static_cast<int32_t>(expected.size()), true);
        // Unit band gains: the MPEG equaliser then gives the decode unchanged.
        for (int32_t band = 0; band < 3; ++band) player->setGain(band, 1.0f);
        player->setPlaying(true);
        for (int32_t at = 0; at + 512 <= 44100 * 2; at += 512) {
            if (at == 44100) change();
            render(512);
            for (int j = 0; j < 512; ++j) ASSERT_EQ(left[j], expected[at + j]) << path << " frame " << at + j;
        }
    }
};

TEST_F(TrackFilesThatChange, AFileShortenedDeletedOrRewrittenWhileItPlaysPlaysOnAsItWasOpened) {
    const std::string mp3 = testdata::tempPath("changing.mp3");
    const std::vector<uint8_t> mp3Bytes = readBytes(mpegFile("cbr128-44k-stereo.mp3"));
    const std::vector<float> mp3Sound = decodeMusic(mpegFile("cbr128-44k-stereo.mp3")).left;
    testdata::WavRecipe recipe;
    recipe.frames = 44100 * 3;
    recipe.sample = [](int frame, int) { return (frame * 37) % 20000 - 10000; };
    const std::string wav = testdata::tempPath("changing.wav");
    std::vector<float> wavSound(recipe.frames);
    for (int f = 0; f < recipe.frames; ++f) wavSound[f] = recipe.sample(f, 0) / 32768.0f;
    const std::vector<uint8_t> wavBytes = testdata::makeWav(recipe);

    for (const auto& [track, bytes, sound] :
         {std::tuple{mp3, mp3Bytes, mp3Sound}, std::tuple{wav, wavBytes, wavSound}}) {
        const std::string& path = track; // a plain reference, which lambdas may capture
        testdata::writeFile(path, bytes);
        playThroughAChange(path, sound, [&] { std::filesystem::resize_file(path, 1000); });
        testdata::writeFile(path, bytes);
        playThroughAChange(path, sound, [&] {
            std::filesystem::remove(path);
            testdata::writeFile(path, std::vector<uint8_t>(5000, 0x55));
        });
    }
}

TEST_F(TrackFilesThatChange, RenderingNeverWaitsForTheDiskEvenWhenTheFileLeftTheCache) {
    testdata::WavRecipe recipe;
    recipe.frames = 44100 * 20;
    const std::string path = testdata::writeWav("cold.wav", recipe);
    setEntries({path});
    player->openTrack();
    player->setSize(recipe.frames, true);
    player->setPlaying(true);
    // The file's pages leave the page cache, as on a busy machine.
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
    long faults = -1;
    std::thread audio([&] {
        rusage before{}, after{};
        getrusage(RUSAGE_THREAD, &before);
        for (int block = 0; block < 1500; ++block) render(512);
        getrusage(RUSAGE_THREAD, &after);
        faults = after.ru_majflt - before.ru_majflt;
    });
    audio.join();
    EXPECT_EQ(faults, 0) << "major page faults on the rendering thread";
}

} // namespace

namespace {

class OneLevelForEveryTrack : public PlayerFixture {
protected:
    double rmsDb(const std::string& path, float volume) {
        setEntries({path});
        player->openTrack();
        player->setVolume(volume); // the other values as they start
        player->setPlaying(true);
        double sum = 0;
        int64_t count = 0;
        for (int block = 0; block < 400; ++block) {
            render(512);
            if (block < 20) continue; // past the encoder's delay
            for (float v : left) sum += static_cast<double>(v) * v, ++count;
        }
        return 10 * std::log10(sum / static_cast<double>(count) + 1e-30);
    }
};

TEST_F(OneLevelForEveryTrack, TheSameMusicAsWavAndAsMp3PlaysAtTheSameLevelAtEveryVolume) {
    for (float volume : {1.0f, 0.5f}) {
        const double wav = rmsDb(mpegFile("music44s.wav"), volume);
        const double mp3 = rmsDb(mpegFile("cbr128-44k-stereo.mp3"), volume);
        EXPECT_NEAR(mp3, wav, 0.5) << "Vol " << volume;
        if (volume == 0.5f) {
            EXPECT_NEAR(wav, rmsDb(mpegFile("music44s.wav"), 1.0f) - 20.0, 0.05) << "-20 dB";
        }
    }
}

} // namespace
