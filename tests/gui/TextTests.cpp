// Text through the font table, and pictures written as PNG files.
#include <png.h>

#include <memory>

#include <gtest/gtest.h>

#include "gui/Canvas.h"
#include "gui/FontTable.h"
#include "gui/TextLabel.h"
#include "platform/Fonts.h"
#include "tests/support/TestFiles.h"
#include "tools/PngWriter.h"

namespace {

struct Box {
    int32_t left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Box inked(const PixelSurface& s, uint32_t ink) {
    Box b;
    for (int32_t y = 0; y < s.height(); ++y)
        for (int32_t x = 0; x < s.width(); ++x)
            if (s.at(x, y) == ink) {
                b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
            }
    return b;
}

TEST(Fonts, ArialResolvesToAMetricCompatibleFace) {
    auto font = platform::Font::open("Arial", 12, false, false);
    ASSERT_NE(font, nullptr);
    EXPECT_EQ(font->familyName(), "Liberation Sans");
    EXPECT_GT(font->textWidth("Trakvox"), font->textWidth("Tr"));
    EXPECT_EQ(fontTableEntry(1).size, 18);
    EXPECT_STREQ(fontTableEntry(99).face, "Arial") << "ids outside the table are font 0";
}

TEST(DrawString, TextIsCentredAlignedAndKeptInsideItsRect) {
    const Rect rect{10, 5, 110, 25};
    for (int32_t alignment : {0, 1, 2}) {
        PixelSurface s(130, 40);
        Canvas c(s);
        c.setFont(3);
        c.drawString("12:34", rect, false, alignment);
        Box b = inked(s, 0xFFFFFF);
        ASSERT_GE(b.right, 0) << "something was drawn";
        EXPECT_GE(b.left, rect.left);
        EXPECT_LE(b.right, rect.right);
        EXPECT_NEAR((b.top + b.bottom) / 2.0, (rect.top + rect.bottom) / 2.0, 3.0) << "vertically centred";
        if (alignment == 1) {
            EXPECT_NEAR((b.left + b.right) / 2.0, (rect.left + rect.right) / 2.0, 2.0);
        } else if (alignment == 2) {
            EXPECT_GE(b.right, rect.right - 2);
        } else {
            EXPECT_LE(b.left, rect.left + 3);
        }
    }
}

// At twice the scale text is the font at twice the size, set anew (hinted
// for its pixels), in the doubled rect: the same pixels as the font at the
// doubled size at scale 1, and twice as tall within a pixel. (At 9 pixels
// hinting stretches the capitals at scale 1 to 7 pixels, 5.7 drawn true,
// so font 6 is left out of the height check.)
TEST(DrawString, AtTwiceTheScaleTextIsTheFontAtTwiceTheSizeInTheDoubledRect) {
    const Rect rect{10, 5, 110, 25};
    for (int32_t font = 0; font < 7; ++font) {
        PixelSurface one(130, 40), two(260, 80), reference(260, 80);
        Canvas single(one), twice(two, Rect{0, 0, 129, 39}, 2.0f), large(reference);
        single.setFont(font);
        single.drawString("HEH", rect);
        twice.setFont(font);
        twice.drawString("HEH", rect);
        large.setFont(font, 2 * fontTableEntry(font).size);
        large.drawString("HEH", Rect{20, 10, 220, 50});
        EXPECT_TRUE(std::equal(two.data(), two.data() + 260 * 80, reference.data())) << "font " << font;
        const Box a = inked(one, 0xFFFFFF), b = inked(two, 0xFFFFFF);
        ASSERT_GE(b.right, 0);
        if (font != 6) {
            EXPECT_NEAR(b.bottom - b.top + 1, 2 * (a.bottom - a.top + 1), 1) << "cap height, font " << font;
        }
        EXPECT_GE(b.left, 2 * rect.left);
        EXPECT_LE(b.right, 2 * rect.right);
    }
}

// A title too long for its field keeps its start, loses its middle and
// keeps the track counter whole at the right edge, where a short title has
// it too.
TEST(DrawString, ALongTitleLosesItsMiddleAndKeepsItsCounterWhole) {
    const Rect rect{0, 0, 192, 16};
    const std::string counter = " 12/34";
    auto draw = [&](const std::string& text, bool elided, int32_t alignment) {
        auto surface = std::make_unique<PixelSurface>(200, 16);
        Canvas c(*surface);
        TextField field(rect, nullptr, 0, text.c_str(), nullptr, 0);
        field.setTransparency(true);
        field.setAlignment(alignment);
        if (elided) field.setElided(true, counter.size());
        field.draw(c);
        return surface;
    };
    const std::string title = "Some Artist - A Rather Long Track Title (Extended Club Mix)" + counter;
    auto shown = draw(title, true, Canvas::AlignCentre);
    auto counterAlone = draw(counter, false, Canvas::AlignRight);
    auto start = draw(title, false, Canvas::AlignLeft);
    Box whole = inked(*shown, 0xFFFFFF), end = inked(*counterAlone, 0xFFFFFF);
    ASSERT_GE(end.right, 0);
    EXPECT_LT(whole.right, rect.right) << "nothing leaves the field";
    for (int32_t y = 0; y < 16; ++y) {
        for (int32_t x = end.left; x < rect.right; ++x)
            ASSERT_EQ(shown->at(x, y), counterAlone->at(x, y)) << "the counter at " << x << "," << y;
        for (int32_t x = 0; x < 40; ++x)
            ASSERT_EQ(shown->at(x, y), start->at(x, y)) << "the name's start at " << x << "," << y;
    }
    // A short name leaves the counter where a long one has it.
    auto shortTitle = draw("Intro" + counter, true, Canvas::AlignCentre);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = end.left; x < rect.right; ++x)
            ASSERT_EQ(shortTitle->at(x, y), counterAlone->at(x, y)) << "the counter at " << x << "," << y;
}

TEST(DrawString, OpaqueTextFillsItsCellWithTheFillColour) {
    PixelSurface s(60, 20);
    Canvas c(s);
    c.setFont(5);
    c.setFillColour(colours::blue);
    c.setFontColour(colours::yellow);
    c.drawString("88", {0, 0, 59, 19}, true, 1);
    EXPECT_GE(inked(s, colours::blue.pixel()).right, 0);
    EXPECT_GE(inked(s, colours::yellow.pixel()).right, 0);
    EXPECT_EQ(s.at(0, 0), 0u) << "only the text's cell is filled";
}

TEST(Png, APictureReadsBackWithTheSamePixels) {
    PixelSurface s(5, 3);
    s.set(0, 0, 0x123456);
    s.set(4, 2, 0xFF8000);
    std::string path = testdata::tempPath("picture.png");
    ASSERT_TRUE(writePng(path, s));
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str()));
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(pixels[0], 0x12);
    EXPECT_EQ(pixels[2], 0x56);
    EXPECT_EQ(pixels[(2 * 5 + 4) * 3 + 1], 0x80);
    EXPECT_FALSE(writePng("/no/such/folder/x.png", s));
}

} // namespace
