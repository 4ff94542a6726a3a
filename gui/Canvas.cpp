#include "gui/Canvas.h"

#include <cstdlib>

#include "gui/Bitmap.h"

Canvas::Canvas(PixelSurface& target) : Canvas(target, Rect{0, 0, target.width() - 1, target.height() - 1}) {}

Canvas::Canvas(PixelSurface& target, const Rect& clipRect) : surface(target), clip(clipRect) {}

void Canvas::plot(int32_t x, int32_t y, uint32_t pixel) {
    x += offset.x;
    y += offset.y;
    if (x < clip.left || x > clip.right || y < clip.top || y > clip.bottom) return;
    surface.set(x, y, pixel);
}

void Canvas::stamp(int32_t x, int32_t y, uint32_t pixel) {
    if (lineWidth == 1) {
        plot(x, y, pixel);
        return;
    }
    // A wide line is a square pen centred on the line.
    const int32_t from = -(lineWidth / 2), to = from + lineWidth;
    for (int32_t dy = from; dy < to; ++dy)
        for (int32_t dx = from; dx < to; ++dx) plot(x + dx, y + dy, pixel);
}

void Canvas::lineTo(Point p) {
    const uint32_t pixel = frame.pixel();
    int32_t x = pen.x, y = pen.y;
    const int32_t dx = std::abs(p.x - x), dy = -std::abs(p.y - y);
    const int32_t sx = x < p.x ? 1 : -1, sy = y < p.y ? 1 : -1;
    int32_t error = dx + dy;
    int32_t step = 0;
    while (!(x == p.x && y == p.y)) {
        if (lineStyle == Solid || step % 2 == 0) stamp(x, y, pixel);
        ++step;
        int32_t twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += sx;
        }
        if (twice <= dx) {
            error += dx;
            y += sy;
        }
    }
    pen = p;
}

void Canvas::drawRect(const Rect& r) {
    moveTo({r.left, r.top});
    lineTo({r.right, r.top});
    lineTo({r.right, r.bottom});
    lineTo({r.left, r.bottom});
    lineTo({r.left, r.top});
}

void Canvas::fillRect(const Rect& r) {
    const uint32_t pixel = fill.pixel();
    for (int32_t y = r.top + 1; y < r.bottom; ++y)
        for (int32_t x = r.left + 1; x < r.right; ++x) plot(x, y, pixel);
}

OffscreenCanvas::OffscreenCanvas(int32_t width, int32_t height, Colour background)
    : OwnedSurface(width, height, background), Canvas(own) {
    setFrameColour(background);
    drawRect({0, 0, width - 1, height - 1});
    setFrameColour(colours::white);
}

void OffscreenCanvas::blitTo(Canvas& target, const Rect& rect, Point source) const {
    for (int32_t y = 0; y < rect.height(); ++y)
        for (int32_t x = 0; x < rect.width(); ++x) {
            int32_t sx = source.x + x, sy = source.y + y;
            if (own.inside(sx, sy)) target.plot(rect.left + x, rect.top + y, own.at(sx, sy));
        }
}
