#include "gui/Slider.h"

#include <cmath>

#include "gui/WindowView.h"

Slider::Slider(const Rect& rect, ControlListener* owner, int32_t controlTag, int32_t minHandlePosition,
               int32_t maxHandlePosition, Bitmap* handleBitmap, Bitmap* bitmap, Point offset, int32_t sliderStyle)
    : Control(rect, owner, controlTag, bitmap), backgroundOffset(offset), handle(handleBitmap), style(sliderStyle),
      minPosition(minHandlePosition), range(maxHandlePosition - minHandlePosition) {
    if (handle) {
        handle->retain();
        handleWidth = handle->width();
        handleHeight = handle->height();
    }
}

Slider::~Slider() {
    if (handle) handle->release();
}

void Slider::attached(WindowView& owner) {
    offscreen = std::make_unique<OffscreenCanvas>(size.width(), size.height(), colours::black, owner.scale());
}

void Slider::removed(WindowView&) { offscreen.reset(); }

void Slider::draw(Canvas& canvas) {
    if (!offscreen || offscreen->scale() != canvas.scale())
        offscreen = std::make_unique<OffscreenCanvas>(size.width(), size.height(), colours::black, canvas.scale());
    OffscreenCanvas& off = *offscreen;
    const Rect local{0, 0, size.width(), size.height()};
    if (background) {
        if (transparent)
            background->drawTransparent(off, local, backgroundOffset);
        else
            background->draw(off, local, backgroundOffset);
    }
    const float shown = (style & (GrowsRight | GrowsDown)) ? value : 1.0f - value;
    const int32_t along = horizontal() ? handleOffset.x : handleOffset.y;
    const int32_t lowest = along + (minPosition - (horizontal() ? size.left : size.top));
    const int32_t highest = lowest + range + handleLength();
    int32_t position = static_cast<int32_t>(static_cast<float>(range) * shown) + along;
    position = std::max(position, lowest);
    position = std::min(position, highest - handleLength());
    if (handle) {
        Rect place = horizontal() ? Rect{position, handleOffset.y, position + handleWidth, handleOffset.y + handleHeight}
                                  : Rect{handleOffset.x, position, handleOffset.x + handleWidth, position + handleHeight};
        handle->drawTransparent(off, place, {0, 0});
    }
    off.blitTo(canvas, size, {0, 0});
    setDirty(false);
}

void Slider::mouse(Canvas& canvas, Point where) {
    const uint32_t buttons = canvas.getMouseButtons();
    if (!mouseEnabled || !hasLeft(buttons)) return;
    if (buttons == (1 | 16)) {
        value = defaultValue;
        reportIfDirty(&canvas);
        return;
    }
    // The handle's centre follows the pointer from the first click on.
    drag.grab = (horizontal() ? size.left + handleOffset.x : size.top + handleOffset.y) + handleLength() / 2 - 1;
    drag.anchor = value;
    drag.shiftWasDown = false;
    drag.active = true;
    beginEdit();
    if (windowView) windowView->setFocusView(this);
    follow(canvas, where);
}

void Slider::mouseMoved(Canvas& canvas, Point where) {
    if (drag.active) follow(canvas, where);
}

void Slider::mouseUp(Canvas&, Point) { cancelDrag(); }

bool Slider::onWheel(Canvas* canvas, Point, float distance) {
    if (!mouseEnabled) return false;
    const bool shift = canvas && (canvas->getMouseButtons() & 8);
    const float towards = (style & (GrowsDown | GrowsLeft)) ? -1.0f : 1.0f;
    value += towards * distance * wheelInc * (shift ? 0.1f : 1.0f);
    bounceValue();
    reportIfDirty(canvas);
    return true;
}

void Slider::cancelDrag() {
    if (!drag.active) return;
    drag.active = false;
    endEdit();
}

void Slider::follow(Canvas& canvas, Point where) {
    const uint32_t buttons = canvas.getMouseButtons();
    if (!hasLeft(buttons)) return;
    const bool inverted = (style & (GrowsLeft | GrowsUp)) != 0;
    const bool shift = (buttons & 8) != 0;
    const int32_t coordinate = horizontal() ? where.x : where.y;
    if (!shift && drag.shiftWasDown && range != 0) {
        // Shift released: normal speed again from the value reached,
        // without jumping back under the pointer.
        const float along = inverted ? 1.0f - value : value;
        drag.grab = coordinate - static_cast<int32_t>(std::lround(along * static_cast<float>(range)));
    }
    if (!shift || !drag.shiftWasDown) drag.anchor = value;
    drag.shiftWasDown = shift;
    float v = range != 0 ? static_cast<float>(coordinate - drag.grab) / static_cast<float>(range) : value;
    if (inverted) v = 1.0f - v;
    if (shift) v = drag.anchor + (v - drag.anchor) / fineFactor;
    value = v;
    bounceValue();
    reportIfDirty(&canvas);
}
