// The skin painted at a scale: the same artwork with more pixels, drawn
// anew (edges and text at the scale's own size), never enlarged.
#include <cmath>
#include <cstdlib>
#include <map>

#include <gtest/gtest.h>

#include "resources/painter/SkinArt.h"
#include "resources/painter/SkinPainting.h"

namespace {

// The mean difference, per channel, between image at 2 and one at 1, the
// former averaged over each 2 × 2 block.
double meanDifferenceAtHalf(const paint::Image& twice, const paint::Image& once) {
    double total = 0.0;
    for (int32_t y = 0; y < once.deviceHeight(); ++y)
        for (int32_t x = 0; x < once.deviceWidth(); ++x)
            for (int shift : {0, 8, 16}) {
                double sum = 0.0;
                for (int32_t dy = 0; dy < 2; ++dy)
                    for (int32_t dx = 0; dx < 2; ++dx) sum += (twice.at(2 * x + dx, 2 * y + dy) >> shift) & 255;
                total += std::abs(sum / 4.0 - ((once.at(x, y) >> shift) & 255));
            }
    return total / (3.0 * once.deviceWidth() * once.deviceHeight());
}

// Rows from the first to the last that hold a pixel unlike the fill.
int32_t inkHeight(const paint::Image& image, uint32_t fill) {
    int32_t first = -1, last = -1;
    for (int32_t y = 0; y < image.deviceHeight(); ++y)
        for (int32_t x = 0; x < image.deviceWidth(); ++x)
            if (image.at(x, y) != fill) {
                if (first < 0) first = y;
                last = y;
            }
    return first < 0 ? 0 : last - first + 1;
}

TEST(SkinPainting, AtTwiceTheScaleEveryImageHasTwiceThePixelsAndShowsTheSameArtwork) {
    const std::vector<PaintedImage> once = paintSkin(1.0f);
    const std::vector<PaintedImage> twice = paintSkin(2.0f);
    ASSERT_EQ(once.size(), twice.size());
    std::map<int32_t, double> differences;
    for (size_t i = 0; i < once.size(); ++i) {
        const paint::Image& a = once[i].image;
        const paint::Image& b = twice[i].image;
        ASSERT_EQ(once[i].id, twice[i].id);
        EXPECT_EQ(b.deviceWidth(), 2 * a.deviceWidth()) << "image " << once[i].id;
        EXPECT_EQ(b.deviceHeight(), 2 * a.deviceHeight()) << "image " << once[i].id;
        EXPECT_EQ(b.width(), a.width()) << "the same layout size";
        differences[once[i].id] = meanDifferenceAtHalf(b, a);
    }
    // Shapes (buttons, handles, the jog wheel) and whole panels with their
    // captions look the same from arm's length: what differs is finer edges
    // and text hinted for more pixels (most in the small text buttons).
    for (auto [id, difference] : differences) EXPECT_LT(difference, 20.0) << "image " << id;
    for (int32_t shape : {116, 119, 126, 145}) EXPECT_LT(differences[shape], 6.0) << "image " << shape;
}

// Every caption and label fits its box at every scale the editor is drawn
// at: text set at a scale is hinted for its pixels and may grow a little
// against its box, but never so much as to be cut.
TEST(SkinPainting, NoTextIsCutAtAnyScale) {
#ifdef TUNEDECK_SANITIZED
    // Ten times slower there: the scales of most screens, the normal build
    // checks them all.
    const float scales[] = {1.0f, 2.0f};
#else
    const float scales[] = {1.0f, 1.25f, 1.5f, 1.75f, 2.0f, 2.5f, 3.0f};
#endif
    for (float scale : scales) {
        const int32_t before = paint::cutTexts();
        const std::vector<PaintedImage> skin = paintSkin(scale);
        EXPECT_EQ(paint::cutTexts() - before, 0) << "texts cut at " << scale;
    }
}

TEST(SkinPainting, TextIsSetAtTheScaledSizeAndEdgesStaySharp) {
    for (float scale : {1.0f, 1.5f, 2.0f, 3.0f}) {
        paint::Image caption(60, 20, paint::rgb(0), scale);
        caption.text("PITCH", {0, 0, 60, 20}, 2, paint::rgb(0xffffff));
        paint::Image reference(60, 20, paint::rgb(0), 1.0f);
        reference.text("PITCH", {0, 0, 60, 20}, 2, paint::rgb(0xffffff));
        const int32_t height = inkHeight(reference, 0);
        ASSERT_GT(height, 3);
        EXPECT_NEAR(inkHeight(caption, 0), scale * height, 1.0 + scale * 0.5) << "cap height at " << scale;
        EXPECT_NEAR(caption.textWidth("PITCH", 2), reference.textWidth("PITCH", 2), 2)
            << "a layout width at any scale";
    }
    // A disc's edge is one device pixel wide at every scale: at 3 the
    // partly covered pixels along a row through its centre are two.
    paint::Image disc(20, 20, paint::rgb(0), 3.0f);
    disc.fill({0, 0, 20, 20}, [](float x, float y) { return paint::circle(x, y, 10.0f, 10.0f, 6.3f); },
              paint::rgb(0xffffff));
    int32_t partial = 0;
    for (int32_t x = 0; x < disc.deviceWidth(); ++x) {
        const uint32_t level = disc.at(x, 30) & 255;
        partial += level != 0 && level != 255;
    }
    EXPECT_LE(partial, 2);
}

} // namespace
