#include "gui/Canvas.h"

#include <cstdlib>

#include "gui/Bitmap.h"
#include "gui/FontTable.h"
#include "platform/Fonts.h"
#include "platform/NativeWindow.h"

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

void Canvas::setFont(int32_t id, int32_t size, int32_t style) {
    if (id < 0 || id > 7) id = 0;
    fontIdValue = id;
    fontSizeValue = size > 0 ? size : fontTableEntry(id).size;
    // Font 0 is always bold.
    fontStyle = id == 0 ? (style | Bold) : style;
    face.reset();
}

int32_t Canvas::textWidth(std::string_view text) {
    if (!face) face = fontFor(fontIdValue, fontSizeValue, fontStyle & (Bold | Italic));
    return face ? face->textWidth(text) : 0;
}

void Canvas::drawString(std::string_view text, const Rect& rect, bool opaque, int32_t alignment) {
    if (!face) face = fontFor(fontIdValue, fontSizeValue, fontStyle & (Bold | Italic));
    if (!face || text.empty()) return;
    const int32_t width = face->textWidth(text);
    const int32_t height = face->ascent() + face->descent();
    int32_t x = alignment == AlignCentre  ? rect.left + (rect.width() - width) / 2
                : alignment == AlignRight ? rect.right - width
                                          : rect.left + 1;
    const int32_t top = rect.top + (rect.height() - height) / 2;
    const int32_t baseline = top + face->ascent();
    // Text never leaves its rect: the right and bottom edges belong to the
    // next one, as they do for bitmaps.
    auto inRect = [&rect](int32_t px, int32_t py) {
        return px >= rect.left && px < rect.right && py >= rect.top && py < rect.bottom;
    };
    if (opaque) {
        const uint32_t back = fill.pixel();
        for (int32_t py = top; py < top + height; ++py)
            for (int32_t px = x; px < x + width; ++px)
                if (inRect(px, py)) plot(px, py, back);
    }
    const uint32_t ink = font.pixel();
    face->render(text, x, baseline, [&](int32_t px, int32_t py) {
        if (inRect(px, py)) plot(px, py, ink);
    });
    if (fontStyle & Underline)
        for (int32_t px = x; px < x + width; ++px)
            if (inRect(px, baseline + 1)) plot(px, baseline + 1, ink);
}

uint32_t Canvas::getMouseButtons() {
    if (fromEvent) return eventButtons;
    if (!window) return 0;
    platform::PointerState state = window->pointer();
    lastPointer = {state.x, state.y};
    return state.buttons;
}

// The place read with the buttons: a drag loop reads both once a pass.
void Canvas::getMouseLocation(Point& where) { where = lastPointer; }
