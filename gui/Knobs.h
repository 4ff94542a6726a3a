#pragma once
// Knobs: a rotary knob over an arc (circular or linear dragging, wheel and
// arrow keys), a knob drawn from a strip of images, and the jog wheel, whose
// value wraps as the pointer passes its start angle.
#include "gui/Control.h"

class RotaryKnob : public Control {
public:
    RotaryKnob(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background, Bitmap* handle,
               Point backgroundOffset);
    ~RotaryKnob() override;

    void draw(Canvas& canvas) override;
    void mouse(Canvas& canvas, Point where) override;
    void mouseMoved(Canvas& canvas, Point where) override;
    void mouseUp(Canvas& canvas, Point where) override;
    void cancelDrag() override;
    bool onWheel(Canvas* canvas, Point where, float distance) override;
    int32_t onKeyDown(const KeyInput& key) override;

    void setStartAngle(double angle) { startAngle = angle; }
    void setRangeAngle(double angle) { rangeAngle = angle; }
    // The value of a point relative to the knob's top-left, and back.
    float valueFromPoint(Point p) const;
    Point pointFromValue(float v) const;

protected:
    // Jog wheels take the pointer's angle as it is, jumps and all.
    virtual bool guardsTheDeadZone() const { return true; }
    void drawHandle(Canvas& canvas);
    // One step of a drag.
    void follow(Canvas& canvas, Point where);

    // A drag between its press and its release.
    struct Drag {
        bool active = false;
        bool circular = true;
        Point last{};
        Point start{};
        float startValue = 0.0f;
        float accepted = 0.0f;
        uint32_t modifiers = 0;
    } drag;

    Point backgroundOffset;
    Bitmap* handle;
    double startAngle;
    double rangeAngle;
    double zoomFactor = 1.5;
    int32_t inset;
};

class StripKnob : public RotaryKnob {
public:
    StripKnob(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background, int32_t images,
              int32_t imageHeight, Point backgroundOffset);
    void draw(Canvas& canvas) override;
    int32_t stripOffset() const;

private:
    int32_t images;
    int32_t imageHeight;
};

class JogKnob : public StripKnob {
public:
    using StripKnob::StripKnob;
    // A platter is turned by hand: the arrow keys stay the host's.
    int32_t onKeyDown(const KeyInput&) override { return -1; }

protected:
    bool guardsTheDeadZone() const override { return false; }
};
