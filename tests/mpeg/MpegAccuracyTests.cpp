// Playing each test file straight through the source against Debian's
// mpg123, an independent decoder, at 16 bits.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

#include "tests/mpeg/MpegTestSupport.h"

namespace {

std::vector<int16_t> mpg123(const std::string& path, int& channels) {
    std::string command = "mpg123 --no-gapless -q -s -e s16 \"" + path + "\" 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::vector<int16_t> samples;
    if (!pipe) return samples;
    int16_t buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 2, 4096, pipe)) > 0) samples.insert(samples.end(), buffer, buffer + n);
    pclose(pipe);
    (void)channels;
    return samples;
}

int16_t toPcm16(float v) { return static_cast<int16_t>(std::lround(std::clamp(v, -1.0f, 32767.0f / 32768.0f) * 32768.0f)); }

class Accuracy : public ::testing::TestWithParam<const char*> {};

TEST_P(Accuracy, StraightPlaybackMatchesAnIndependentDecoder) {
    std::string path = mpegFile(GetParam());
    Decoded reference = decodeWhole(readBytes(path));
    QuietMpegSource source(nullptr);
    ASSERT_TRUE(source.openOnly(path, static_cast<int32_t>(reference.left.size())));
    std::vector<float> left, right;
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    for (int32_t p = 0; p < static_cast<int32_t>(reference.left.size()); p += 512) {
        source.getSound(outs, 512, p, 1.0f, true, false);
        left.insert(left.end(), l.begin(), l.end());
        right.insert(right.end(), r.begin(), r.end());
    }
    int channels = reference.channels;
    int ignored = 0;
    std::vector<int16_t> theirs = mpg123(path, ignored);
    ASSERT_FALSE(theirs.empty()) << "mpg123 decoded nothing";
    const size_t theirFrames = theirs.size() / channels;
    // Align: libmad decodes an Info/Xing frame as silence and trims nothing.
    size_t bestOffset = 0, bestMatches = 0, compared = 0;
    for (size_t offset = 0; offset <= 2304; offset += 1) {
        size_t matches = 0, n = 0;
        for (size_t f = 0; f + offset < left.size() && f < theirFrames && n < 20000; f += 7, ++n)
            matches += std::abs(toPcm16(left[f + offset]) - theirs[f * channels]) <= 1;
        if (matches > bestMatches) bestMatches = matches, bestOffset = offset;
    }
    size_t within = 0;
    size_t histogram[5] = {};
    for (size_t f = 0; f + bestOffset < left.size() && f < theirFrames; ++f) {
        ++compared;
        bool ok = std::abs(toPcm16(left[f + bestOffset]) - theirs[f * channels]) <= 1;
        if (channels == 2) ok = ok && std::abs(toPcm16(right[f + bestOffset]) - theirs[f * 2 + 1]) <= 1;
        within += ok;
        histogram[std::min<int>(4, std::abs(toPcm16(left[f + bestOffset]) - theirs[f * channels]))]++;
    }
    std::printf("differences 0:%zu 1:%zu 2:%zu 3:%zu 4+:%zu\n", histogram[0], histogram[1], histogram[2], histogram[3], histogram[4]);
    double share = compared ? static_cast<double>(within) / compared : 0.0;
    std::printf("%s: offset %zu, %zu frames compared, %.4f%% within one 16-bit step\n", GetParam(), bestOffset,
                compared, 100.0 * share);
    EXPECT_GT(compared, theirFrames / 2) << "most of the file is compared";
    EXPECT_GE(share, 0.99);
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
