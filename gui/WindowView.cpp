#include "gui/WindowView.h"

#include <algorithm>
#include <cmath>

GuiHost* View::getHost() { return windowView ? windowView->getHost() : nullptr; }

WindowView::WindowView(const Rect& rect, void* host, GuiHost& owner, float scale)
    : View(rect), editor(owner), scaleValue(scale > 0.0f && std::isfinite(scale) ? scale : 1.0f),
      surface(toDevice(rect.width(), scaleValue), toDevice(rect.height(), scaleValue)),
      window(platform::openNativeWindow(host, surface.width(), surface.height())) {
    windowView = this;
}

WindowView::~WindowView() {
    if (window) window->setCursor(0);
    removeAll(true);
    if (background) background->release();
}

void WindowView::setScale(float scale) {
    if (!(scale > 0.0f) || !std::isfinite(scale) || scale == scaleValue) return;
    scaleValue = scale;
    surface = PixelSurface(toDevice(size.width(), scale), toDevice(size.height(), scale));
    shown.clear(); // the next present sends every pixel
    if (window) window->resize(surface.width(), surface.height());
    setDirty(true);
    if (!paintPending) drawView(nullptr);
}

Canvas WindowView::makeCanvas() {
    Canvas canvas(surface, Rect{0, 0, size.width() - 1, size.height() - 1}, scaleValue);
    canvas.setWindow(window.get());
    return canvas;
}

// Only what differs from the pixels last shown goes to the window, and
// nothing when nothing does; an exposed area always goes.
void WindowView::present() { presentArea(Rect{0, 0, 0, 0}); }

void WindowView::presentArea(const Rect& exposed) {
    if (!window || !open) return;
    const int32_t w = surface.width(), h = surface.height();
    const uint32_t* now = surface.data();
    if (shown.size() != static_cast<size_t>(w) * h) {
        shown.assign(now, now + static_cast<size_t>(w) * h);
        window->present(now, w, h, 0, 0, w, h);
        return;
    }
    int32_t left = exposed.left, top = exposed.top, right = exposed.right, bottom = exposed.bottom;
    if (right <= left || bottom <= top) left = w, top = h, right = 0, bottom = 0;
    for (int32_t y = 0; y < h; ++y) {
        const uint32_t* row = now + static_cast<size_t>(y) * w;
        uint32_t* old = shown.data() + static_cast<size_t>(y) * w;
        if (std::equal(row, row + w, old)) continue;
        int32_t first = 0, last = w - 1;
        while (row[first] == old[first]) ++first;
        while (row[last] == old[last]) --last;
        left = std::min(left, first);
        right = std::max(right, last + 1);
        top = std::min(top, y);
        bottom = std::max(bottom, y + 1);
        std::copy(row, row + w, old);
    }
    if (right <= left || bottom <= top) return;
    window->present(now, w, h, left, top, right, bottom);
}

bool WindowView::addView(View* view) {
    if (!view) return false;
    views.push_back(view);
    view->setWindowView(this);
    view->attached(*this);
    return true;
}

void WindowView::removeView(View* view, bool releaseIt) {
    if (!isChild(view)) return;
    std::erase(views, view);
    if (focus == view) focus = nullptr;
    if (pressed == view) {
        pressed = nullptr;
        view->cancelDrag();
    }
    view->removed(*this);
    view->setWindowView(nullptr);
    if (releaseIt) view->release();
}

void WindowView::removeAll(bool releaseIt) {
    if (focus) {
        focus->loseFocus(nullptr);
        focus = nullptr;
    }
    if (pressed) pressed->cancelDrag();
    pressed = nullptr;
    std::vector<View*> all;
    all.swap(views);
    for (View* view : all) {
        view->removed(*this);
        // Controls outlive the window that showed them.
        view->setWindowView(nullptr);
        if (releaseIt) view->release();
    }
}

bool WindowView::isChild(const View* view) const { return std::find(views.begin(), views.end(), view) != views.end(); }

View* WindowView::getView(int32_t index) const {
    return index >= 0 && index < getViewCount() ? views[static_cast<size_t>(index)] : nullptr;
}

void WindowView::setBackground(Bitmap* bitmap) {
    if (bitmap) bitmap->retain();
    if (background) background->release();
    background = bitmap;
    setDirty(true);
    // A host that stretches the window past the deck (to its own toolbar's
    // width, say) shows the deck's edge colour there, not black.
    if (bitmap && window && bitmap->width() > 0)
        window->setBackground(bitmap->pixel(bitmap->width() - 1, bitmap->height() - 1));
}

bool WindowView::setModalView(View* view) {
    if (modal && view) return false;
    if (modal) modal->removed(*this);
    modal = view;
    if (modal) modal->attached(*this);
    return true;
}

void WindowView::setFocusView(View* view) {
    View* previous = focus;
    focus = view;
    if (previous && previous != view) previous->loseFocus(nullptr);
}

void WindowView::draw(Canvas& canvas) {
    paintPending = false;
    if (background) background->draw(canvas, Rect{0, 0, background->width(), background->height()}, {0, 0});
    for (View* view : views) view->draw(canvas);
    if (modal) modal->draw(canvas);
}

void WindowView::drawRect(Canvas& canvas, const Rect& rect) {
    paintPending = false;
    if (background) background->draw(canvas, rect, {rect.left, rect.top});
    for (View* view : views)
        if (view->intersects(rect)) view->drawRect(canvas, rect);
    if (modal && modal->intersects(rect)) modal->draw(canvas);
}

