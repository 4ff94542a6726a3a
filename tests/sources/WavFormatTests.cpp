#include <gtest/gtest.h>

#include "sources/WavFormat.h"
#include "tests/support/TestFiles.h"

namespace {

using testdata::makeWav;
using testdata::WavRecipe;

WavFormat walk(const std::vector<uint8_t>& bytes) { return walkWavChunks(bytes.data(), bytes.size()); }

TEST(WavChunkWalk, ReadsTheFormatOfAStereo16BitFile) {
    WavRecipe recipe;
    recipe.frames = 441;
    auto bytes = makeWav(recipe);
    WavFormat format = walk(bytes);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.sampleRate, 44100);
    EXPECT_EQ(format.bitRate, 1411200);
    EXPECT_EQ(format.bitsPerSample, 16);
    EXPECT_EQ(format.length, 441) << "data size / 4";
    EXPECT_EQ(format.dataOffset, 44);
}

TEST(WavChunkWalk, SkipsThePadByteAfterAnOddSizedListChunk) {
    WavRecipe recipe;
    recipe.listChunkBytes = 7;
    recipe.channels = 1;
    recipe.sampleRate = 22050;
    WavFormat format = walk(makeWav(recipe));
    EXPECT_EQ(format.channels, 1);
    EXPECT_EQ(format.sampleRate, 22050);
    EXPECT_EQ(format.length, 1000);
}

TEST(WavChunkWalk, FilesWithoutSampleDataHaveNoFrames) {
    WavRecipe noData;
    noData.withData = false;
    EXPECT_EQ(walk(makeWav(noData)).length, 0);
    EXPECT_EQ(walk(makeWav(noData)).dataOffset, -1);

    WavRecipe dataFirst;
    dataFirst.dataBeforeFmt = true;
    EXPECT_EQ(walk(makeWav(dataFirst)).length, 0) << "no depth known when the data comes first";

    WavRecipe noFormat;
    noFormat.withFmt = false;
    EXPECT_EQ(walk(makeWav(noFormat)).length, 0);
}

// What recorders leave until they finish: headers that say 0 bytes (of
// sound and of the whole file), or more than was written. A finished file
// whose sound is empty stays empty, whatever chunk follows it.
TEST(WavChunkWalk, AnUnfinishedRecordingReadsWhatTheFileHoldsAndAFinishedEmptyOneNothing) {
    auto riffSize = [](std::vector<uint8_t>& bytes, uint32_t size) {
        for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(size >> (8 * i));
    };
    for (int64_t declared : {int64_t{0}, int64_t{0x7FFFFFF0}, int64_t{0xFFFFFFFF}}) {
        WavRecipe recipe;
        recipe.frames = 100;
        recipe.declaredDataBytes = declared;
        auto bytes = makeWav(recipe);
        riffSize(bytes, declared == 0 ? 0 : 0xFFFFFFFF);
        WavFormat format = walk(bytes);
        EXPECT_EQ(format.length, 100) << declared;
        EXPECT_LE(format.dataOffset + format.dataBytes, bytes.size());
    }
    WavRecipe empty;
    empty.frames = 0;
    auto bytes = makeWav(empty);
    const char tail[] = "LIST\x10\0\0\0INFOISFT\x04\0\0\0deck";
    bytes.insert(bytes.end(), tail, tail + sizeof tail - 1);
    riffSize(bytes, static_cast<uint32_t>(bytes.size() - 8));
    EXPECT_EQ(walk(bytes).length, 0) << "the LIST chunk after an empty data chunk is no sound";
}

TEST(WavChunkWalk, FormatsTheSourceDoesNotReadHaveNoFrames) {
    WavRecipe recipe;
    recipe.bits = 12; // integer PCM of an odd depth
    EXPECT_EQ(walk(makeWav(recipe)).length, 0);
    recipe.bits = 4;
    recipe.formatTag = 2; // ADPCM
    EXPECT_EQ(walk(makeWav(recipe)).length, 0);
    recipe.bits = 16;
    recipe.formatTag = 3; // half-precision float
    EXPECT_EQ(walk(makeWav(recipe)).length, 0);
    recipe.formatTag = 0x55; // MPEG Layer III inside a WAV
    recipe.extensible = true;
    EXPECT_EQ(walk(makeWav(recipe)).length, 0);
}

TEST(WavChunkWalk, TinyAndTruncatedFilesStayInsideTheirBytes) {
    auto bytes = makeWav(WavRecipe{});
    for (size_t size = 0; size < 60; ++size) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + size);
        WavFormat format = walk(cut);
        if (format.dataOffset >= 0) {
            EXPECT_LE(format.dataOffset + format.dataBytes, cut.size()) << size;
            EXPECT_LE(static_cast<uint64_t>(format.length) * 4, format.dataBytes) << size;
        }
    }
    EXPECT_EQ(walkWavChunks(nullptr, 100).length, 0);
}

TEST(WavChunkWalk, HugeDataChunksCountFramesWithoutOverflow) {
    // A header that claims 3 GiB of 8-bit mono data: the count must not wrap.
    WavRecipe recipe;
    recipe.bits = 8;
    recipe.channels = 1;
    recipe.frames = 16;
    auto bytes = makeWav(recipe);
    WavFormat format = walk(bytes);
    EXPECT_EQ(format.length, 16);
}

} // namespace
