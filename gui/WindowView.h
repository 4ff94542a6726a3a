#pragma once
// The editor's window: a native child window of the host's, a pixel surface
// the views draw into over a background bitmap, and the routing of mouse,
// key and wheel input to the views. GUI thread only: other threads only
// mark views dirty, and the next idle draws them.
#include <functional>
#include <memory>
#include <vector>

#include "gui/Bitmap.h"
#include "gui/PixelSurface.h"
#include "gui/View.h"
#include "platform/NativeWindow.h"

class WindowView : public View, private platform::WindowEvents {
public:
    // size in layout pixels; the window has size times scale device pixels.
    WindowView(const Rect& size, void* hostWindow, GuiHost& host, float scale = 1.0f);
    ~WindowView() override;

    void draw(Canvas& canvas) override;
    void drawRect(Canvas& canvas, const Rect& rect) override;
    void mouse(Canvas& canvas, Point where) override;
    void update(Canvas& canvas) override;
    int32_t onKeyDown(const KeyInput& key) override;
    int32_t onKeyUp(const KeyInput& key) override;
    bool onWheel(Canvas* canvas, Point where, float distance) override;
    GuiHost* getHost() override { return &editor; }

    bool addView(View* view);
    void removeView(View* view, bool releaseIt);
    void removeAll(bool releaseIt);
    bool isChild(const View* view) const;
    int32_t getViewCount() const { return static_cast<int32_t>(views.size()); }
    View* getView(int32_t index) const;

    void setBackground(Bitmap* bitmap);
    bool setModalView(View* view);
    View* getModalView() const { return modal; }
    void setFocusView(View* view);
    View* getFocusView() const { return focus; }
    // Draws one view now (all of them for null or a view not in the list).
    void drawView(View* view);
    // Reads the window's events, then draws what is dirty.
    void idle();
    void setCursor(int32_t kind);
    bool isOpen() const { return open; }
    bool firstPaintPending() const { return paintPending; }
    float scale() const { return scaleValue; }
    // Draws at another scale from now on: the window takes the new size and
    // everything is drawn again.
    void setScale(float scale);

    // A canvas over the window's pixels that reads the window's pointer.
    Canvas makeCanvas();
    PixelSurface& pixels() { return surface; }
    platform::NativeWindow& native() { return *window; }
    // Shows what changed of the pixels in the native window.
    void present();

private:
    void onPaint(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    // Sends the pixels that differ from those last shown, and exposed.
    void presentArea(const Rect& exposed);
    void onButtonDown(const platform::PointerState& state) override;
    void onPointerMotion(const platform::PointerState& state) override;
    void onButtonUp(const platform::PointerState& state) override;
    void onWheel(const platform::PointerState& state, float distance) override;
    void onFocus(bool focused) override { keyFocus = focused; }
    void onDrop(const std::vector<std::string>& files) override { editor.filesDropped(files); }
    void onScaleChanged(float scale) override { editor.screenScaleChanged(scale); }
    // A pointer event's place in layout pixels.
    Point layoutPlace(const platform::PointerState& state) const {
        return {toLayout(state.x, scaleValue), toLayout(state.y, scaleValue)};
    }
    // Draws what an input event changed and shows it.
    void showChanges(Canvas& canvas);
    void onDestroyed() override { open = false; }
    bool anyDirty() const;
    int32_t offerKey(const std::function<int32_t(View&)>& handle);

    GuiHost& editor;
    Bitmap* background = nullptr;
    std::vector<View*> views; // holds no reference of its own
    View* modal = nullptr;
    View* focus = nullptr;
    View* pressed = nullptr; // the view that took the press, until the release
    bool keyFocus = false;   // keys are the window's only while it has the focus
    bool paintPending = true;
    bool open = true;
    float scaleValue;
    PixelSurface surface;        // device pixels
    std::vector<uint32_t> shown; // what the window was last sent
    std::unique_ptr<platform::NativeWindow> window;
};
