#pragma once
// A rectangle of the editor window that draws itself and may take the mouse.
#include <cstdint>

#include "gui/Canvas.h"
#include "gui/Geometry.h"
#include "gui/GuiHost.h"

class WindowView;

class View {
public:
    explicit View(const Rect& size) : size(size), mouseable(size) {}
    virtual ~View() = default;
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    virtual void draw(Canvas& canvas) { (void)canvas; }
    virtual void drawRect(Canvas& canvas, const Rect& rect) {
        (void)rect;
        draw(canvas);
    }
    virtual bool intersects(const Rect& rect) const { return size.intersects(rect); }
    // A press on the view; the canvas answers the press's buttons. A view
    // that follows a drag takes the motion and the release that come after.
    virtual void mouse(Canvas& canvas, Point where) { (void)canvas, (void)where; }
    virtual void mouseMoved(Canvas& canvas, Point where) { (void)canvas, (void)where; }
    virtual void mouseUp(Canvas& canvas, Point where) { (void)canvas, (void)where; }
    // The window goes, or takes the view away, before the release: the
    // drag ends without acting.
    virtual void cancelDrag() {}
    virtual void update(Canvas& canvas) {
        if (!isDirty()) return;
        draw(canvas);
        setDirty(false);
    }
    virtual void notify(View* sender, const char* message) { (void)sender, (void)message; }
    virtual int32_t onKeyDown(const KeyInput& key) { (void)key; return -1; }
    virtual int32_t onKeyUp(const KeyInput& key) { (void)key; return -1; }
    virtual bool onWheel(Canvas* canvas, Point where, float distance) { (void)canvas, (void)where, (void)distance; return false; }
    virtual void loseFocus(Canvas* canvas) { (void)canvas; }
    virtual void takeFocus(Canvas* canvas) { (void)canvas; }
    virtual bool isDirty() const { return dirty; }
    virtual void setDirty(bool flag) { dirty = flag; }
    virtual void setMouseEnabled(bool flag) { mouseEnabled = flag; }
    virtual bool isMouseEnabled() const { return mouseEnabled; }
    virtual void setMouseableArea(const Rect& rect) { mouseable = rect; }
    virtual Rect getMouseableArea() const { return mouseable; }
    // Hit tests use the size rectangle, edges included.
    virtual bool contains(Point where) const { return size.contains(where); }
    virtual void setTransparency(bool flag) { transparent = flag; }
    virtual bool isTransparent() const { return transparent; }
    virtual void setViewSize(const Rect& rect) {
        size = rect;
        setDirty(true);
    }
    virtual void setWindowView(WindowView* owner) { windowView = owner; }
    virtual void setParentView(View* owner) { parent = owner; }
    // Whoever shows the window this view is in; null outside a window.
    virtual GuiHost* getHost();
    virtual void removed(WindowView& owner) { (void)owner; }
    virtual void attached(WindowView& owner) { (void)owner; }
    // The last release deletes the view.
    virtual void release() {
        if (--references <= 0) delete this;
    }
    virtual void retain() { ++references; }
    virtual int32_t getReferenceCount() const { return references; }

    const Rect& viewSize() const { return size; }
    WindowView* getWindowView() const { return windowView; }

protected:
    Rect size;
    Rect mouseable;
    WindowView* windowView = nullptr;
    View* parent = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool transparent = false;
    int32_t references = 1;
};
