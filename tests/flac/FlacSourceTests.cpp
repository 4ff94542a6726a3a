// The FLAC source against flac's own decode of the same files, made when
// the tests run.
#include <random>

#include <gtest/gtest.h>

#include "flac/FlacSource.h"
#include "sources/WavFormat.h"
#include "tests/mpeg/MpegTestSupport.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/PlayerFixture.h"
#include "tests/support/WalkedSource.h"

namespace {

// flac's decode, read as the WAV it is.
struct Reference {
    std::vector<float> left, right;
    explicit Reference(const std::string& path) {
        const std::vector<uint8_t> bytes = readBytes(path);
        const WavFormat format = walkWavChunks(bytes.data(), bytes.size());
        for (int32_t f = 0; f < format.length; ++f) {
            const uint8_t* frame = bytes.data() + format.dataOffset + int64_t{f} * format.frameBytes;
            left.push_back(wavSample(format, frame, 0));
            right.push_back(wavSample(format, frame, std::min(1, format.channels - 1)));
        }
    }
};

using OpenedFlac = WalkedSource<FlacSource>;

const char* const files[][2] = {{"music16.flac", "music16-flac.wav"}, {"mono24-96k.flac", "mono24-96k-flac.wav"}};

TEST(FlacSource, PlaysExactlyWhatFlacDecodesWithItsExactLength) {
    for (const auto& file : files) {
        RecordingSourceOwner owner;
        OpenedFlac source(&owner);
        ASSERT_TRUE(source.openAndWalk(mpegFile(file[0]))) << file[0];
        const Reference reference(mpegFile(file[1]));
        const auto total = static_cast<int32_t>(reference.left.size());
        ASSERT_GT(total, 0);
        EXPECT_EQ(source.getLength(), total) << file[0];
        EXPECT_EQ(owner.finals, 1);
        std::vector<float> l(512), r(512);
        float* outs[2] = {l.data(), r.data()};
        for (int32_t at = 0; at < total; at += 512) {
            ASSERT_TRUE(source.getSound(outs, 512, at, 1.0, true, false));
            for (int32_t j = 0; j < 512 && at + j < total; ++j) {
                ASSERT_EQ(l[j], reference.left[at + j]) << file[0] << " " << at + j;
                ASSERT_EQ(r[j], reference.right[at + j]) << file[0] << " " << at + j;
            }
        }
    }
}

TEST(FlacSource, JumpsAreExactToTheSample) {
    std::mt19937 random(99);
    for (const auto& file : files) {
        RecordingSourceOwner owner;
        OpenedFlac source(&owner);
        ASSERT_TRUE(source.openAndWalk(mpegFile(file[0])));
        const Reference reference(mpegFile(file[1]));
        const auto total = static_cast<int32_t>(reference.left.size());
        std::vector<float> l(700), r(700);
        float* outs[2] = {l.data(), r.data()};
        for (int jump = 0; jump < 50; ++jump) {
            const auto at = static_cast<int32_t>(random() % static_cast<uint32_t>(total));
            ASSERT_TRUE(source.getSound(outs, 700, at, 1.0, true, false));
            for (int32_t j = 0; j < 700; ++j)
                ASSERT_EQ(l[j], at + j < total ? reference.left[at + j] : 0.0f) << file[0] << " jump to " << at;
        }
        // Backwards through a second, as a scratch does: the frames in reverse.
        for (int32_t p = 60000; p > 60000 - 44100; p -= 512) {
            ASSERT_TRUE(source.getSound(outs, 512, p - 1, -1.0, true, false));
            for (int32_t j = 0; j < 512; ++j) ASSERT_EQ(l[j], reference.left[p - 1 - j]) << "backwards at " << p;
        }
    }
}

TEST(FlacSource, DamagedFilesPlayUpToTheDamageWithoutHarm) {
    const Reference reference(mpegFile("music16-flac.wav"));
    for (const char* name : {"truncated.flac", "corrupt.flac"}) {
        RecordingSourceOwner owner;
        OpenedFlac source(&owner);
        if (!source.openAndWalk(mpegFile(name))) continue; // refused is fine too
        EXPECT_LE(source.getLength(), static_cast<int32_t>(reference.left.size()) + 4608) << name;
        std::vector<float> l(512), r(512);
        float* outs[2] = {l.data(), r.data()};
        ASSERT_TRUE(source.getSound(outs, 512, 1000, 1.0, true, false));
        for (int32_t j = 0; j < 512; ++j) ASSERT_EQ(l[j], reference.left[1000 + j]) << name;
        for (int32_t at : {0, 50000, 100000, 200000, 262000, 400000, 2000000})
            for (double ratio : {1.0, 0.91875, -1.0, 2.5}) source.getSound(outs, 512, at, ratio, at % 2 == 0, false);
    }
}

class FlacInThePlayer : public PlayerFixture {};

TEST_F(FlacInThePlayer, AFlacEntryOpensAndPlays) {
    setEntries({mpegFile("music16.flac")});
    unityLevels();
    ASSERT_TRUE(player->openTrack());
    EXPECT_NE(dynamic_cast<FlacSource*>(player->getCurrentSource()), nullptr);
    player->setPlaying(true);
    const Reference reference(mpegFile("music16-flac.wav"));
    render(512);
    for (int j = 0; j < 512; ++j) ASSERT_EQ(left[j], reference.left[j]) << j;
}

} // namespace

namespace {

TEST(FlacSource, ReadsAndJumpsOnTheAudioPathDoNotAllocate) {
    RecordingSourceOwner owner;
    OpenedFlac source(&owner);
    ASSERT_TRUE(source.openAndWalk(mpegFile("music16.flac")));
    std::vector<float> l(512), r(512);
    float* outs[2] = {l.data(), r.data()};
    AllocationCounter counter;
    for (int32_t p = 0; p < 100000; p += 470) source.getSound(outs, 512, p + 0.25, 0.91875, true, false);
    source.getSound(outs, 512, 200000, 1.0, true, false); // a jump
    source.getSound(outs, 512, 5000, -1.0, false, false);  // backwards
    EXPECT_EQ(counter.count(), 0u);
}

} // namespace
