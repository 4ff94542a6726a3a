#include <vector>

#include <gtest/gtest.h>

#include "sources/WavSource.h"

namespace {

// A source that only draws: the overview depends on the sample rate alone.
class DrawingSource : public WavSource {
public:
    DrawingSource() : WavSource(nullptr) { sampleRate = 44100; }
    void setRate(int32_t rate) { sampleRate = rate; }
};

class Overview : public ::testing::Test {
protected:
    void SetUp() override {
        pixels.assign(TrackSource::overviewBytes + 3, 0x5A); // one guard pixel past the end
        source.setBitmap(pixels.data());
    }
    const uint8_t* pixel(int x, int y) const { return &pixels[(y * 248 + x) * 3]; }
    bool drawn(int x, int y) const { return pixel(x, y)[1] == 255 && pixel(x, y)[0] != 255; }
    bool white(int x, int y) const { return pixel(x, y)[0] == 255 && pixel(x, y)[1] == 255 && pixel(x, y)[2] == 255; }

    DrawingSource source;
    std::vector<uint8_t> pixels;
    std::vector<float> block = std::vector<float>(1024, 0.0f);
};

TEST_F(Overview, EndZeroClearsTheWholeBitmapToBlack) {
    source.drawOverview(0, 0, 1000, nullptr, nullptr);
    for (int i = 0; i < TrackSource::overviewBytes; ++i) ASSERT_EQ(pixels[i], 0) << i;
    EXPECT_EQ(pixels[TrackSource::overviewBytes], 0x5A);
}

TEST_F(Overview, SilenceDrawsTheMiddleRowOnly) {
    source.drawOverview(0, 0, 248 * 100, nullptr, nullptr);
    source.drawOverview(0, 1024, 248 * 100, block.data(), block.data());
    EXPECT_TRUE(drawn(0, 8));
    EXPECT_FALSE(drawn(0, 7));
    EXPECT_FALSE(drawn(0, 9));
    EXPECT_EQ(pixel(0, 8)[0], 15);
    EXPECT_EQ(pixel(0, 8)[2], 240);
}

TEST_F(Overview, FullScaleDrawsRowsZeroToFourteenWithTheirColours) {
    std::vector<float> loud(1024, 1.0f);
    source.drawOverview(0, 0, 248 * 100, nullptr, nullptr);
    source.drawOverview(0, 100, 248 * 100, loud.data(), loud.data());
    const int blues[15] = {239, 207, 175, 143, 111, 79, 47, 15, 15, 47, 79, 111, 143, 175, 207};
    for (int y = 0; y < 15; ++y) EXPECT_EQ(pixel(0, y)[0], blues[y]) << y;
    EXPECT_EQ(pixel(0, 15)[1], 0) << "row 15 belongs to markers";
}

TEST_F(Overview, MarkersFollowTheTracksLength) {
    // 90 s, 3 min and 25 min at 44.1 kHz: markers every 15 s, 1 min, 10 min;
    // the first one falls in the column that holds its frame.
    struct Case { int32_t total; int firstMarkerColumn; };
    for (Case c : {Case{90 * 44100, 41}, Case{180 * 44100, 82}, Case{1500 * 44100, 99}}) {
        source.drawOverview(0, 0, c.total, nullptr, nullptr);
        for (int x = 0; x < 248; ++x) {
            int32_t start = static_cast<int32_t>(static_cast<int64_t>(c.total) * x / 248) + 1;
            source.drawOverview(start, start + 1024, c.total, block.data(), block.data());
        }
        int first = -1;
        for (int x = 0; x < 248 && first < 0; ++x)
            if (white(x, 15)) first = x;
        EXPECT_EQ(first, c.firstMarkerColumn) << c.total;
    }
}

TEST_F(Overview, TheLastBlockPastTheEndNeverWritesOutsideTheBitmap) {
    std::vector<float> loud(1024, 1.0f);
    int32_t total = 1000;
    source.drawOverview(0, 0, total, nullptr, nullptr);
    source.drawOverview(0, 1024, total, loud.data(), loud.data());
    EXPECT_TRUE(drawn(247, 0));
    EXPECT_EQ(pixels[TrackSource::overviewBytes], 0x5A);
    EXPECT_EQ(pixels[TrackSource::overviewBytes + 2], 0x5A);
}

TEST_F(Overview, NoBitmapOrNoLengthDrawsNothing) {
    source.drawOverview(0, 1024, 0, block.data(), block.data());
    EXPECT_EQ(pixels[0], 0x5A);
    source.setBitmap(nullptr);
    source.drawOverview(0, 0, 1000, nullptr, nullptr);
    EXPECT_EQ(pixels[0], 0x5A);
    source.setBitmap(pixels.data());
    source.setRate(0);
    source.drawOverview(0, 1024, 1000, block.data(), block.data());
    EXPECT_EQ(pixels[0], 0x5A) << "no marker interval at rate 0";
}

} // namespace
