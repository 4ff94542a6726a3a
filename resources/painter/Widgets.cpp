// Buttons, handles, displays, list rows and bars.
#include <cmath>

#include "resources/painter/SkinArt.h"

namespace art {
namespace {
const Rgb buttonSurround = paint::rgb(0x23272e);

// One key cap in the 16 × 16 cell at y0: raised when up, sunk and lit when down.
void keyCap(Image& image, int32_t y0, bool down, Rgb accent) {
    const float top = static_cast<float>(y0);
    image.rect({0, y0, 16, y0 + 16}, buttonSurround);
    image.fill({0, y0, 16, y0 + 16}, [&](float x, float y) { return paint::roundedBox(x, y, 0.5f, top + 0.5f, 15.5f, top + 15.5f, 3.0f); },
               groove);
    const Rgb high = down ? paint::rgb(0x1f242b) : paint::rgb(0x464e5a);
    const Rgb low = down ? paint::rgb(0x2b313a) : paint::rgb(0x2a2f37);
    image.fill({0, y0, 16, y0 + 16},
               [&](float x, float y) { return paint::roundedBox(x, y, 1.5f, top + 1.5f, 14.5f, top + 14.5f, 2.5f); },
               [&](float, float y) { return paint::mix(high, low, (y - top) / 16.0f); });
    if (down) {
        image.fill({0, y0, 16, y0 + 16}, [&](float x, float y) { return paint::circle(x, y, 8, top + 8, 6.5f); }, accent,
                   0.16f);
        image.rect({4, y0 + 13, 12, y0 + 14}, accent, 0.9f);
    } else {
        image.rect({3, y0 + 2, 13, y0 + 3}, paint::rgb(0x5d6672), 0.8f);
    }
}
} // namespace

Image button(Glyph glyph, Rgb accent) {
    Image image(16, 32, buttonSurround);
    keyCap(image, 0, false, accent);
    glyph(image, 0, 0, ink);
    keyCap(image, 16, true, accent);
    glyph(image, 0, 16, accent);
    return image;
}

Image textButton(const std::string& label, Rgb accent) {
    Image image(16, 32, buttonSurround);
    keyCap(image, 0, false, accent);
    image.text(label, {0, 0, 16, 15}, label.size() > 1 ? 6 : 4, ink, true, 1);
    keyCap(image, 16, true, accent);
    image.text(label, {0, 16, 16, 31}, label.size() > 1 ? 6 : 4, accent, true, 1);
    return image;
}

Image infoKey() {
    Image image(16, 16, buttonSurround);
    keyCap(image, 0, false, cyan);
    image.text("i", {0, 0, 16, 15}, 3, ink, true, 1);
    return image;
}

// The end-of-track mode: a flat amber-rimmed mode key, unlike the raised
// transport keys beside it, with a glyph of its own for each mode: on into
// the next track (an arrow into the list's lines), rewind and play again (a
// ring round a play triangle), rewind and stop (a ring round a square).
Image autoRewindSwitch() {
    Image image(16, 48, buttonSurround);
    for (int32_t state = 0; state < 3; ++state) {
        const int32_t y0 = state * 16;
        const float top = static_cast<float>(y0);
        const float cy = top + 8;
        image.rect({0, y0, 16, y0 + 16}, buttonSurround);
        image.fill({0, y0, 16, y0 + 16},
                   [&](float x, float y) { return paint::roundedBox(x, y, 0.5f, top + 0.5f, 15.5f, top + 15.5f, 7.5f); },
                   amber, state == 0 ? 0.55f : 0.95f);
        image.fill({0, y0, 16, y0 + 16},
                   [&](float x, float y) { return paint::roundedBox(x, y, 1.5f, top + 1.5f, 14.5f, top + 14.5f, 6.5f); },
                   paint::rgb(0x1c2026));
        const Rgb mark = state == 0 ? ink : amber;
        if (state == 0) {
            image.fill({0, y0, 16, y0 + 16}, [&](float x, float y) {
                const float shaft = paint::segment(x, y, 3.5f, cy, 8.0f, cy, 0.8f);
                const float head = paint::triangle(x, y, 7.5f, cy - 3.0f, 7.5f, cy + 3.0f, 10.5f, cy);
                const float lines = std::min(paint::segment(x, y, 11.5f, cy - 3.5f, 11.5f, cy + 3.5f, 0.6f),
                                             paint::segment(x, y, 13.0f, cy - 3.5f, 13.0f, cy + 3.5f, 0.6f));
                return std::min(std::min(shaft, head), lines);
            }, mark);
            continue;
        }
        image.fill({0, y0, 16, y0 + 16}, [&](float x, float y) {
            const float ring = std::abs(paint::circle(x, y, 8.0f, cy, 5.0f)) - 0.7f;
            const float inner = state == 1 ? paint::triangle(x, y, 6.6f, cy - 2.4f, 6.6f, cy + 2.4f, 10.2f, cy)
                                           : paint::roundedBox(x, y, 6.2f, cy - 1.8f, 9.8f, cy + 1.8f, 0.4f);
            return std::min(ring, inner);
        }, mark);
    }
    return image;
}

Image handle(int32_t width, int32_t fullHeight, Rgb accent, int32_t firstRow, int32_t endRow) {
    if (endRow < 0 || endRow > fullHeight) endRow = fullHeight;
    const int32_t height = endRow - firstRow;
    Image image(width, height, paint::rgb(0x9aa4b0));
    const bool across = width >= height;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const float t = across ? static_cast<float>(y) / static_cast<float>(std::max(height - 1, 1))
                                   : static_cast<float>(x) / static_cast<float>(std::max(width - 1, 1));
            image.blend(x, y, paint::mix(paint::rgb(0xe6ebf0), paint::rgb(0x6b7580), t), 1.0f);
        }
    // A dark rim, and the line that marks the value.
    for (int32_t x = 0; x < width; ++x) {
        image.blend(x, 0, groove, 0.7f);
        image.blend(x, height - 1, groove, 0.7f);
    }
    for (int32_t y = 0; y < height; ++y) {
        image.blend(0, y, groove, 0.7f);
        image.blend(width - 1, y, groove, 0.7f);
    }
    if (width <= 3) {
        for (int32_t y = 1; y < height - 1; ++y) image.blend(1, y, accent, 1.0f);
    } else if (across) {
        for (int32_t x = 1; x < width - 1; ++x) image.blend(x, height / 2, accent, 1.0f);
    } else {
        for (int32_t y = 1; y < height - 1; ++y) image.blend(width / 2, y, accent, 1.0f);
    }
    Image whole(width, fullHeight, paint::rgb(0xffffff));
    whole.paste(image, 0, firstRow);
    return whole;
}

