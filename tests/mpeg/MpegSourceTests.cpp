#include <gtest/gtest.h>

#include "tests/mpeg/MpegTestSupport.h"
#include "tests/support/TestFiles.h"

namespace {

TEST(MpegSource, AcceptsMpegNamesWhateverTheCaseAndNothingElse) {
    MpegSource source(nullptr);
    EXPECT_TRUE(source.acceptsFile("/a/song.MP3"));
    EXPECT_TRUE(source.acceptsFile("x.Mp2"));
    EXPECT_TRUE(source.acceptsFile("x.mp1"));
    EXPECT_FALSE(source.acceptsFile("x.mp3 "));
    EXPECT_FALSE(source.acceptsFile("mp3"));
    EXPECT_FALSE(source.acceptsFile("x.wav"));
    EXPECT_FALSE(source.acceptsFile(nullptr));
}

TEST(MpegSource, TheLengthIsExactFromTheOpening) {
    // 4,000,000 bytes of 128 kbit/s, 44.1 kHz frame headers.
    std::vector<uint8_t> bytes;
    while (bytes.size() + 417 <= 4000000) {
        const uint8_t header[4] = {0xFF, 0xFB, 0x90, 0x64};
        bytes.insert(bytes.end(), header, header + 4);
        bytes.resize(bytes.size() + 413, 0);
    }
    bytes.resize(4000000, 0);
    auto path = testdata::tempPath("estimate.mp3");
    testdata::writeFile(path, bytes);
    RecordingSourceOwner owner;
    MpegSource source(&owner);
    ASSERT_TRUE(source.setFile(path.c_str()));
    for (int i = 0; i < 400 && owner.sizes.empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::lock_guard<std::mutex> guard(owner.mutex);
    ASSERT_FALSE(owner.sizes.empty());
    EXPECT_EQ(owner.sizes.front(), (std::pair<int32_t, bool>{9592 * 1152, false})) << "whole frames only";
    EXPECT_EQ(source.getBitRate(), 128000);
    EXPECT_EQ(source.getSampleRate(), 44100);
}

TEST(MpegSource, SignatureWordsClampToTheFilesLastWords) {
    std::vector<uint8_t> bytes = readBytes(mpegFile("cbr128-44k-stereo.mp3"));
    bytes.resize(70000);
    auto path = testdata::tempPath("signature.mp3");
    testdata::writeFile(path, bytes);
    QuietMpegSource source(nullptr);
    ASSERT_TRUE(source.openOnly(path));
    int32_t words[4];
    ASSERT_TRUE(source.getSignature(words));
    const int indices[4] = {17000, 17498, 17497, 17496};
    for (int i = 0; i < 4; ++i) {
        int32_t expected;
        std::memcpy(&expected, bytes.data() + 4 * indices[i], 4);
        EXPECT_EQ(words[i], expected) << i;
    }
    source.closeFile();
    EXPECT_FALSE(source.getSignature(words));
}

TEST(MpegSource, TheWalkReportsTheExactLengthOnceAtTheEnd) {
    RecordingSourceOwner owner;
    MpegSource source(&owner);
    std::vector<uint8_t> pixels(TrackSource::overviewBytes);
    source.setBitmap(pixels.data());
    auto path = mpegFile("cbr128-44k-stereo.mp3");
    ASSERT_TRUE(source.setFile(path.c_str()));
    ASSERT_TRUE(owner.waitForFinal());
    Decoded reference = decodeMusic(path);
    std::lock_guard<std::mutex> guard(owner.mutex);
    EXPECT_EQ(owner.sizes.back(), (std::pair<int32_t, bool>{static_cast<int32_t>(reference.left.size()), true}));
    EXPECT_EQ(source.getLength(), static_cast<int32_t>(reference.left.size()));
    EXPECT_EQ(owner.progress.back(), static_cast<int32_t>(reference.left.size()));
    EXPECT_EQ(source.getChannels(), 2);
}

TEST(MpegSource, ASecondSetFileStopsTheFirstLoaderWithoutAFinalReport) {
    RecordingSourceOwner owner;
    MpegSource source(&owner);
    std::vector<uint8_t> pixels(TrackSource::overviewBytes);
    source.setBitmap(pixels.data());
    ASSERT_TRUE(source.setFile(mpegFile("long-cbr128.mp3").c_str()));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(source.setFile(mpegFile("mpeg25-8k-mono.mp3").c_str()));
    ASSERT_TRUE(owner.waitForFinal());
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(owner.finals, 1);
    EXPECT_EQ(source.getSampleRate(), 8000);
    EXPECT_EQ(source.getChannels(), 1);
}

TEST(MpegSource, FilesWithoutDecodableFramesOrBytesFailQuietly) {
    RecordingSourceOwner owner;
    MpegSource source(&owner);
    EXPECT_FALSE(source.setFile(mpegFile("empty.mp3").c_str()));
    EXPECT_FALSE(source.setFile("/no/such/file.mp3"));
    std::vector<uint8_t> pixels(TrackSource::overviewBytes);
    source.setBitmap(pixels.data());
    EXPECT_FALSE(source.setFile(mpegFile("headers-only.mp3").c_str())) << "no frame decodes: never played";
    std::vector<uint8_t> noise(200000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
    const std::string path = testdata::tempPath("noise.mp3");
    testdata::writeFile(path, noise);
    EXPECT_FALSE(source.setFile(path.c_str())) << "bytes that are no stream are refused";
    float l[64], r[64];
    float* outs[2] = {l, r};
    EXPECT_FALSE(source.getSound(outs, 64, 0, 1.0f, true, false));
    EXPECT_EQ(owner.finals, 0);
}

} // namespace
