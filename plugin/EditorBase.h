#pragma once
// Glue between the host binding and the view toolkit: the editor's
// rectangle, opening and closing, idle and redraw requests, keys, wheel and
// knob mode.
#include <cstdint>

#include "gui/GuiHost.h"
#include "platform/Relaxed.h"
#include "plugin/vst2.h"

class EffectBase;
class WindowView;

class EditorBase : public GuiHost {
public:
    explicit EditorBase(EffectBase& effect);
    ~EditorBase() override = default;
    EditorBase(const EditorBase&) = delete;
    EditorBase& operator=(const EditorBase&) = delete;

    // Hands out the editor's rectangle; false when there is none.
    virtual bool getRect(ERect** rect);
    // Opens the window inside the host's window; false when it cannot.
    virtual bool open(void* parentWindow);
    virtual void close() {}
    // A pending update first, then the window view's own idle (its events).
    virtual void idle();
    virtual void update();
    // Asks for a redraw at the next idle: the only request allowed from a
    // thread other than the GUI thread.
    virtual void postUpdate() { updatePending = true; }
    virtual int32_t onKeyDown(const VstKeyCode& key);
    virtual int32_t onKeyUp(const VstKeyCode& key);
    virtual bool setKnobMode(int32_t mode);
    int32_t knobMode() const override { return knobDragMode; }
    virtual bool onWheel(float distance);
    virtual void parameterChanged(int32_t index, float value) { (void)index, (void)value; postUpdate(); }
    virtual void redrawAll();
    // The host hears of a person's edit under the parameter the control
    // bears, and of none for a control that bears none.
    void beginEdit(int32_t tag) override;
    void endEdit(int32_t tag) override;
    void filesDropped(const std::vector<std::string>& files) override { (void)files; }
    // The host parameter a control's tag changes, or -1.
    virtual int32_t parameterOf(int32_t tag) const { (void)tag; return -1; }

    EffectBase& effect() { return effect_; }
    WindowView* windowView() const { return frame; }
    void* hostWindow() const { return parent; }

protected:
    EffectBase& effect_;
    ERect rect{0, 0, 0, 0};
    void* parent = nullptr;
    Relaxed<bool> updatePending{false};
    Relaxed<int32_t> knobDragMode{0};
    WindowView* frame = nullptr; // created by the derived editor's open
};
