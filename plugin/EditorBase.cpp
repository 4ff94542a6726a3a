#include "plugin/EditorBase.h"

#include "gui/WindowView.h"
#include "platform/Clock.h"
#include "plugin/EffectBase.h"

EditorBase::EditorBase(EffectBase& effect) : effect_(effect) {
    effect.setEditor(this);
}

bool EditorBase::getRect(ERect** out) {
    if (!out) return false;
    *out = &rect;
    return true;
}

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

namespace {
KeyInput keyOf(const VstKeyCode& key) { return KeyInput{key.character, key.virt, key.modifier}; }
} // namespace

int32_t EditorBase::onKeyDown(const VstKeyCode& key) { return frame ? frame->onKeyDown(keyOf(key)) : -1; }

int32_t EditorBase::onKeyUp(const VstKeyCode& key) { return frame ? frame->onKeyUp(keyOf(key)) : -1; }

void EditorBase::beginEdit(int32_t tag) {
    if (const int32_t index = parameterOf(tag); index >= 0) effect_.hostBeginEdit(index);
}

void EditorBase::endEdit(int32_t tag) {
    if (const int32_t index = parameterOf(tag); index >= 0) effect_.hostEndEdit(index);
}

bool EditorBase::setKnobMode(int32_t mode) {
    if (mode < 0 || mode > 2) return false;
    knobDragMode = mode;
    return true;
}

bool EditorBase::onWheel(float distance) { return frame ? frame->onWheel(nullptr, {0, 0}, distance) : false; }

void EditorBase::redrawAll() {
    if (frame) frame->drawView(nullptr);
}