Image display(int32_t width, int32_t height) {
    Image image(width, height, yellowKey);
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    image.fill({0, 0, width, height}, [&](float x, float y) { return paint::roundedBox(x, y, 0, 0, w, h, 3.0f); },
               paint::rgb(0x07090b));
    image.fill({0, 0, width, height}, [&](float x, float y) { return paint::roundedBox(x, y, 1, 1, w - 1, h - 1, 2.2f); },
               [&](float, float y) { return paint::mix(paint::rgb(0x12252c), lcd, y / h); });
    image.rect({2, 1, width - 2, 2}, paint::rgb(0x2a4650), 0.5f);
    // Edge pixels blended with the yellow key would show a yellow fringe:
    // they are made dark, and only pure key pixels stay transparent.
    for (int32_t y = 0; y < image.deviceHeight(); ++y)
        for (int32_t x = 0; x < image.deviceWidth(); ++x) {
            const Colour c = Colour::fromPixel(image.at(x, y));
            if (c.red > 40 && c.green > 40 && !(c.red == 255 && c.green == 255 && c.blue == 0))
                image.set(x, y, 0x07090b);
        }
    return image;
}

Image listRow(int32_t width, bool selected) {
    Image image(width, 16, selected ? paint::rgb(0x1d4257) : paint::rgb(0x14171b));
    if (selected) {
        image.verticalGradient({0, 0, width, 15}, paint::rgb(0x265a75), paint::rgb(0x1a3c4f));
        image.rect({0, 0, 2, 16}, cyan);
    }
    image.rect({0, 15, width, 16}, paint::rgb(0x0a0c0e));
    return image;
}

Image listBar(int32_t width, bool up) {
    Image image(width, 12, panelBottom);
    for (int32_t pressed = 0; pressed < 2; ++pressed) {
        const int32_t y0 = pressed * 6;
        image.verticalGradient({0, y0, width, y0 + 6}, pressed ? paint::rgb(0x1b2026) : paint::rgb(0x3a414b),
                               pressed ? paint::rgb(0x262c34) : paint::rgb(0x2a2f37));
        const float cx = static_cast<float>(width) / 2, top = static_cast<float>(y0);
        const Rgb colour = pressed ? cyan : ink;
        image.fill({0, y0, width, y0 + 6}, [&](float x, float y) {
            return up ? paint::triangle(x, y, cx - 4, top + 5, cx + 4, top + 5, cx, top + 1)
                      : paint::triangle(x, y, cx - 4, top + 1, cx + 4, top + 1, cx, top + 5);
        }, colour);
    }
    return image;
}

Image logoStrip(int32_t width, int32_t height) {
    Image image(width, height, panelBottom);
    image.text("tunedeck", {0, 0, width, height}, 2, cyan, true, 1);
    return image;
}

} // namespace art
