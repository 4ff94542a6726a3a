#include "editor/EditorBase.h"

#include "gui/WindowView.h"
#include "platform/NativeWindow.h"

bool EditorBase::open(void* parentWindow) {
    postUpdate();
    parent = parentWindow;
    forgetDesktopScale();
    return false;
}

float EditorBase::scale() {
    float wanted = chosen.load();
    if (!(wanted > 0.0f)) wanted = host;
    if (!(wanted > 0.0f)) {
        if (!(desktop > 0.0f)) desktop = usableScale(platform::desktopScale(parent));
        wanted = desktop;
    }
    return usableScale(wanted);
}

Rect EditorBase::windowSize() {
    const float s = scale();
    return Rect{0, 0, toDevice(bounds.width(), s), toDevice(bounds.height(), s)};
}

void EditorBase::setHostScale(double value) {
    host = value > 0.0 ? usableScale(value) : 0.0f;
    scaleChanged();
}

void EditorBase::setChosenScale(float value) {
    chosen = value > 0.0f ? usableScale(value) : 0.0f;
    scaleChanged();
}

void EditorBase::screenScaleChanged(float value) {
    desktop = usableScale(value);
    scaleChanged();
}

void EditorBase::idle() {
    if (updatePending) {
        updatePending = false;
        update();
    }
    if (frame) frame->idle();
}

// Drawing waits for the window's first paint: a host that never shows the
// window sees no drawing.
void EditorBase::update() {
    if (!frame || frame->firstPaintPending()) return;
    Canvas canvas = frame->makeCanvas();
    frame->update(canvas);
    frame->present();
}

int32_t EditorBase::onKeyDown(const KeyInput& key) { return frame ? frame->onKeyDown(key) : -1; }

int32_t EditorBase::onKeyUp(const KeyInput& key) { return frame ? frame->onKeyUp(key) : -1; }

bool EditorBase::setKnobMode(int32_t mode) {
    if (mode < 0 || mode > 2) return false;
    knobDragMode = mode;
    return true;
}

bool EditorBase::onWheel(float distance) { return frame ? frame->onWheel(nullptr, {0, 0}, distance) : false; }

void EditorBase::redrawAll() {
    if (frame) frame->drawView(nullptr);
}

uintptr_t EditorBase::systemWindow() const { return frame ? frame->native().systemHandle() : 0; }
