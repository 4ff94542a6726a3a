// Pixel tests of the drawing primitives against values worked out by hand.
#include <gtest/gtest.h>

#include "gui/Bitmap.h"
#include "gui/Canvas.h"
#include "gui/EmbeddedImages.h"

namespace {

constexpr uint32_t W = 0xFFFFFF, K = 0x000000, R = 0xFF0000, G = 0x00FF00;

std::vector<std::string> picture(const PixelSurface& s) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < s.height(); ++y) {
        std::string row;
        for (int32_t x = 0; x < s.width(); ++x) {
            uint32_t p = s.at(x, y);
            row += p == K ? '.' : p == W ? '#' : p == R ? 'r' : p == G ? 'g' : '?';
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(Geometry, ContainmentIsInclusiveAndTouchingRectsIntersect) {
    Rect r{10, 10, 20, 30};
    EXPECT_TRUE(r.contains({20, 30}));
    EXPECT_TRUE(r.contains({10, 10}));
    EXPECT_FALSE(r.contains({21, 15}));
    EXPECT_TRUE(r.intersects({20, 30, 40, 40})) << "touching corners";
    EXPECT_FALSE(r.intersects({21, 0, 40, 40}));
    EXPECT_EQ(r.width(), 10);
    EXPECT_EQ(colours::magenta.pixel(), 0xFF00FFu);
}

TEST(Canvas, AnOutlineSetsEveryEdgePixelOnceAndAFillStaysInside) {
    PixelSurface s(6, 5);
    Canvas c(s);
    c.drawRect({0, 0, 5, 4});
    c.setFillColour(colours::red);
    c.fillRect({0, 0, 5, 4});
    EXPECT_EQ(picture(s), (std::vector<std::string>{"######", "#rrrr#", "#rrrr#", "#rrrr#", "######"}));
}

TEST(Canvas, LinesLeaveOutTheirLastPixelAndDottedLinesSkipEveryOther) {
    PixelSurface s(7, 3);
    Canvas c(s);
    c.moveTo({0, 0});
    c.lineTo({6, 0});
    c.setLineStyle(Canvas::Dotted);
    c.moveTo({0, 2});
    c.lineTo({7, 2});
    EXPECT_EQ(picture(s), (std::vector<std::string>{"######.", ".......", "#.#.#.#"}));
}

TEST(Canvas, WideLinesAndTheOffsetAndTheClip) {
    PixelSurface s(5, 5);
    Canvas c(s, {1, 1, 3, 3});
    c.setLineWidth(3);
    c.setOffset({1, 1});
    c.moveTo({1, 1});
    c.lineTo({2, 1});
    EXPECT_EQ(picture(s), (std::vector<std::string>{".....", ".###.", ".###.", ".###.", "....."}));
}

TEST(BitmapBlits, OpaqueAndColourKeyedCopiesStayInsideBothImages) {
    // 3 × 2 image: red, white, green / white, red, white.
    auto* bitmap = new Bitmap(7, 3, 2, {R, W, G, W, R, W});
    PixelSurface s(4, 3);
    Canvas c(s);
    bitmap->draw(c, {0, 0, 3, 2}, {0, 0});
    EXPECT_EQ(picture(s), (std::vector<std::string>{"r#g.", "#r#.", "...."}));

    PixelSurface t(4, 3, colours::green);
    Canvas d(t);
    bitmap->drawTransparent(d, {1, 1, 5, 4}, {0, 0}); // reaches past both the image and the canvas
    EXPECT_EQ(picture(t), (std::vector<std::string>{"gggg", "grgg", "ggrg"}));
    bitmap->setTransparentColour(colours::red);
    bitmap->drawTransparent(d, {0, 0, 3, 2}, {0, 0});
    EXPECT_EQ(picture(t)[0], "g#gg");

    bitmap->draw(c, {0, 0, 2, 1}, {2, 1}); // one pixel of the image is in reach
    EXPECT_EQ(picture(s)[0], "##g.") << "only the pixel the image has is copied";

    EXPECT_EQ(bitmap->referenceCount(), 1);
    bitmap->retain();
    bitmap->release();
    EXPECT_EQ(bitmap->referenceCount(), 1);
    bitmap->release(); // deletes it
}

TEST(BitmapBlits, AnImageWithAWrongPixelCountDrawsNothing) {
    auto* broken = new Bitmap(1, 4, 4, {R, R});
    PixelSurface s(4, 4);
    Canvas c(s);
    broken->draw(c, {0, 0, 4, 4}, {0, 0});
    broken->drawTransparent(c, {0, 0, 4, 4}, {0, 0});
    EXPECT_EQ(s.at(0, 0), K);
    EXPECT_EQ(broken->width(), 0);
    broken->release();
}

TEST(OffscreenCanvas, StartsInItsColourAndBlitsABlock) {
    OffscreenCanvas off(3, 3, colours::red);
    EXPECT_EQ(off.pixels().at(0, 0), R);
    EXPECT_EQ(off.pixels().at(1, 1), R);
    off.setFrameColour(colours::green);
    off.moveTo({0, 1});
    off.lineTo({3, 1});
    PixelSurface s(4, 4);
    Canvas c(s);
    off.blitTo(c, {1, 1, 3, 3}, {1, 0});
    EXPECT_EQ(picture(s), (std::vector<std::string>{"....", ".rr.", ".gg.", "...."}));
}

// At a scale, layout pixels tile the device pixels without a gap or an
// overlap, a point maps back to the layout pixel that covers it, and
// bitmaps of the canvas's scale copy one for one while others stretch.
TEST(ScaledCanvas, LayoutPixelsTileTheDeviceAndBitmapsCopyAtTheirOwnScale) {
    for (float scale : {1.0f, 1.25f, 1.5f, 1.75f, 2.0f, 2.5f, 3.0f}) {
        for (int32_t v = -3; v < 400; ++v) {
            ASSERT_LT(toDevice(v, scale), toDevice(v + 1, scale)) << scale << " " << v;
            for (int32_t d = toDevice(v, scale); d < toDevice(v + 1, scale); ++d) ASSERT_EQ(toLayout(d, scale), v);
        }
        // A fill of layout pixels 1..4 by 1..2 covers exactly its device pixels.
        PixelSurface s(toDevice(8, scale), toDevice(4, scale));
        Canvas c(s, Rect{0, 0, 7, 3}, scale);
        c.setFillColour(colours::red);
        c.fillRect({0, 0, 5, 3});
        for (int32_t y = 0; y < s.height(); ++y)
            for (int32_t x = 0; x < s.width(); ++x) {
                const bool inside = toLayout(x, scale) >= 1 && toLayout(x, scale) <= 4 && toLayout(y, scale) >= 1 &&
                                    toLayout(y, scale) <= 2;
                ASSERT_EQ(s.at(x, y), inside ? R : K) << scale << " at " << x << "," << y;
            }
    }
    // A block of an image painted at the canvas's scale covers its device
    // pixels whole wherever it lands: at 1.25 and 1.75 the block and its
    // source round differently, and no pixel is left undrawn.
    for (float scale : {1.25f, 1.5f, 1.75f, 2.5f}) {
        const int32_t w = toDevice(12, scale), h = toDevice(4, scale);
        auto* art = new Bitmap(5, 12, 4, std::vector<uint32_t>(48, R));
        ASSERT_TRUE(art->repaint(scale, w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, R)));
        for (int32_t at = 0; at < 5; ++at)
            for (int32_t from = 0; from < 5; ++from) {
                PixelSurface s(toDevice(20, scale), toDevice(4, scale));
                Canvas c(s, Rect{0, 0, 19, 3}, scale);
                c.setOffset({at % 2, 0});
                art->draw(c, {at, 0, at + 6, 2}, {from, 1});
                const Rect d = c.deviceRect({at, 0, at + 6, 2});
                for (int32_t y = 0; y < s.height(); ++y)
                    for (int32_t x = 0; x < s.width(); ++x) {
                        const bool inside = x >= d.left && x < d.right && y >= d.top && y < d.bottom;
                        ASSERT_EQ(s.at(x, y), inside ? R : K) << scale << " at " << at << " from " << from;
                    }
            }
        art->release();
    }
    // Painted at 2: 2 × 1 layout pixels of 4 × 2 device pixels.
    auto* painted = new Bitmap(3, 2, 1, {R, G});
    ASSERT_TRUE(painted->repaint(2.0f, 4, 2, {R, W, G, K, W, R, K, G}));
    EXPECT_FALSE(painted->repaint(2.0f, 4, 2, {R})) << "a wrong pixel count is refused";
    EXPECT_EQ(painted->width(), 2);
    PixelSurface twice(6, 2);
    Canvas atTwo(twice, Rect{0, 0, 2, 0}, 2.0f);
    painted->draw(atTwo, {1, 0, 3, 1}, {0, 0});
    EXPECT_EQ(picture(twice), (std::vector<std::string>{"..r#g.", "..#r.g"}));
    // A bitmap of scale 1 (the overview) on a canvas at 2: each pixel a block.
    auto* plain = new Bitmap(4, 2, 1, {R, G});
    PixelSurface blocks(4, 2);
    Canvas blocksCanvas(blocks, Rect{0, 0, 1, 0}, 2.0f);
    plain->draw(blocksCanvas, {0, 0, 2, 1}, {0, 0});
    EXPECT_EQ(picture(blocks), (std::vector<std::string>{"rrgg", "rrgg"}));
    painted->release();
    plain->release();
}

} // namespace

namespace {

TEST(EmbeddedImages, BitmapsLoadByIdAndAMissingOneIsEmpty) {
    static const uint32_t pixels[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    static const EmbeddedImage table[] = {{110, 2, 2, pixels}};
    registerEmbeddedImages(table, 1);
    Bitmap* found = loadBitmap(110);
    EXPECT_EQ(found->width(), 2);
    EXPECT_EQ(found->pixel(1, 1), 0xFFFFFFu);
    EXPECT_EQ(found->transparentColour(), colours::white) << "white is the key of a fresh bitmap";
    found->release();
    Bitmap* missing = loadBitmap(999);
    EXPECT_EQ(missing->width(), 0);
    PixelSurface s(2, 2);
    Canvas c(s);
    missing->draw(c, {0, 0, 2, 2}, {0, 0});
    EXPECT_EQ(s.at(0, 0), 0u);
    missing->release();
    registerEmbeddedImages(nullptr, 0);
}

} // namespace
