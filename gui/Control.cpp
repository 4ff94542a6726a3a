#include "gui/Control.h"

#include "gui/WindowView.h"

Control::Control(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap)
    : View(rect), listener(owner), tag(controlTag) {
    setBackground(bitmap);
}

Control::~Control() {
    if (background) background->release();
}

void Control::setDirty(bool flag) {
    dirty = flag;
    if (flag)
        oldValue = value == -1.0f ? 0.0f : -1.0f;
    else
        oldValue = value;
}

void Control::setBackground(Bitmap* bitmap) {
    if (bitmap) bitmap->retain();
    if (background) background->release();
    background = bitmap;
}

void Control::reportIfDirty(Canvas* canvas) {
    if (isDirty()) report(canvas);
}

void Control::report(Canvas* canvas) {
    if (listener) listener->valueChanged(canvas, this);
}

void Control::beginEdit() {
    if (GuiHost* host = getHost()) host->beginEdit(tag);
}

void Control::endEdit() {
    if (GuiHost* host = getHost()) host->endEdit(tag);
}

void Control::drawBackground(Canvas& canvas, Point offset) {
    if (!background) return;
    if (transparent)
        background->drawTransparent(canvas, size, offset);
    else
        background->draw(canvas, size, offset);
}
