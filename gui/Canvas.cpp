#include "gui/Canvas.h"

#include <cmath>
#include <cstdlib>

#include "gui/Bitmap.h"
#include "gui/FontTable.h"
#include "platform/Fonts.h"
#include "platform/NativeWindow.h"

Canvas::Canvas(PixelSurface& target) : Canvas(target, Rect{0, 0, target.width() - 1, target.height() - 1}) {}

Canvas::Canvas(PixelSurface& target, const Rect& clipRect, float scale)
    : surface(target), clip(clipRect), scaleValue(scale > 0.0f && std::isfinite(scale) ? scale : 1.0f),
      deviceClip{device(clip.left), device(clip.top), device(clip.right + 1), device(clip.bottom + 1)} {}

void Canvas::plot(int32_t x, int32_t y, uint32_t pixel) {
    x += offset.x;
    y += offset.y;
    if (x < clip.left || x > clip.right || y < clip.top || y > clip.bottom) return;
    if (scaleValue == 1.0f) {
        surface.set(x, y, pixel);
        return;
    }
    const int32_t right = device(x + 1), bottom = device(y + 1);
    for (int32_t dy = device(y); dy < bottom; ++dy)
        for (int32_t dx = device(x); dx < right; ++dx) surface.set(dx, dy, pixel);
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

OffscreenCanvas::OffscreenCanvas(int32_t width, int32_t height, Colour background, float scale)
    : OwnedSurface(toDevice(width, scale), toDevice(height, scale), background),
      Canvas(own, Rect{0, 0, width - 1, height - 1}, scale) {}

void OffscreenCanvas::blitTo(Canvas& target, const Rect& rect, Point source) const {
    const Rect to = target.deviceRect(rect);
    const int32_t fromX = device(source.x), fromY = device(source.y);
    // Where the target's edges round one pixel wider than this canvas's,
    // the last row or column is shown again rather than left undrawn.
    const int32_t lastX = std::min(device(source.x + rect.width()), own.width()) - 1;
    const int32_t lastY = std::min(device(source.y + rect.height()), own.height()) - 1;
    for (int32_t y = to.top; y < to.bottom; ++y)
        for (int32_t x = to.left; x < to.right; ++x) {
            const int32_t sx = std::min(fromX + x - to.left, lastX), sy = std::min(fromY + y - to.top, lastY);
            if (own.inside(sx, sy)) target.plotDevice(x, y, own.at(sx, sy));
        }
}

void Canvas::setFont(int32_t id, int32_t size, int32_t style) {
    if (id < 0 || id > 7) id = 0;
    fontIdValue = id;
    fontSizeValue = size > 0 ? size : fontTableEntry(id).size;
    // Font 0 is always bold.
    fontStyle = id == 0 ? (style | Bold) : style;
    face.reset();
}

// The face at the canvas's scale: text is set anew at the device size, not
// enlarged.
std::shared_ptr<platform::Font>& Canvas::currentFace() {
    if (!face) face = fontFor(fontIdValue, device(fontSizeValue), fontStyle & (Bold | Italic));
    return face;
}

// In layout pixels, rounded up so that text measured to fit does fit.
int32_t Canvas::textWidth(std::string_view text) {
    if (!currentFace()) return 0;
    const int32_t width = face->textWidth(text);
    return scaleValue == 1.0f ? width : static_cast<int32_t>(std::ceil(static_cast<float>(width) / scaleValue));
}

void Canvas::drawString(std::string_view text, const Rect& rect, bool opaque, int32_t alignment) {
    if (!currentFace() || text.empty()) return;
    // Everything from here on is in device pixels.
    const Rect box = deviceRect(rect);
    const int32_t width = face->textWidth(text);
    const int32_t height = face->ascent() + face->descent();
    const int32_t x = alignment == AlignCentre  ? box.left + (box.width() - width) / 2
                      : alignment == AlignRight ? box.right - width
                                                : box.left + std::max(device(1) - device(0), 1);
    const int32_t top = box.top + (box.height() - height) / 2;
    const int32_t baseline = top + face->ascent();
    // Text never leaves its rect: the right and bottom edges belong to the
    // next one, as they do for bitmaps.
    auto inBox = [&box](int32_t px, int32_t py) {
        return px >= box.left && px < box.right && py >= box.top && py < box.bottom;
    };
    if (opaque) {
        const uint32_t back = fill.pixel();
        for (int32_t py = top; py < top + height; ++py)
            for (int32_t px = x; px < x + width; ++px)
                if (inBox(px, py)) plotDevice(px, py, back);
    }
    const uint32_t ink = font.pixel();
    face->render(text, x, baseline, [&](int32_t px, int32_t py) {
        if (inBox(px, py)) plotDevice(px, py, ink);
    });
    if (fontStyle & Underline) {
        const int32_t thickness = std::max(static_cast<int32_t>(std::lround(scaleValue)), 1);
        for (int32_t py = baseline + 1; py < baseline + 1 + thickness; ++py)
            for (int32_t px = x; px < x + width; ++px)
                if (inBox(px, py)) plotDevice(px, py, ink);
    }
}

uint32_t Canvas::getMouseButtons() {
    if (fromEvent) return eventButtons;
    if (!window) return 0;
    platform::PointerState state = window->pointer();
    lastPointer = {toLayout(state.x, scaleValue), toLayout(state.y, scaleValue)};
    return state.buttons;
}

// The place read with the buttons: a drag loop reads both once a pass.
void Canvas::getMouseLocation(Point& where) { where = lastPointer; }
