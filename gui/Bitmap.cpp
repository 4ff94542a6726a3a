#include "gui/Bitmap.h"

#include <algorithm>

#include "gui/Canvas.h"

Bitmap::Bitmap(int32_t resourceId, int32_t width, int32_t height, std::vector<uint32_t> image) : id(resourceId) {
    if (width > 0 && height > 0 && image.size() == static_cast<size_t>(width) * height) {
        width_ = deviceWidth_ = width;
        height_ = deviceHeight_ = height;
        pixels = std::move(image);
    }
}

bool Bitmap::repaint(float scale, int32_t deviceWidth, int32_t deviceHeight, std::vector<uint32_t> image) {
    if (!(scale > 0.0f) || deviceWidth <= 0 || deviceHeight <= 0 ||
        image.size() != static_cast<size_t>(deviceWidth) * deviceHeight)
        return false;
    scale_ = scale;
    deviceWidth_ = deviceWidth;
    deviceHeight_ = deviceHeight;
    pixels = std::move(image);
    mask.clear();
    return true;
}

void Bitmap::release() {
    if (references <= 0) return;
    if (--references == 0) delete this;
}

uint32_t Bitmap::pixel(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    const int32_t dx = std::min(toDevice(x, scale_), deviceWidth_ - 1),
                  dy = std::min(toDevice(y, scale_), deviceHeight_ - 1);
    return pixels[static_cast<size_t>(dy) * deviceWidth_ + dx];
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
// parts outside the image or the canvas are left out. Each device pixel of
// the rect shows the image's pixel at the same place within the same
// layout pixel, so the block covers its device pixels whole at any scale.
void Bitmap::copy(Canvas& canvas, const Rect& rect, Point offset, bool keyed) const {
    if (pixels.empty()) return;
    const Rect to = canvas.deviceRect(rect);
    if (to.width() <= 0 || to.height() <= 0) return;
    const float from = canvas.scale();
    // The image's pixel that device pixel d shows along one axis, or -1:
    // start is the rect's first layout pixel with the canvas offset.
    auto source = [&](int32_t d, int32_t start, int32_t imageStart, int32_t layoutSize, int32_t deviceSize) {
        const int32_t layout = toLayout(d, from);
        const int32_t inImage = imageStart + (layout - start);
        if (inImage < 0 || inImage >= layoutSize) return -1;
        const int32_t first = toDevice(inImage, scale_), last = std::min(toDevice(inImage + 1, scale_), deviceSize) - 1;
        if (last < first) return -1;
        const float into = static_cast<float>(d - toDevice(layout, from));
        return std::min(first + static_cast<int32_t>(into * scale_ / from), last);
    };
    const Point shift = canvas.getOffset();
    std::vector<int32_t> columns(static_cast<size_t>(to.width()));
    for (int32_t x = to.left; x < to.right; ++x)
        columns[static_cast<size_t>(x - to.left)] = source(x, rect.left + shift.x, offset.x, width_, deviceWidth_);
    for (int32_t y = to.top; y < to.bottom; ++y) {
        const int32_t sy = source(y, rect.top + shift.y, offset.y, height_, deviceHeight_);
        if (sy < 0) continue;
        for (int32_t x = to.left; x < to.right; ++x) {
            const int32_t sx = columns[static_cast<size_t>(x - to.left)];
            if (sx < 0) continue;
            const size_t at = static_cast<size_t>(sy) * deviceWidth_ + sx;
            if (keyed && !mask[at]) continue;
            canvas.plotDevice(x, y, pixels[at]);
        }
    }
}