// A click goes to the modal view alone while there is one; otherwise to the
// last added view under the pointer that takes the mouse, and to no other.
void WindowView::mouse(Canvas& canvas, Point where) {
    if (focus) {
        focus->loseFocus(&canvas);
        focus = nullptr;
    }
    pressed = nullptr;
    if (modal) {
        if (modal->contains(where)) {
            pressed = modal;
            modal->mouse(canvas, where);
        }
        return;
    }
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->isMouseEnabled() && (*it)->contains(where)) {
            pressed = *it;
            (*it)->mouse(canvas, where);
            return;
        }
    editor.unclaimedClick(where, canvas.getMouseButtons());
}

void WindowView::update(Canvas& canvas) {
    if (!open) return;
    if (modal) {
        modal->update(canvas);
    } else if (dirty) {
        draw(canvas);
        dirty = false;
    } else {
        // A view drawn again covers what lies over it (a label over a
        // slider, a light over a display): each later view it meets is
        // drawn again over it.
        constexpr size_t most = 8;
        Rect drawn[most];
        size_t count = 0;
        bool overflow = false;
        for (View* view : views) {
            if (view->isDirty()) {
                view->update(canvas);
                if (count < most)
                    drawn[count++] = view->viewSize();
                else
                    overflow = true;
                continue;
            }
            for (size_t k = 0; k < count; ++k)
                if (view->intersects(drawn[k])) {
                    view->drawRect(canvas, drawn[k]);
                    break;
                }
        }
        if (overflow) dirty = true; // many at once: the whole window next time
    }
}

// Keys a host forwards are the window's only while it has the keyboard
// focus; otherwise they stay the host's shortcuts. Then the focus view, the
// modal view and the views from the last added; the first answer other
// than -1 counts.
int32_t WindowView::offerKey(const std::function<int32_t(View&)>& handle) {
    if (!keyFocus) return -1;
    if (focus)
        if (int32_t handled = handle(*focus); handled != -1) return handled;
    if (modal)
        if (int32_t handled = handle(*modal); handled != -1) return handled;
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if (int32_t handled = handle(**it); handled != -1) return handled;
    return -1;
}

int32_t WindowView::onKeyDown(const KeyInput& key) {
    return offerKey([&key](View& view) { return view.onKeyDown(key); });
}

int32_t WindowView::onKeyUp(const KeyInput& key) {
    return offerKey([&key](View& view) { return view.onKeyUp(key); });
}

bool WindowView::onWheel(Canvas* canvas, Point, float distance) {
    Canvas own = makeCanvas();
    Canvas& use = canvas ? *canvas : own;
    use.getMouseButtons();
    Point where;
    use.getMouseLocation(where);
    // The topmost view under the pointer that takes the wheel; labels over
    // a control take no input and let it through.
    for (auto it = views.rbegin(); it != views.rend(); ++it)
        if ((*it)->isMouseEnabled() && (*it)->contains(where) && (*it)->onWheel(&use, where, distance)) {
            showChanges(use);
            return true;
        }
    return false;
}

void WindowView::drawView(View* view) {
    Canvas canvas = makeCanvas();
    if (view && isChild(view))
        view->draw(canvas);
    else
        draw(canvas);
    present();
}

bool WindowView::anyDirty() const {
    if (dirty || (modal && modal->isDirty())) return true;
    return std::any_of(views.begin(), views.end(), [](const View* v) { return v->isDirty(); });
}

void WindowView::idle() {
    if (window) window->processEvents(*this);
    if (!open || paintPending || !anyDirty()) return;
    Canvas canvas = makeCanvas();
    update(canvas);
    present();
}

void WindowView::setCursor(int32_t kind) {
    if (window) window->setCursor(kind);
}

// The exposed device pixels, drawn from the layout pixels that cover them.
void WindowView::onPaint(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Canvas canvas = makeCanvas();
    drawRect(canvas, Rect{toLayout(left, scaleValue), toLayout(top, scaleValue), toLayout(right, scaleValue),
                          toLayout(bottom, scaleValue)});
    presentArea(Rect{left, top, right + 1, bottom + 1});
}

// Each event is handled as it comes and what it changed is shown at once,
// so the host's thread returns between events and a drag is seen moving.
void WindowView::onButtonDown(const platform::PointerState& state) {
    Canvas canvas = makeCanvas();
    canvas.setPointer(state.buttons, layoutPlace(state), state.time);
    mouse(canvas, layoutPlace(state));
    showChanges(canvas);
}

void WindowView::onPointerMotion(const platform::PointerState& state) {
    if (!pressed) return;
    Canvas canvas = makeCanvas();
    canvas.setPointer(state.buttons, layoutPlace(state), state.time);
    pressed->mouseMoved(canvas, layoutPlace(state));
    showChanges(canvas);
}

void WindowView::onButtonUp(const platform::PointerState& state) {
    if (!pressed) return;
    View* released = pressed;
    pressed = nullptr;
    Canvas canvas = makeCanvas();
    canvas.setPointer(state.buttons, layoutPlace(state), state.time);
    released->mouseUp(canvas, layoutPlace(state));
    showChanges(canvas);
}

void WindowView::onWheel(const platform::PointerState& state, float distance) {
    Canvas canvas = makeCanvas();
    canvas.setPointer(state.buttons, layoutPlace(state), state.time);
    onWheel(&canvas, layoutPlace(state), distance);
}

void WindowView::showChanges(Canvas& canvas) {
    if (!open) return;
    if (!paintPending) update(canvas);
    present();
}
