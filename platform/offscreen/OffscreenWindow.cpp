#include "platform/NativeWindow.h"

#include "platform/Clock.h"

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

void OffscreenWindow::present(const uint32_t* pixels, int32_t, int32_t, int32_t left, int32_t top, int32_t right,
                              int32_t bottom) {
    lastShown = pixels;
    area[0] = left;
    area[1] = top;
    area[2] = right;
    area[3] = bottom;
    ++presents;
}

void OffscreenWindow::processEvents(WindowEvents& sink) {
    while (!events.empty()) {
        Event e = events.front();
        events.pop_front();
        if (e.kind == Event::Paint) {
            sink.onPaint(e.a, e.b, e.c, e.d);
            continue;
        }
        if (e.kind == Event::RawPress || e.kind == Event::Motion || e.kind == Event::Release) {
            const PointerState state{static_cast<uint32_t>(e.c), e.a, e.b, tickCount()};
            last = state;
            if (e.kind == Event::RawPress) sink.onButtonDown(state);
            if (e.kind == Event::Motion) sink.onPointerMotion(state);
            if (e.kind == Event::Release) sink.onButtonUp(state);
            continue;
        }
        if (e.kind == Event::Drop) {
            const std::vector<std::string> files = std::move(drops.front());
            drops.pop_front();
            sink.onDrop(files);
            continue;
        }
        if (e.kind == Event::Scale) {
            sink.onScaleChanged(static_cast<float>(e.a) / 1000.0f);
            continue;
        }
        if (e.kind == Event::Focus) {
            sink.onFocus(e.a != 0);
            continue;
        }
        if (e.kind == Event::Wheel) {
            sink.onWheel(PointerState{0, e.a, e.b}, static_cast<float>(e.c) / 1000.0f);
            continue;
        }
        // The press is where it was queued, with the first state's buttons.
        PointerState state = pointer();
        sink.onButtonDown(PointerState{state.buttons, e.a, e.b, tickCount()});
        last = {state.buttons, e.a, e.b};
        while (!pointerScript.empty()) {
            state = pointer();
            if (!(state.buttons & (LeftButton | MiddleButton | RightButton))) break;
            sink.onPointerMotion(state);
        }
        last.buttons = 0;
        sink.onButtonUp(PointerState{state.buttons & ~(LeftButton | MiddleButton | RightButton), state.x, state.y});
    }
}

} // namespace platform
