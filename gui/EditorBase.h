#pragma once
// What the host binding needs from a plug-in window's controller: its
// rectangle, opening into a host window, closing, idle processing, keys and
// the knob mode.
#include <cstdint>

#include "plugin/vst2.h"

class EffectBase;

class EditorBase {
public:
    explicit EditorBase(EffectBase& effect);
    virtual ~EditorBase() = default;
    EditorBase(const EditorBase&) = delete;
    EditorBase& operator=(const EditorBase&) = delete;

    // Hands out the editor's rectangle; false when there is none.
    virtual bool getRect(ERect** rect);
    // Opens the window inside the host's window; false when it cannot.
    virtual bool open(void* parentWindow) = 0;
    virtual void close() = 0;
    virtual void idle() {}
    virtual int32_t onKeyDown(const VstKeyCode& key) { (void)key; return 0; }
    virtual int32_t onKeyUp(const VstKeyCode& key) { (void)key; return 0; }
    virtual bool setKnobMode(int32_t mode) { knobMode = mode; return true; }

    EffectBase& effect() { return effect_; }

protected:
    EffectBase& effect_;
    ERect rect{0, 0, 0, 0};
    int32_t knobMode = 0;
};
