#include "gui/Lamp.h"

#include "gui/Canvas.h"

Lamp::Lamp(const Rect& rect, View* beneath, Colour dim, Colour bright)
    : View(rect), beneath(beneath), dim(dim), bright(bright) {
    setMouseEnabled(false);
    setTransparency(true);
}

void Lamp::setLevel(int32_t next) {
    if (next == level) return;
    level = next;
    setDirty(true);
    if (beneath) beneath->setDirty(true);
}

void Lamp::draw(Canvas& canvas) {
    setDirty(false);
    if (level <= 0) return;
    canvas.setFillColour(level >= 2 ? bright : dim);
    canvas.fillRect(size);
}
