#pragma once
// A 32-bit pixel buffer (0x00RRGGBB, rows top down) that canvases draw into
// and that a window backend shows on screen.
#include <cstdint>
#include <vector>

#include "gui/Geometry.h"

class PixelSurface {
public:
    PixelSurface(int32_t width, int32_t height, Colour fill = colours::black)
        : width_(std::max(width, 0)), height_(std::max(height, 0)),
          pixels_(static_cast<size_t>(width_) * height_, fill.pixel()) {}

    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    bool inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    uint32_t at(int32_t x, int32_t y) const { return inside(x, y) ? pixels_[static_cast<size_t>(y) * width_ + x] : 0; }
    void set(int32_t x, int32_t y, uint32_t pixel) {
        if (inside(x, y)) pixels_[static_cast<size_t>(y) * width_ + x] = pixel;
    }
    uint32_t* row(int32_t y) { return pixels_.data() + static_cast<size_t>(y) * width_; }
    const uint32_t* data() const { return pixels_.data(); }

private:
    int32_t width_;
    int32_t height_;
    std::vector<uint32_t> pixels_;
};
