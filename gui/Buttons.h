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
    void mouseMoved(Canvas& canvas, Point where) override;
    void mouseUp(Canvas& canvas, Point where) override;
    void cancelDrag() override;

protected:
    // Holds the value at held from the press (told to the listener) and
    // shows it while the pointer stays inside. The release inside ends at
    // 0, told to the listener: the button acts once. Released outside, it
    // ends at 0 untold: sliding off cancels. A negative held flips the value
    // and ends at 0 at once, both told.
    void press(Canvas& canvas, float held);
    int32_t imageHeight;
    Point imageOffset;
    struct Hold {
        bool active = false;
        float held = 0.0f;
        float before = 0.0f;
    } hold;
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

// Shows its image over the window while on; a right click is its
// listener's second action.
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
