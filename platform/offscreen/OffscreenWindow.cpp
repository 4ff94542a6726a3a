#include "platform/NativeWindow.h"

namespace platform {

PointerState OffscreenWindow::pointer() {
    ++pointerPolls;
    if (!pointerScript.empty()) {
        last = pointerScript.front();
        pointerScript.pop_front();
        return last;
    }
    last.buttons = 0;
    return last;
}

void OffscreenWindow::present(const uint32_t* pixels, int32_t, int32_t) {
    lastShown = pixels;
    ++presents;
}

void OffscreenWindow::processEvents(WindowEvents& sink) {
    while (!events.empty()) {
        Event e = events.front();
        events.pop_front();
        if (e.kind == Event::Paint)
            sink.onPaint(e.a, e.b, e.c, e.d);
        else
            sink.onButtonDown(e.a, e.b);
    }
}

} // namespace platform
