#pragma once
// A small light over another view: off, dim or bright. It draws nothing
// when off; the view beneath is drawn again to put it out.
#include "gui/View.h"
#include "gui/Geometry.h"

class Lamp : public View {
public:
    Lamp(const Rect& rect, View* beneath, Colour dim, Colour bright);

    // 0 off, 1 dim, 2 bright.
    void setLevel(int32_t level);
    int32_t getLevel() const { return level; }

    void draw(Canvas& canvas) override;

private:
    View* beneath;
    Colour dim, bright;
    int32_t level = 0;
};
