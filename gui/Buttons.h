#pragma once
// The button family: a toggle, a button that is on while held (and its
// editor variant that also takes the right button), a switch of n states and
// a button that shows an overlay taking all mouse input while it is on.
#include "gui/Control.h"

class ToggleButton : public Control {
public:
    using Control::Control;
    void draw(Canvas& canvas) override;
    void mouse(Canvas& canvas, Point where) override;
};

class MomentaryButton : public Control {
public:
    MomentaryButton(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background, int32_t imageHeight,
                    Point imageOffset);
    void draw(Canvas& canvas) override;
    void mouse(Canvas& canvas, Point where) override;

protected:
    // Holds the value at pressed while the button set stays exactly buttons
    // and the pointer is inside; always ends at 0, told to the listener.
    void track(Canvas& canvas, uint32_t buttons, float pressed);
    // Holds the value at held while the buttons stay down (a negative held:
    // the value flips instead), then ends at 0; both told to the listener.
    void press(Canvas& canvas, uint32_t buttons, float held);
    int32_t imageHeight;
    Point imageOffset;
};

class PressButton : public MomentaryButton {
public:
    using MomentaryButton::MomentaryButton;
    void mouse(Canvas& canvas, Point where) override;
};

class StepSwitch : public Control {
public:
    StepSwitch(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background, int32_t states);
    void draw(Canvas& canvas) override;
    void mouse(Canvas& canvas, Point where) override;

private:
    int32_t states;
};

class OverlayButton : public Control {
public:
    OverlayButton(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background, const Rect& display,
                  Point imageOffset);
    void draw(Canvas& canvas) override;
    void mouse(Canvas& canvas, Point where) override;

private:
    Rect display;
    Rect ownRect;
    Point imageOffset;
};
