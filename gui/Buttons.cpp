#include "gui/Buttons.h"

#include <cmath>

#include "gui/WindowView.h"

void ToggleButton::draw(Canvas& canvas) {
    int32_t half = background ? background->height() / 2 : 0;
    drawBackground(canvas, {0, value == 0.0f ? 0 : half});
    setDirty(false);
}

void ToggleButton::mouse(Canvas& canvas, Point) {
    if (!mouseEnabled || !hasLeft(canvas.getMouseButtons())) return;
    value = static_cast<int32_t>(value) == 0 ? 1.0f : 0.0f;
    report(&canvas);
}

MomentaryButton::MomentaryButton(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap,
                                 int32_t height, Point offset)
    : Control(rect, owner, controlTag, bitmap), imageHeight(height), imageOffset(offset) {}

void MomentaryButton::draw(Canvas& canvas) {
    drawBackground(canvas, {imageOffset.x, imageOffset.y + (value != 0.0f ? imageHeight : 0)});
    setDirty(false);
}

void MomentaryButton::press(Canvas& canvas, float held) {
    if (held < 0.0f) {
        value = value == 0.0f ? 1.0f : 0.0f;
        report(&canvas);
        value = 0.0f;
        report(&canvas);
        return;
    }
    hold = {true, held, value};
    beginEdit();
    value = held;
    reportIfDirty(&canvas);
}

void MomentaryButton::mouseMoved(Canvas&, Point where) {
    if (!hold.active) return;
    const float shown = size.contains(where) ? hold.held : hold.before;
    if (shown != value) {
        value = shown;
        setDirty(true);
    }
}

void MomentaryButton::cancelDrag() {
    if (!hold.active) return;
    hold.active = false;
    endEdit();
    value = 0.0f;
    setDirty(true);
}

void MomentaryButton::mouseUp(Canvas& canvas, Point where) {
    if (!hold.active) return;
    hold.active = false;
    endEdit();
    value = 0.0f;
    if (size.contains(where))
        report(&canvas);
    else
        setDirty(true);
}

void MomentaryButton::mouse(Canvas& canvas, Point) {
    const uint32_t buttons = canvas.getMouseButtons();
    if (!mouseEnabled || !hasLeft(buttons)) return;
    press(canvas, buttons == 1 ? (value == 0.0f ? 1.0f : 0.0f) : -1.0f);
}

void PressButton::mouse(Canvas& canvas, Point) {
    const uint32_t buttons = canvas.getMouseButtons();
    if (!mouseEnabled || !(buttons & (1 | 4))) return;
    press(canvas, buttons == 1 ? 1.0f : buttons == 4 ? 0.5f : -1.0f);
}

StepSwitch::StepSwitch(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap, int32_t count)
    : Control(rect, owner, controlTag, bitmap), states(std::max(count, 2)) {}

void StepSwitch::draw(Canvas& canvas) {
    auto index = static_cast<int32_t>(std::floor((states - 1) * value + 0.5f));
    int32_t height = background ? background->height() : 0;
    drawBackground(canvas, {0, static_cast<int32_t>(std::floor(static_cast<double>(index) * height / states))});
    setDirty(false);
}

void StepSwitch::mouse(Canvas& canvas, Point) {
    if (!mouseEnabled || !hasLeft(canvas.getMouseButtons())) return;
    value += 1.0f / static_cast<float>(states - 1);
    if (value > 1.0f + 1e-6f) value = 0.0f;
    if (value > 1.0f) value = 1.0f;
    report(&canvas);
}

OverlayButton::OverlayButton(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap,
                             const Rect& shown, Point offset)
    : Control(rect, owner, controlTag, bitmap), display(shown), ownRect(rect), imageOffset(offset) {}

void OverlayButton::draw(Canvas& canvas) {
    if (value != 0.0f && background) {
        if (transparent)
            background->drawTransparent(canvas, display, imageOffset);
        else
            background->draw(canvas, display, imageOffset);
    }
    setDirty(false);
}

void OverlayButton::mouse(Canvas& canvas, Point) {
    const uint32_t buttons = canvas.getMouseButtons();
    if (mouseEnabled && !hasLeft(buttons) && (buttons & 4) && listener && value == 0.0f) {
        listener->secondaryClick(this);
        return;
    }
    if (!mouseEnabled || !hasLeft(buttons)) return;
    value = value == 0.0f ? 1.0f : 0.0f;
    WindowView* owner = windowView;
    if (value != 0.0f) {
        if (owner && owner->setModalView(this)) {
            size = display;
            draw(canvas);
        }
    } else {
        size = ownRect;
        if (owner) {
            owner->setModalView(nullptr);
            owner->drawView(nullptr);
        }
    }
    report(&canvas);
    setDirty(true);
}
