// The button icons, each drawn in a 16 × 16 cell.
#include <cmath>
#include <numbers>

#include "resources/painter/SkinArt.h"

namespace art {
namespace {
Rect cell(int32_t x0, int32_t y0) { return {x0, y0, x0 + 16, y0 + 16}; }
float fx(int32_t x0, float x) { return static_cast<float>(x0) + x; }
} // namespace

void plusGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) {
    image.fill(cell(x0, y0), [&](float x, float y) {
        return std::min(paint::segment(x, y, fx(x0, 8), fx(y0, 4.5f), fx(x0, 8), fx(y0, 11.5f), 1.1f),
                        paint::segment(x, y, fx(x0, 4.5f), fx(y0, 8), fx(x0, 11.5f), fx(y0, 8), 1.1f));
    }, colour);
}

namespace {
// A bar with a triangle pointing at it: back to the start, or on to the end.
void barAndTriangle(Image& image, int32_t x0, int32_t y0, Rgb colour, bool towardsLeft) {
    const float bar = towardsLeft ? 4.5f : 11.5f;
    const float base = towardsLeft ? 12.0f : 4.0f, tip = towardsLeft ? 5.5f : 10.5f;
    image.fill(cell(x0, y0), [&](float x, float y) {
        return std::min(paint::segment(x, y, fx(x0, bar), fx(y0, 4.5f), fx(x0, bar), fx(y0, 11.5f), 0.9f),
                        paint::triangle(x, y, fx(x0, base), fx(y0, 4.5f), fx(x0, base), fx(y0, 11.5f), fx(x0, tip),
                                        fx(y0, 8)));
    }, colour);
}
} // namespace

void rewindGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) { barAndTriangle(image, x0, y0, colour, true); }

void nextGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) { barAndTriangle(image, x0, y0, colour, false); }

void resetGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) {
    // A circular arrow: an open ring and its head.
    const float cx = fx(x0, 8), cy = fx(y0, 8);
    image.fill(cell(x0, y0), [&](float x, float y) {
        const float ring = std::abs(paint::circle(x, y, cx, cy, 4.2f)) - 0.9f;
        const float angle = std::atan2(y - cy, x - cx);
        const float gap = angle > -std::numbers::pi_v<float> * 0.75f && angle < -std::numbers::pi_v<float> * 0.25f
                              ? 2.0f
                              : -10.0f;
        const float arc = std::max(ring, gap);
        const float head = paint::triangle(x, y, fx(x0, 9.2f), fx(y0, 1.6f), fx(x0, 9.2f), fx(y0, 6.4f), fx(x0, 12.4f),
                                           fx(y0, 4.0f));
        return std::min(arc, head);
    }, colour);
}

void playGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) {
    image.fill(cell(x0, y0), [&](float x, float y) {
        return paint::triangle(x, y, fx(x0, 5), fx(y0, 3.8f), fx(x0, 5), fx(y0, 12.2f), fx(x0, 12.3f), fx(y0, 8)) -
               0.3f;
    }, colour);
}

void pageGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) {
    image.fill(cell(x0, y0), [&](float x, float y) {
        auto chevron = [&](float left) {
            return std::min(paint::segment(x, y, fx(x0, left), fx(y0, 4.5f), fx(x0, left + 3.5f), fx(y0, 8), 0.85f),
                            paint::segment(x, y, fx(x0, left + 3.5f), fx(y0, 8), fx(x0, left), fx(y0, 11.5f), 0.85f));
        };
        return std::min(chevron(4.0f), chevron(8.0f));
    }, colour);
}

void cutGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) {
    image.fill(cell(x0, y0), [&](float x, float y) {
        return std::min(paint::segment(x, y, fx(x0, 5), fx(y0, 5), fx(x0, 11), fx(y0, 11), 1.0f),
                        paint::segment(x, y, fx(x0, 11), fx(y0, 5), fx(x0, 5), fx(y0, 11), 1.0f));
    }, colour);
}

void saveGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) {
    // An arrow down into a tray.
    image.fill(cell(x0, y0), [&](float x, float y) {
        const float shaft = paint::segment(x, y, fx(x0, 8), fx(y0, 3.5f), fx(x0, 8), fx(y0, 8), 0.9f);
        const float head = paint::triangle(x, y, fx(x0, 4.8f), fx(y0, 7), fx(x0, 11.2f), fx(y0, 7), fx(x0, 8),
                                           fx(y0, 10.4f));
        const float tray = std::min({paint::segment(x, y, fx(x0, 3.5f), fx(y0, 12.5f), fx(x0, 12.5f), fx(y0, 12.5f), 0.8f),
                                     paint::segment(x, y, fx(x0, 3.5f), fx(y0, 10.5f), fx(x0, 3.5f), fx(y0, 12.5f), 0.8f),
                                     paint::segment(x, y, fx(x0, 12.5f), fx(y0, 10.5f), fx(x0, 12.5f), fx(y0, 12.5f), 0.8f)});
        return std::min({shaft, head, tray});
    }, colour);
}

void deleteGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour) {
    // A bin: lid, body and two ribs.
    image.fill(cell(x0, y0), [&](float x, float y) {
        const float lid = paint::segment(x, y, fx(x0, 4), fx(y0, 4.5f), fx(x0, 12), fx(y0, 4.5f), 0.75f);
        const float knob = paint::segment(x, y, fx(x0, 7), fx(y0, 3), fx(x0, 9), fx(y0, 3), 0.6f);
        const float body = std::abs(paint::roundedBox(x, y, fx(x0, 5), fx(y0, 6), fx(x0, 11), fx(y0, 13), 1.0f)) - 0.6f;
        const float ribs = std::min(paint::segment(x, y, fx(x0, 7), fx(y0, 7.5f), fx(x0, 7), fx(y0, 11.5f), 0.45f),
                                    paint::segment(x, y, fx(x0, 9), fx(y0, 7.5f), fx(x0, 9), fx(y0, 11.5f), 0.45f));
        return std::min({lid, knob, body, ribs});
    }, colour);
}

void blankGlyph(Image&, int32_t, int32_t, Rgb) {}

} // namespace art
