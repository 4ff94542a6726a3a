#pragma once
// What a plug-in format's binding asks of an editor, in the view toolkit's
// terms: its size, opening and closing inside the host's window, idle and
// redraw requests, keys, wheel and knob mode, and the scale it is drawn at.
//
// The scale: a person's choice in the editor when made, else the host's
// when it tells one, else the desktop's; the window is the layout's size
// times the scale, and a binding hears of every change of it through
// onResize, to tell its host.
//
// Threads: the GUI thread opens, idles and draws. A host may ask for the
// size from another thread, and a restored session sets the person's choice
// from the thread the host restores on: the scales are atomics, and a
// change only raises a flag that the GUI thread's next idle acts on.
#include <cstdint>
#include <functional>

#include "gui/Geometry.h"
#include "gui/GuiHost.h"
#include "platform/Relaxed.h"

class WindowView;

class EditorBase : public GuiHost {
public:
    explicit EditorBase(Rect size) : bounds(size) {}
    ~EditorBase() override = default;
    EditorBase(const EditorBase&) = delete;
    EditorBase& operator=(const EditorBase&) = delete;

    // In layout pixels.
    const Rect& size() const { return bounds; }
    // The window's size in device pixels at the scale it shows (or will).
    Rect windowSize();
    float scale();
    // The host's scale, 0 for none told. GUI thread.
    void setHostScale(double scale);
    // A person's choice, 0 to follow the host and the desktop.
    void setChosenScale(float scale);
    float chosenScale() const { return chosen; }
    // Where the binding hears of a new window size (device pixels) while
    // the window is open, to ask its host for it; false when the host
    // refuses (a size a person chose is then not taken).
    std::function<bool(int32_t width, int32_t height)> onResize;

    // Opens the window inside the host's window; false when it cannot.
    virtual bool open(void* parentWindow);
    virtual void close() {}
    // A pending update first, then the window view's own idle (its events).
    virtual void idle();
    virtual void update();
    // Asks for a redraw at the next idle: the only request allowed from a
    // thread other than the GUI thread.
    virtual void postUpdate() { updatePending = true; }
    // -1 when the key is not the editor's.
    virtual int32_t onKeyDown(const KeyInput& key);
    virtual int32_t onKeyUp(const KeyInput& key);
    virtual bool setKnobMode(int32_t mode);
    int32_t knobMode() const override { return knobDragMode; }
    virtual bool onWheel(float distance);
    virtual void redrawAll();
    void filesDropped(const std::vector<std::string>& files) override { (void)files; }

    WindowView* windowView() const { return frame; }
    // The open window's system handle, 0 while none is open.
    uintptr_t systemWindow() const;
    void* hostWindow() const { return parent; }

protected:
    // The scale changed: the derived editor paints and sizes anew.
    virtual void scaleChanged() {}
    // The desktop's scale, read when first asked after the window opens.
    void forgetDesktopScale() { desktop = 0.0f; }
    void screenScaleChanged(float scale) override;

    Rect bounds;
    void* parent = nullptr;
    Relaxed<bool> updatePending{false};
    Relaxed<int32_t> knobDragMode{0};
    WindowView* frame = nullptr; // created by the derived editor's open

private:
    // Hosts may ask for the size from another thread than the window's.
    Relaxed<float> host{0.0f};
    Relaxed<float> chosen{0.0f}; // also set from a restored state
    Relaxed<float> desktop{0.0f};
};
