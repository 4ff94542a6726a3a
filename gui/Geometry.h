#pragma once
// Points, rectangles and colours of the view toolkit.
#include <algorithm>
#include <cmath>
#include <cstdint>

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    // Containment is inclusive on all four edges: a click on the right or
    // bottom edge belongs to the rectangle.
    bool contains(Point p) const { return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom; }
    // Touching edges count as intersecting.
    bool intersects(const Rect& o) const {
        return !(right < o.left || o.right < left || bottom < o.top || o.bottom < top);
    }
    Rect offset(int32_t dx, int32_t dy) const { return {left + dx, top + dy, right + dx, bottom + dy}; }
    bool operator==(const Rect&) const = default;
};

// The editor is laid out in layout pixels; on a screen at a scale each
// covers the device pixels from toDevice(v) to toDevice(v + 1). Every edge
// rounds alike, so neighbours never overlap or leave a gap, and the skin's
// painter and the window agree on where each lands.
inline int32_t toDevice(int32_t v, float scale) {
    return scale == 1.0f ? v : static_cast<int32_t>(std::lround(static_cast<float>(v) * scale));
}
// The layout pixel that covers device pixel d.
inline int32_t toLayout(int32_t d, float scale) {
    if (scale == 1.0f) return d;
    int32_t v = static_cast<int32_t>(std::floor(static_cast<float>(d) / scale));
    while (toDevice(v + 1, scale) <= d) ++v;
    while (toDevice(v, scale) > d) --v;
    return v;
}
// The scales the editor is drawn at: whole and fractional, 1 to 3.
inline constexpr float smallestScale = 1.0f;
inline constexpr float largestScale = 3.0f;
// A scale asked for by a host or a desktop, to the nearest quarter within
// the range; 1 for anything not a number.
inline float usableScale(double asked) {
    if (!std::isfinite(asked)) return 1.0f;
    const double clamped = std::clamp(asked, static_cast<double>(smallestScale), static_cast<double>(largestScale));
    return static_cast<float>(std::round(clamped * 4.0) / 4.0);
}

struct Colour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t unused = 0; // drawing ignores it

    // The pixel value of the toolkit's 32-bit buffers: 0x00RRGGBB.
    uint32_t pixel() const { return static_cast<uint32_t>(red) << 16 | static_cast<uint32_t>(green) << 8 | blue; }
    static Colour fromPixel(uint32_t p) {
        return {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p), 0};
    }
    bool operator==(const Colour& o) const { return red == o.red && green == o.green && blue == o.blue; }
};

namespace colours {
inline constexpr Colour white{255, 255, 255, 0};
inline constexpr Colour black{0, 0, 0, 0};
inline constexpr Colour grey{127, 127, 127, 0};
inline constexpr Colour red{255, 0, 0, 0};
inline constexpr Colour green{0, 255, 0, 0};
inline constexpr Colour blue{0, 0, 255, 0};
inline constexpr Colour yellow{255, 255, 0, 0};
inline constexpr Colour magenta{255, 0, 255, 0};
inline constexpr Colour cyan{0, 255, 255, 0};
} // namespace colours
