#pragma once
// A reference-counted skin image with a transparent colour. Drawing copies
// a block of it to a canvas, opaquely or leaving the pixels of the
// transparent colour untouched.
#include <cstdint>
#include <vector>

#include "gui/Geometry.h"

class Canvas;

class Bitmap {
public:
    // An image of width × height pixels (0x00RRGGBB, rows top down); a
    // wrong pixel count gives an empty image, which draws nothing.
    Bitmap(int32_t resourceId, int32_t width, int32_t height, std::vector<uint32_t> pixels);

    void draw(Canvas& canvas, const Rect& rect, Point offset) const;
    void drawTransparent(Canvas& canvas, const Rect& rect, Point offset);
    void setTransparentColour(Colour colour);
    Colour transparentColour() const { return transparent; }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t resourceId() const { return id; }
    uint32_t pixel(int32_t x, int32_t y) const;
    // The image's pixels for a caller that paints them itself (an image
    // that changes while it is shown); the transparency mask is made anew.
    uint32_t* editablePixels() {
        mask.clear();
        return pixels.data();
    }

    void retain() { ++references; }
    // Deletes the bitmap when the last reference goes; does nothing on a
    // count already at or below zero.
    void release();
    int32_t referenceCount() const { return references; }

private:
    ~Bitmap() = default;
    void copy(Canvas& canvas, const Rect& rect, Point offset, bool keyed) const;
    void makeMask();

    int32_t id;
    int32_t references = 1;
    int32_t width_ = 0;
    int32_t height_ = 0;
    Colour transparent = colours::white;
    std::vector<uint32_t> pixels;
    std::vector<bool> mask; // made on the first transparent draw: true where the image shows
};
