#include <algorithm>
#include <cstring>
#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "vst2/TrackPlayer.h"
#include "sources/ResamplingKernel.h"
#include "sources/WavSource.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/TestHost.h"
#include "tests/support/TestFiles.h"

namespace {

using testdata::WavRecipe;

class NullOwner : public SourceOwner {
public:
    void setSize(int32_t, bool) override {}
    void loadProgress(int32_t) override {}
};

class WavReads : public ::testing::Test {
protected:
    // A 1,000-frame stereo track whose left channel holds the frame number
    // and whose right channel holds minus it.
    void SetUp() override {
        WavRecipe recipe;
        recipe.sample = [](int frame, int channel) { return channel == 0 ? frame : -frame; };
        path = testdata::writeWav("ramp.wav", recipe);
        ASSERT_TRUE(source.setFile(path.c_str()));
        ASSERT_EQ(source.getLength(), 1000);
    }
    float* const* buffers(float fill) {
        std::fill(std::begin(left), std::end(left), fill);
        std::fill(std::begin(right), std::end(right), fill);
        return outs;
    }
    static float frame(int f) { return f / 32768.0f; }

    NullOwner owner;
    WavSource source{&owner};
    std::string path;
    float left[200], right[200];
    float* outs[2] = {left, right};
};

TEST_F(WavReads, AtHalfSpeedEveryValueLiesOnTheRamp) {
    // The track is a straight ramp: a band-limited read keeps a straight
    // line, at whole frames and between them.
    source.getSound(buffers(9), 40, 100, 0.5f, true, false);
    EXPECT_NEAR(left[0], frame(100), 1e-5f);
    EXPECT_NEAR(right[4], -frame(102), 1e-5f);
    EXPECT_NEAR(left[1], (frame(100) + frame(101)) / 2, 1e-5f);
    EXPECT_NEAR(left[39], (frame(119) + frame(120)) / 2, 1e-5f);
}

TEST_F(WavReads, AddsToTheBuffersWithoutReplace) {
    source.getSound(buffers(1.0f), 3, 5, 1.0f, false, false);
    EXPECT_FLOAT_EQ(left[0], 1.0f + frame(5));
    EXPECT_FLOAT_EQ(right[2], 1.0f - frame(7));
}

TEST_F(WavReads, AtTheEndWrapsOrFillsSilenceOrLeavesTheRest) {
    source.getSound(buffers(9), 100, 990, 1.0f, true, true);
    EXPECT_FLOAT_EQ(left[9], frame(999));
    EXPECT_FLOAT_EQ(left[10], frame(0)) << "wrapped to frame 0";
    EXPECT_FLOAT_EQ(left[99], frame(89));

    source.getSound(buffers(9), 100, 990, 1.0f, true, false);
    EXPECT_FLOAT_EQ(left[9], frame(999));
    EXPECT_EQ(left[10], 0.0f);
    EXPECT_EQ(right[99], 0.0f);

    source.getSound(buffers(9), 100, 990, 1.0f, false, false);
    EXPECT_FLOAT_EQ(left[10], 9.0f) << "untouched";
}

TEST_F(WavReads, FastReadsPastTheEndAreSilentOrWrapToTheStart) {
    ResamplingKernel::prepareFor(44100, 2.0, 2.0); // as a deck does for its speeds
    // Past the end and past the kernel's reach from the last frame: silence.
    source.getSound(buffers(9), 100, 1000 + ResamplingKernel::widest / 2, 2.0f, true, false);
    for (int j = 0; j < 100; ++j) ASSERT_EQ(left[j], 0.0f) << j;
    source.getSound(buffers(9), 100, 990, 2.0f, true, true);
    EXPECT_NEAR(left[40], frame(70), 1e-5f) << "frame 1070 is frame 70 of the next round";
    source.getSound(buffers(9), 2, 999, 1.0f, true, false);
    EXPECT_EQ(left[0], frame(999));
    EXPECT_EQ(left[1], 0.0f) << "nothing is read past the data";
}

TEST_F(WavReads, SignatureIsFourWordsFromTheFile) {
    int32_t words[4] = {};
    ASSERT_TRUE(source.getSignature(words));
    // 4,044 bytes: word indices 1010, 1009, 1008, 1007 (file size / 4 - i - 1).
    auto bytes = testdata::makeWav([] {
        WavRecipe recipe;
        recipe.sample = [](int frame, int channel) { return channel == 0 ? frame : -frame; };
        return recipe;
    }());
    ASSERT_EQ(bytes.size(), 4044u);
    for (int i = 0; i < 4; ++i) {
        int32_t expected;
        std::memcpy(&expected, bytes.data() + (1010 - i) * 4, 4);
        EXPECT_EQ(words[i], expected) << i;
    }
}

TEST_F(WavReads, AClosedSourcePlaysSilenceAndHasNoSignature) {
    ASSERT_FALSE(source.setFile("/nowhere/at-all.wav"));
    EXPECT_FALSE(source.isFileOpen());
    source.getSound(buffers(9), 10, 0, 1.0f, true, false);
    EXPECT_EQ(left[5], 0.0f);
    int32_t words[4] = {1, 2, 3, 4};
    EXPECT_FALSE(source.getSignature(words));
    EXPECT_EQ(words[0], 1);
}

TEST_F(WavReads, AFileShortenedOrRewrittenWhileItPlaysPlaysOnAsItWasOpened) {
    std::filesystem::resize_file(path, 44);
    source.getSound(buffers(9), 100, 500, 1.0f, true, false);
    EXPECT_EQ(left[99], frame(599));
    testdata::writeFile(path, std::vector<uint8_t>(10, 0xFF));
    source.getSound(buffers(9), 100, 900, 0.75f, true, false);
    EXPECT_NEAR(left[4], frame(903), 1e-5f);
}

// Every common format, read back as the file's values converted exactly.
TEST(WavSource, EveryCommonFormatReadsItsTrueValues) {
    struct Case {
        const char* name;
        int tag, bits, channels;
        bool extensible;
        int raw[2];          // integer samples of the first frame, as stored
        double floats[2];    // or float samples
        float expected[2];
    };
    const Case cases[] = {
        {"u8", 1, 8, 2, false, {200, 40}, {}, {72 / 128.0f, -88 / 128.0f}},
        {"s16", 1, 16, 2, false, {-12345, 32767}, {}, {-12345 / 32768.0f, 32767 / 32768.0f}},
        {"s24", 1, 24, 2, false, {-4000000, 8388607}, {}, {-4000000 / 8388608.0f, 8388607 / 8388608.0f}},
        {"s32", 1, 32, 2, false, {2000000000, -2147483647 - 1}, {}, {2000000000 / 2147483648.0f, -1.0f}},
        {"f32", 3, 32, 2, false, {}, {0.123456, -1.5}, {0.123456f, -1.5f}},
        {"f64", 3, 64, 2, false, {}, {-0.7654321, 0.25}, {-0.7654321f, 0.25f}},
        {"ext24", 1, 24, 2, true, {1234567, -1}, {}, {1234567 / 8388608.0f, -1 / 8388608.0f}},
        {"extf32", 3, 32, 2, true, {}, {0.5, -0.5}, {0.5f, -0.5f}},
        {"mulaw", 7, 8, 2, false, {0xFF, 0x80}, {}, {0.0f, 32124 / 32768.0f}},
        {"alaw", 6, 8, 2, false, {0xD5, 0x2A}, {}, {8 / 32768.0f, -32256 / 32768.0f}},
        {"mono24", 1, 24, 1, false, {-2, 0}, {}, {-2 / 8388608.0f, -2 / 8388608.0f}},
        {"quad16", 1, 16, 4, false, {100, -100}, {}, {100 / 32768.0f, -100 / 32768.0f}},
    };
    for (const Case& c : cases) {
        WavRecipe recipe;
        recipe.formatTag = c.tag;
        recipe.bits = c.bits;
        recipe.channels = c.channels;
        recipe.extensible = c.extensible;
        recipe.frames = 50;
        // Silence as each format codes it.
        const int silence = c.tag == 7 ? 0xFF : c.tag == 6 ? 0xD5 : c.bits == 8 ? 128 : 0;
        recipe.sample = [&c, silence](int frame, int channel) { return frame == 7 && channel < 2 ? c.raw[channel] : silence; };
        recipe.floatSample = [&c](int frame, int channel) { return frame == 7 && channel < 2 ? c.floats[channel] : 0.0; };
        NullOwner owner;
        WavSource source(&owner);
        ASSERT_TRUE(source.setFile(testdata::writeWav(std::string("format-") + c.name + ".wav", recipe).c_str())) << c.name;
        EXPECT_EQ(source.getLength(), 50) << c.name;
        float left[10], right[10];
        float* outs[2] = {left, right};
        source.getSound(outs, 10, 0, 1.0, true, false);
        EXPECT_EQ(left[7], c.expected[0]) << c.name;
        EXPECT_EQ(right[7], c.expected[1]) << c.name;
        EXPECT_EQ(left[3], c.tag == 6 ? 8 / 32768.0f : 0.0f) << c.name << ": silence is silence";
    }
}

TEST(WavSource, FormatsItDoesNotPlayAreRefusedAndTheUserIsTold) {
    WavRecipe adpcm;
    adpcm.formatTag = 2;
    adpcm.bits = 4;
    const std::string path = testdata::writeWav("adpcm.wav", adpcm);
    NullOwner owner;
    WavSource source(&owner);
    EXPECT_FALSE(source.setFile(path.c_str()));
    TestHost::reset();
    TestHost::directory = testdata::tempPath("") + "/";
    TrackPlayer player(TestHost::callback, fullProfile, RecordingEditor::make);
    std::snprintf(player.trackList().entries[0], TrackList::pathRoom, "%s", path.c_str());
    player.trackList().count = 1;
    EXPECT_FALSE(player.openTrack());
    EXPECT_EQ(RecordingEditor::of(player).openErrors, 1) << "\"Unable to open file\"";
}

TEST(WavSource, AcceptsOnlyWavNamesWhateverTheCase) {
    NullOwner owner;
    WavSource source(&owner);
    EXPECT_TRUE(source.acceptsFile("/a/b.WAV"));
    EXPECT_TRUE(source.acceptsFile("x.wav"));
    EXPECT_FALSE(source.acceptsFile("x.wave"));
    EXPECT_FALSE(source.acceptsFile("wav"));
    EXPECT_FALSE(source.acceptsFile(nullptr));
    EXPECT_FALSE(source.setFile("/tmp/song.mp3"));
}

TEST(WavSource, MonoFilesFeedBothChannels) {
    WavRecipe recipe;
    recipe.channels = 1;
    recipe.sample = [](int frame, int) { return frame * 10; };
    auto path = testdata::writeWav("mono.wav", recipe);
    NullOwner owner;
    WavSource source(&owner);
    ASSERT_TRUE(source.setFile(path.c_str()));
    float left[8], right[8];
    float* outs[2] = {left, right};
    source.getSound(outs, 8, 3, 1.0f, true, false);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(left[i], right[i]);
    EXPECT_FLOAT_EQ(left[0], 30 / 32768.0f);
}

TEST(WavSource, EightBitSilenceReadsAsZero) {
    WavRecipe recipe;
    recipe.bits = 8;
    recipe.sample = [](int, int) { return 128; };
    auto path = testdata::writeWav("silence8.wav", recipe);
    NullOwner owner;
    WavSource source(&owner);
    ASSERT_TRUE(source.setFile(path.c_str()));
    EXPECT_EQ(source.getBitRate(), 705600);
    float left[16], right[16];
    float* outs[2] = {left, right};
    source.getSound(outs, 16, 0, 1.3f, true, false);
    for (float v : left) EXPECT_EQ(v, 0.0f);
}

TEST(WavSource, FilesWithNothingToPlayAreRefused) {
    NullOwner owner;
    WavSource source(&owner);
    WavRecipe noData;
    noData.withData = false;
    EXPECT_FALSE(source.setFile(testdata::writeWav("nodata.wav", noData).c_str()));
    WavRecipe noFrames;
    noFrames.frames = 0;
    EXPECT_FALSE(source.setFile(testdata::writeWav("noframes.wav", noFrames).c_str()));
    auto empty = testdata::tempPath("empty.wav");
    testdata::writeFile(empty, {});
    EXPECT_FALSE(source.setFile(empty.c_str()));
    auto tiny = testdata::tempPath("tiny.wav");
    testdata::writeFile(tiny, {'R', 'I', 'F', 'F', 1, 2, 3, 4, 'W', 'A'});
    EXPECT_FALSE(source.setFile(tiny.c_str()));
    std::string longPath(5000, 'a');
    longPath += ".wav";
    EXPECT_FALSE(source.setFile(longPath.c_str()));
    float left[4] = {1, 1, 1, 1}, right[4] = {1, 1, 1, 1};
    float* outs[2] = {left, right};
    source.getSound(outs, 4, 0, 1.0f, true, true);
    EXPECT_EQ(left[3], 0.0f) << "nothing open: silence";
}

TEST(WavSource, SwitchingFilesWhileTheAudioThreadReadsNeverTouchesAReleasedView) {
    auto a = testdata::writeWav("switch-a.wav", WavRecipe{});
    WavRecipe other;
    other.frames = 3000;
    auto b = testdata::writeWav("switch-b.wav", other);
    NullOwner owner;
    WavSource source(&owner);
    ASSERT_TRUE(source.setFile(a.c_str()));
    std::atomic<bool> done{false};
    std::thread audio([&] {
        float left[512], right[512];
        float* outs[2] = {left, right};
        while (!done) source.getSound(outs, 512, 500, 1.7f, true, true);
    });
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(source.setFile(i % 2 ? a.c_str() : b.c_str()));
    done = true;
    audio.join();
}

} // namespace
