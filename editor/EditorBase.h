#pragma once
// What a plug-in format's binding asks of an editor, in the view toolkit's
// terms: its size, opening and closing inside the host's window, idle and
// redraw requests, keys, wheel and knob mode.
#include <cstdint>

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

    const Rect& size() const { return bounds; }
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
    Rect bounds;
    void* parent = nullptr;
    Relaxed<bool> updatePending{false};
    Relaxed<int32_t> knobDragMode{0};
    WindowView* frame = nullptr; // created by the derived editor's open
};
