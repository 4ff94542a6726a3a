#pragma once
// A view that carries a value and reports its changes to one listener. The
// value moves only by the control's own mouse, wheel and key handling (or by
// setValue, which neither redraws nor reports).
#include <cstdint>

#include "gui/Bitmap.h"
#include "gui/View.h"

class Control;

class ControlListener {
public:
    virtual ~ControlListener() = default;
    // canvas is the mouse event's, or null when the change has none.
    virtual void valueChanged(Canvas* canvas, Control* control) = 0;
    // A right click on a control that offers a second action.
    virtual void secondaryClick(Control* control) { (void)control; }
};

class Control : public View {
public:
    Control(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background);
    ~Control() override;

    // Dirty while the value differs from the value last drawn.
    bool isDirty() const override { return value != oldValue || dirty; }
    void setDirty(bool flag) override;

    virtual void setValue(float v) { value = v; }
    virtual float getValue() const { return value; }
    virtual void setMin(float v) { minimum = v; }
    virtual float getMin() const { return minimum; }
    virtual void setMax(float v) { maximum = v; }
    virtual float getMax() const { return maximum; }
    virtual void setOldValue(float v) { oldValue = v; }
    virtual float getOldValue() const { return oldValue; }
    virtual void setDefaultValue(float v) { defaultValue = v; }
    virtual float getDefaultValue() const { return defaultValue; }
    virtual void setTag(int32_t t) { tag = t; }
    int32_t getTag() const { return tag; }
    virtual void setBackground(Bitmap* bitmap);
    virtual Bitmap* getBackground() const { return background; }
    virtual void setWheelInc(float v) { wheelInc = v; }
    virtual float getWheelInc() const { return wheelInc; }
    virtual void bounceValue() { value = std::clamp(value, minimum, maximum); }

protected:
    // Tells the listener, when the value differs from the one last drawn.
    void reportIfDirty(Canvas* canvas);
    void report(Canvas* canvas);
    // The begin-edit and end-edit notices around a drag, under the tag.
    void beginEdit();
    void endEdit();
    // The background drawn from offset, transparently when the control is.
    void drawBackground(Canvas& canvas, Point offset);
    // The button set at the start of a mouse action: nothing happens
    // without the left button.
    static bool hasLeft(uint32_t buttons) { return (buttons & 1) != 0; }

    ControlListener* listener;
    int32_t tag;
    float oldValue = 1.0f;
    float defaultValue = 0.5f;
    float value = 0.0f;
    float minimum = 0.0f;
    float maximum = 1.0f;
    float wheelInc = 0.1f;
    Bitmap* background = nullptr;
};
