#include "gui/Bitmap.h"

#include "gui/Canvas.h"

Bitmap::Bitmap(int32_t resourceId, int32_t width, int32_t height, std::vector<uint32_t> image) : id(resourceId) {
    if (width > 0 && height > 0 && image.size() == static_cast<size_t>(width) * height) {
        width_ = width;
        height_ = height;
        pixels = std::move(image);
    }
}

void Bitmap::release() {
    if (references <= 0) return;
    if (--references == 0) delete this;
}

uint32_t Bitmap::pixel(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < width_ && y < height_ ? pixels[static_cast<size_t>(y) * width_ + x] : 0;
}

void Bitmap::setTransparentColour(Colour colour) {
    transparent = colour;
    mask.clear(); // made again for the new key at the next transparent draw
}

void Bitmap::makeMask() {
    const uint32_t key = transparent.pixel();
    mask.resize(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) mask[i] = (pixels[i] & 0xFFFFFF) != key;
}

void Bitmap::draw(Canvas& canvas, const Rect& rect, Point offset) const { copy(canvas, rect, offset, false); }

void Bitmap::drawTransparent(Canvas& canvas, const Rect& rect, Point offset) {
    if (mask.empty() && !pixels.empty()) makeMask();
    copy(canvas, rect, offset, true);
}

// Copies a block of the rect's size from the image at offset to the rect;
// parts outside the image or the canvas are left out.
void Bitmap::copy(Canvas& canvas, const Rect& rect, Point offset, bool keyed) const {
    if (pixels.empty()) return;
    for (int32_t y = 0; y < rect.height(); ++y) {
        const int32_t sy = offset.y + y;
        if (sy < 0 || sy >= height_) continue;
        for (int32_t x = 0; x < rect.width(); ++x) {
            const int32_t sx = offset.x + x;
            if (sx < 0 || sx >= width_) continue;
            const size_t at = static_cast<size_t>(sy) * width_ + sx;
            if (keyed && !mask[at]) continue;
            canvas.plot(rect.left + x, rect.top + y, pixels[at]);
        }
    }
}
