#include "resources/painter/Raster.h"

#include <algorithm>
#include <cmath>

#include "gui/Canvas.h"
#include "gui/FontTable.h"

namespace paint {

Rgb rgb(uint32_t hex) {
    return {static_cast<float>((hex >> 16) & 255), static_cast<float>((hex >> 8) & 255), static_cast<float>(hex & 255)};
}

Rgb mix(Rgb a, Rgb b, float t) { return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t}; }

Rgb scale(Rgb c, float k) { return {c.r * k, c.g * k, c.b * k}; }

float circle(float x, float y, float cx, float cy, float radius) { return std::hypot(x - cx, y - cy) - radius; }

float roundedBox(float x, float y, float left, float top, float right, float bottom, float radius) {
    const float cx = (left + right) * 0.5f, cy = (top + bottom) * 0.5f;
    const float hx = (right - left) * 0.5f - radius, hy = (bottom - top) * 0.5f - radius;
    const float qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
    return std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f)) + std::min(std::max(qx, qy), 0.0f) - radius;
}

float segment(float x, float y, float ax, float ay, float bx, float by, float halfWidth) {
    const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const float length2 = dx * dx + dy * dy;
    const float t = length2 > 0 ? std::clamp((px * dx + py * dy) / length2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(px - dx * t, py - dy * t) - halfWidth;
}

float triangle(float x, float y, float ax, float ay, float bx, float by, float cx, float cy) {
    // Outside: distance to the nearest edge; inside: minus that distance.
    const float edges = std::min({segment(x, y, ax, ay, bx, by, 0), segment(x, y, bx, by, cx, cy, 0),
                                  segment(x, y, cx, cy, ax, ay, 0)});
    auto side = [&](float x0, float y0, float x1, float y1) { return (x1 - x0) * (y - y0) - (y1 - y0) * (x - x0); };
    const float s0 = side(ax, ay, bx, by), s1 = side(bx, by, cx, cy), s2 = side(cx, cy, ax, ay);
    const bool inside = (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
    return inside ? -edges : edges;
}

namespace {
thread_local float scopeScale = 1.0f;
thread_local int32_t cutTextCount = 0;
} // namespace

ScaleScope::ScaleScope(float scale) : previous(scopeScale) { scopeScale = scale; }
ScaleScope::~ScaleScope() { scopeScale = previous; }
float ScaleScope::current() { return scopeScale; }

int32_t cutTexts() { return cutTextCount; }

Image::Image(int32_t width, int32_t height, Rgb fill) : Image(width, height, fill, scopeScale) {}

Image::Image(int32_t width, int32_t height, Rgb fill, float scale)
    : width_(width), height_(height), scale_(scale > 0.0f && std::isfinite(scale) ? scale : 1.0f),
      surface(static_cast<int32_t>(std::lround(static_cast<float>(width) * scale_)),
              static_cast<int32_t>(std::lround(static_cast<float>(height) * scale_)),
              Colour{static_cast<uint8_t>(fill.r), static_cast<uint8_t>(fill.g), static_cast<uint8_t>(fill.b), 0}) {}

int32_t Image::device(int32_t v) const { return toDevice(v, scale_); }

Rect Image::deviceBox(const Rect& box) const {
    return {device(box.left), device(box.top), device(box.right), device(box.bottom)};
}

void Image::blendDevice(int32_t x, int32_t y, Rgb colour, float alpha) {
    if (!surface.inside(x, y) || alpha <= 0.0f) return;
    alpha = std::min(alpha, 1.0f);
    const Colour old = Colour::fromPixel(surface.at(x, y));
    auto channel = [alpha](float was, float now) {
        return static_cast<uint8_t>(std::clamp(std::lround(was + (now - was) * alpha), 0L, 255L));
    };
    surface.set(x, y,
                Colour{channel(old.red, colour.r), channel(old.green, colour.g), channel(old.blue, colour.b), 0}.pixel());
}

void Image::blend(int32_t x, int32_t y, Rgb colour, float alpha) {
    for (int32_t dy = device(y); dy < device(y + 1); ++dy)
        for (int32_t dx = device(x); dx < device(x + 1); ++dx) blendDevice(dx, dy, colour, alpha);
}

void Image::fill(const Rect& box, const Distance& shape, Rgb colour, float alpha) {
    fill(box, shape, [colour](float, float) { return colour; }, alpha);
}

// Each device pixel's centre, in layout units, is where the shape and the
// colour are asked; the distance, in layout units, is a device pixel's
// worth of edge once scaled.
void Image::fill(const Rect& box, const Distance& shape, const std::function<Rgb(float, float)>& colour, float alpha) {
    const Rect d = deviceBox(box);
    for (int32_t y = std::max(d.top, 0); y < std::min(d.bottom, deviceHeight()); ++y)
        for (int32_t x = std::max(d.left, 0); x < std::min(d.right, deviceWidth()); ++x) {
            const float fx = (static_cast<float>(x) + 0.5f) / scale_, fy = (static_cast<float>(y) + 0.5f) / scale_;
            const float coverage = std::clamp(0.5f - shape(fx, fy) * scale_, 0.0f, 1.0f);
            if (coverage > 0.0f) blendDevice(x, y, colour(fx, fy), coverage * alpha);
        }
}

void Image::rect(const Rect& box, Rgb colour, float alpha) {
    const Rect d = deviceBox(box);
    for (int32_t y = d.top; y < d.bottom; ++y)
        for (int32_t x = d.left; x < d.right; ++x) blendDevice(x, y, colour, alpha);
}

void Image::verticalGradient(const Rect& box, Rgb top, Rgb bottom) {
    const float rows = static_cast<float>(std::max(box.height() - 1, 1));
    const Rect d = deviceBox(box);
    for (int32_t y = d.top; y < d.bottom; ++y) {
        // The row's centre in layout units, from the box's first row's centre.
        const float at = (static_cast<float>(y) + 0.5f) / scale_ - 0.5f - static_cast<float>(box.top);
        const Rgb c = mix(top, bottom, std::clamp(at / rows, 0.0f, 1.0f));
        for (int32_t x = d.left; x < d.right; ++x) blendDevice(x, y, c, 1.0f);
    }
}

void Image::text(const std::string& line, const Rect& box, int32_t fontId, Rgb colour, bool centred,
                 int32_t fontStyle, int32_t size) {
    Canvas canvas(surface);
    canvas.setFont(fontId, scaledSize(fontId, size), fontStyle);
    canvas.setFontColour(Colour{static_cast<uint8_t>(colour.r), static_cast<uint8_t>(colour.g),
                                static_cast<uint8_t>(colour.b), 0});
    const Rect device = deviceBox(box);
    // Left-aligned text starts a pixel in.
    if (canvas.textWidth(line) > device.width() - (centred ? 0 : 1)) ++cutTextCount;
    canvas.drawString(line, device, false, centred ? Canvas::AlignCentre : Canvas::AlignLeft);
}

int32_t Image::textWidth(const std::string& line, int32_t fontId, int32_t fontStyle, int32_t size) {
    Canvas canvas(surface);
    canvas.setFont(fontId, scaledSize(fontId, size), fontStyle);
    return static_cast<int32_t>(std::lround(static_cast<float>(canvas.textWidth(line)) / scale_));
}

// Text is set from the fonts at the scaled size, so it is hinted for the
// pixels it lands on rather than enlarged.
int32_t Image::scaledSize(int32_t fontId, int32_t size) const {
    if (size <= 0) size = fontTableEntry(fontId < 0 || fontId > 7 ? 0 : fontId).size;
    return static_cast<int32_t>(std::lround(static_cast<float>(size) * scale_));
}

void Image::paste(const Image& other, int32_t x, int32_t y) {
    for (int32_t row = 0; row < other.deviceHeight(); ++row)
        for (int32_t column = 0; column < other.deviceWidth(); ++column)
            surface.set(device(x) + column, device(y) + row, other.surface.at(column, row));
}

} // namespace paint
