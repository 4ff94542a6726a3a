#pragma once
// Drawing for the skin painter: shapes given by their signed distance
// (negative inside, in pixels) are filled with anti-aliased edges, blended
// over what is there; text goes through the toolkit's fonts.
#include <cstdint>
#include <functional>
#include <string>

#include "gui/Geometry.h"
#include "gui/PixelSurface.h"

namespace paint {

struct Rgb {
    float r, g, b;
};

Rgb rgb(uint32_t hex);
Rgb mix(Rgb a, Rgb b, float t);
Rgb scale(Rgb c, float k);

using Distance = std::function<float(float x, float y)>;

// Distances to basic shapes, at pixel centres (x + 0.5, y + 0.5).
float circle(float x, float y, float cx, float cy, float radius);
float roundedBox(float x, float y, float left, float top, float right, float bottom, float radius);
float segment(float x, float y, float ax, float ay, float bx, float by, float halfWidth);
float triangle(float x, float y, float ax, float ay, float bx, float by, float cx, float cy);

class Image {
public:
    Image(int32_t width, int32_t height, Rgb fill);
    int32_t width() const { return surface.width(); }
    int32_t height() const { return surface.height(); }

    void blend(int32_t x, int32_t y, Rgb colour, float alpha);
    // Fills the shape within the box (left, top, right, bottom exclusive).
    void fill(const Rect& box, const Distance& shape, Rgb colour, float alpha = 1.0f);
    void fill(const Rect& box, const Distance& shape, const std::function<Rgb(float x, float y)>& colour,
              float alpha = 1.0f);
    void rect(const Rect& box, Rgb colour, float alpha = 1.0f);
    void verticalGradient(const Rect& box, Rgb top, Rgb bottom);
    // One line of text centred (or left-aligned) in box, font id of the toolkit's table.
    // A size of 0 takes the table's.
    void text(const std::string& line, const Rect& box, int32_t fontId, Rgb colour, bool centred = true,
              int32_t fontStyle = 0, int32_t size = 0);
    int32_t textWidth(const std::string& line, int32_t fontId, int32_t fontStyle = 0, int32_t size = 0);
    // Copies another image in at (x, y).
    void paste(const Image& other, int32_t x, int32_t y);
    void set(int32_t x, int32_t y, uint32_t pixel) { surface.set(x, y, pixel); }
    uint32_t at(int32_t x, int32_t y) const { return surface.at(x, y); }
    const uint32_t* data() const { return surface.data(); }

private:
    PixelSurface surface;
};

} // namespace paint
