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

// An image is drawn in layout pixels, the units of the editor's layout at
// scale 1; its pixels are those units times its scale (rounded), so the same
// drawing paints the skin sharp at any scale: edges anti-aliased over one
// device pixel, text from the fonts at the scaled size.
class Image {
public:
    // At the scale the current ScaleScope sets (1 without one).
    Image(int32_t width, int32_t height, Rgb fill);
    Image(int32_t width, int32_t height, Rgb fill, float scale);
    // In layout pixels.
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    float scale() const { return scale_; }
    // The image's own pixels.
    int32_t deviceWidth() const { return surface.width(); }
    int32_t deviceHeight() const { return surface.height(); }
    // Where layout coordinate v falls among the pixels (edges round alike,
    // so neighbouring boxes never overlap or leave a gap).
    int32_t device(int32_t v) const;

    // Blends the layout pixel (x, y): every device pixel it covers.
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
    // Copies another image of the same scale in at layout (x, y).
    void paste(const Image& other, int32_t x, int32_t y);
    // Device pixels, for passes over every pixel.
    void set(int32_t x, int32_t y, uint32_t pixel) { surface.set(x, y, pixel); }
    uint32_t at(int32_t x, int32_t y) const { return surface.at(x, y); }
    const uint32_t* data() const { return surface.data(); }

private:
    void blendDevice(int32_t x, int32_t y, Rgb colour, float alpha);
    int32_t scaledSize(int32_t fontId, int32_t size) const;
    Rect deviceBox(const Rect& box) const;

    int32_t width_, height_;
    float scale_;
    PixelSurface surface;
};

// Sets the scale images made on this thread take, for as long as it lives:
// the artwork's functions make their images without naming a scale.
class ScaleScope {
public:
    explicit ScaleScope(float scale);
    ~ScaleScope();
    ScaleScope(const ScaleScope&) = delete;
    ScaleScope& operator=(const ScaleScope&) = delete;
    static float current();

private:
    float previous;
};

// Lines of text this thread painted that were wider than their box, and so
// cut at its edges (a caption whose box is too tight at some scale).
int32_t cutTexts();

} // namespace paint
