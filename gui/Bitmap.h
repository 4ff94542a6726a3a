#pragma once
// A reference-counted skin image with a transparent colour. Drawing copies
// a block of it to a canvas, opaquely or leaving the pixels of the
// transparent colour untouched. Its size is in layout pixels; its pixels
// may be painted at a scale, and are then drawn one for one on a canvas of
// that scale (and stretched, nearest first, on one of another).
#include <cstdint>
#include <vector>

#include "gui/Geometry.h"

class Canvas;

class Bitmap {
public:
    // An image of width × height pixels (0x00RRGGBB, rows top down); a
    // wrong pixel count gives an empty image, which draws nothing.
    Bitmap(int32_t resourceId, int32_t width, int32_t height, std::vector<uint32_t> pixels);

    // The same image painted at scale: deviceWidth × deviceHeight pixels
    // for the layout size it keeps. Pixels of the wrong count are refused.
    bool repaint(float scale, int32_t deviceWidth, int32_t deviceHeight, std::vector<uint32_t> pixels);
    float scale() const { return scale_; }

    void draw(Canvas& canvas, const Rect& rect, Point offset) const;
    void drawTransparent(Canvas& canvas, const Rect& rect, Point offset);
    void setTransparentColour(Colour colour);
    Colour transparentColour() const { return transparent; }

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t resourceId() const { return id; }
    // The pixel over layout pixel (x, y)'s top-left corner.
    uint32_t pixel(int32_t x, int32_t y) const;
    // The image's pixels for a caller that paints them itself (an image
    // that changes while it is shown), width() × height() at scale 1; the
    // transparency mask is made anew.
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
    float scale_ = 1.0f;
    int32_t deviceWidth_ = 0; // of the pixels
    int32_t deviceHeight_ = 0;
    Colour transparent = colours::white;
    std::vector<uint32_t> pixels;
    std::vector<bool> mask; // made on the first transparent draw: true where the image shows
};
