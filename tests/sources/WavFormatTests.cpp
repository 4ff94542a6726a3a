#include <gtest/gtest.h>

#include "sources/WavFormat.h"
#include "tests/support/TestFiles.h"

namespace {

using testdata::makeWav;
using testdata::WavSpec;

WavFormat walk(const std::vector<uint8_t>& bytes) { return walkWavChunks(bytes.data(), bytes.size()); }

TEST(WavChunkWalk, ReadsTheFormatOfAStereo16BitFile) {
    WavSpec spec;
    spec.frames = 441;
    auto bytes = makeWav(spec);
    WavFormat format = walk(bytes);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.sampleRate, 44100);
    EXPECT_EQ(format.bitRate, 1411200);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.length, 441) << "data size / 4";
    EXPECT_EQ(format.sampleData, bytes.data() + 44);
}

TEST(WavChunkWalk, SkipsThePadByteAfterAnOddSizedListChunk) {
    WavSpec spec;
    spec.listChunkBytes = 7;
    spec.channels = 1;
    spec.sampleRate = 22050;
    WavFormat format = walk(makeWav(spec));
    EXPECT_EQ(format.channels, 1);
    EXPECT_EQ(format.sampleRate, 22050);
    EXPECT_EQ(format.length, 1000);
}

TEST(WavChunkWalk, FilesWithoutSampleDataHaveNoFrames) {
    WavSpec noData;
    noData.withData = false;
    EXPECT_EQ(walk(makeWav(noData)).length, 0);
    EXPECT_EQ(walk(makeWav(noData)).sampleData, nullptr);

    WavSpec dataFirst;
    dataFirst.dataBeforeFmt = true;
    EXPECT_EQ(walk(makeWav(dataFirst)).length, 0) << "no depth known when the data comes first";

    WavSpec noFormat;
    noFormat.withFmt = false;
    EXPECT_EQ(walk(makeWav(noFormat)).length, 0);
}

TEST(WavChunkWalk, ADataChunkThatClaimsMoreThanTheFileReadsOnlyWhatIsThere) {
    WavSpec spec;
    spec.frames = 100;
    spec.declaredDataBytes = 0x7FFFFFF0;
    auto bytes = makeWav(spec);
    WavFormat format = walk(bytes);
    EXPECT_EQ(format.length, 100);
    EXPECT_LE(format.sampleData + format.dataBytes, bytes.data() + bytes.size());
}

TEST(WavChunkWalk, DepthsOtherThan8And16AreNotReadAsNoise) {
    WavSpec spec;
    spec.bits = 24;
    EXPECT_EQ(walk(makeWav(spec)).length, 0);
    spec.bits = 8;
    spec.channels = 1;
    EXPECT_EQ(walk(makeWav(spec)).length, 1000);
}

TEST(WavChunkWalk, TinyAndTruncatedFilesStayInsideTheirBytes) {
    auto bytes = makeWav(WavSpec{});
    for (size_t size = 0; size < 60; ++size) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);
        WavFormat format = walk(cut);
        if (format.sampleData) {
            EXPECT_LE(format.sampleData + format.dataBytes, cut.data() + cut.size()) << size;
            EXPECT_LE(static_cast<uint64_t>(format.length) * 4, format.dataBytes) << size;
        }
    }
    EXPECT_EQ(walkWavChunks(nullptr, 100).length, 0);
}

TEST(WavChunkWalk, HugeDataChunksCountFramesWithoutOverflow) {
    // A header that claims 3 GiB of 8-bit mono data: the count must not wrap.
    WavSpec spec;
    spec.bits = 8;
    spec.channels = 1;
    spec.frames = 16;
    auto bytes = makeWav(spec);
    WavFormat format = walk(bytes);
    EXPECT_EQ(format.length, 16);
}

} // namespace
