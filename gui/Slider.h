#pragma once
// A slider: a handle bitmap moved over a background along one axis. A click
// anywhere centres the handle under the pointer, shift drags ten times
// slower, control-click resets to the default value.
#include <memory>

#include "gui/Control.h"

class Slider : public Control {
public:
    enum Style : int32_t {
        Horizontal = 1,
        Vertical = 2,
        GrowsRight = 8,
        GrowsLeft = 16,
        GrowsDown = 32,
        GrowsUp = 64,
    };

    Slider(const Rect& size, ControlListener* listener, int32_t tag, int32_t minHandlePosition,
           int32_t maxHandlePosition, Bitmap* handle, Bitmap* background, Point backgroundOffset, int32_t style);
    ~Slider() override;

    void attached(WindowView& owner) override;
    void removed(WindowView& owner) override;
    void draw(Canvas& canvas) override;
    void mouse(Canvas& canvas, Point where) override;
    void mouseMoved(Canvas& canvas, Point where) override;
    void mouseUp(Canvas& canvas, Point where) override;
    void cancelDrag() override;
    // A wheel step moves the handle by the wheel increment (a tenth of it
    // with shift), away from the user moving it up or right.
    bool onWheel(Canvas* canvas, Point where, float distance) override;

    void setHandleOffset(Point p) { handleOffset = p; }

private:
    bool horizontal() const { return (style & Vertical) == 0; }
    int32_t handleLength() const { return horizontal() ? handleWidth : handleHeight; }
    // One step of a drag: the value under the pointer (finer with shift).
    void follow(Canvas& canvas, Point where);

    // A drag between its press and its release.
    struct Drag {
        bool active = false;
        int32_t grab = 0;
        float anchor = 0.0f;
        bool shiftWasDown = false;
    } drag;

    Point backgroundOffset;
    Point handleOffset{0, 0};
    Bitmap* handle;
    int32_t handleWidth = 1;
    int32_t handleHeight = 1;
    int32_t style;
    int32_t minPosition;
    int32_t range;
    float fineFactor = 10.0f;
    std::unique_ptr<OffscreenCanvas> offscreen;
};
