#include "editor/EditorBase.h"

#include "gui/WindowView.h"

bool EditorBase::open(void* parentWindow) {
    postUpdate();
    parent = parentWindow;
    return false;
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
