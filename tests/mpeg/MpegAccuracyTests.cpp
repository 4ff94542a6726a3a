// Playing each test file straight through the source against Debian's
// mpg123, an independent decoder, at 16 bits, and lame's files against the
// music they were made from.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/mpeg/MpegTestSupport.h"

namespace {

class Accuracy : public ::testing::TestWithParam<const char*> {};

// mpg123 plays gapless: where a file declares its encoder delay and padding
// it trims them, so both decoders must start and end on the same sample.
TEST_P(Accuracy, StraightPlaybackMatchesAnIndependentGaplessDecoder) {
    const std::string path = mpegFile(GetParam());
    QuietMpegSource source(nullptr);
    ASSERT_TRUE(source.openOnly(path));
    const int32_t total = source.getLength();
    std::vector<float> left, right;
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    for (int32_t p = 0; p < total; p += 512) {
        source.getSound(outs, 512, p, 1.0f, true, false);
        left.insert(left.end(), l.begin(), l.end());
        right.insert(right.end(), r.begin(), r.end());
    }
    left.resize(total);
    right.resize(total);
    const int channels = source.getChannels();
    const std::vector<int16_t> theirs = mpg123Decode(path, true);
    ASSERT_FALSE(theirs.empty()) << "mpg123 decoded nothing";
    const int64_t theirFrames = static_cast<int64_t>(theirs.size()) / channels;
    EXPECT_EQ(total, theirFrames) << "the same length";
    EXPECT_EQ(alignmentOf(theirs, channels, left, 2304), 0) << "the same first sample";
    int64_t within = 0, compared = 0;
    for (int64_t f = 0; f < std::min<int64_t>(total, theirFrames); ++f, ++compared) {
        bool ok = std::abs(toPcm16(left[f]) - theirs[f * channels]) <= 1;
        if (channels == 2) ok = ok && std::abs(toPcm16(right[f]) - theirs[f * 2 + 1]) <= 1;
        within += ok;
    }
    EXPECT_GE(static_cast<double>(within) / std::max<int64_t>(compared, 1), 0.99);
}

// lame's input is the music: position 0 plays its first sample, and the
// track ends with its last.
TEST(Gapless, ALameFilePlaysTheMusicItWasMadeFromFromTheFirstSampleToTheLast) {
    const struct {
        const char* mp3;
        const char* wav;
    } pairs[] = {{"cbr128-44k-stereo.mp3", "music44s.wav"}, {"vbr-44k-stereo.mp3", "music44s.wav"},
                 {"cbr64-32k-mono.mp3", "music32m.wav"}};
    for (const auto& pair : pairs) {
        const std::vector<uint8_t> wav = readBytes(mpegFile(pair.wav));
        ASSERT_GT(wav.size(), 44u);
        const int channels = wav[22];
        std::vector<float> music;
        for (size_t at = 44; at + 2 <= wav.size(); at += 2 * channels)
            music.push_back(static_cast<int16_t>(wav[at] | wav[at + 1] << 8) / 32768.0f);
        QuietMpegSource source(nullptr);
        ASSERT_TRUE(source.openOnly(mpegFile(pair.mp3)));
        EXPECT_EQ(source.getLength(), static_cast<int32_t>(music.size())) << pair.mp3;
        std::vector<float> l(8192), r(8192);
        float* outs[2] = {l.data(), r.data()};
        ASSERT_TRUE(source.getSound(outs, 8192, 0, 1.0, true, false));
        // The lag at which the decode best matches the music: 0. The music's
        // tones repeat every few hundred samples, so lags stay under half
        // the shortest repeat, and its noise bed (what the first differences
        // keep) pins the match.
        int bestLag = 0;
        double best = -1.0;
        for (int lag = -60; lag <= 60; ++lag) {
            double sum = 0.0;
            for (int i = 1000; i < 7000; ++i) sum += (l[i + lag] - l[i + lag - 1]) * (music[i] - music[i - 1]);
            if (sum > best) best = sum, bestLag = lag;
        }
        EXPECT_EQ(bestLag, 0) << pair.mp3;
    }
}

INSTANTIATE_TEST_SUITE_P(Files, Accuracy,
                         ::testing::Values("cbr128-44k-stereo.mp3", "vbr-44k-stereo.mp3", "cbr64-32k-mono.mp3",
                                           "cbr160-48k-stereo.mp3", "mpeg2-22k-stereo.mp3", "mpeg2-16k-mono.mp3",
                                           "mpeg25-11k-stereo.mp3", "mpeg25-8k-mono.mp3", "layer2-44k-stereo.mp2",
                                           "layer2-44k-mono.mp2", "layer1-48k-stereo.mp1", "layer1-48k-mono.mp1",
                                           "id3v2-large.mp3"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

} // namespace
