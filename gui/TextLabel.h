#pragma once
// Text displays: a label showing its value (or what a conversion function
// makes of it), and a field showing its own text.
#include <string>

#include "gui/Control.h"

class TextLabel : public Control {
public:
    enum StyleBits : int32_t {
        Shadowed = 0x4,
        FrameTopLeftBack = 0x80,
        FrameTopLeftFront = 0x100,
        NoText = 0x800,
        NoDraw = 0x1000,
        EditOnDoubleClick = 0x2000,
    };
    using Conversion = void (*)(float value, char* text, void* userData);

    TextLabel(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background, int32_t style);

    void draw(Canvas& canvas) override;

    void setConversion(Conversion convert, void* userData = nullptr);
    void setFont(int32_t id, int32_t style = 0);
    void setFontColour(Colour c);
    void setBackColour(Colour c);
    void setFrameColour(Colour c);
    void setShadowColour(Colour c);
    void setAlignment(int32_t alignment);
    void setStyle(int32_t style);
    void setTransparentText(bool flag) { transparentText = flag; }
    // Text too wide for the label loses the middle of its head instead of
    // its ends ("Artist - Tra...Mix"), and its last keptEnd bytes stay
    // whole at the right edge, where they are drawn whatever the length.
    void setElided(bool flag, size_t keptEnd = 0) {
        elided = flag;
        keep = keptEnd;
        setDirty(true);
    }
    // Moves the text this many pixels in from the left edge (clear of a
    // selection stripe painted there).
    void setTextInset(int32_t pixels);
    void setBackgroundOffset(Point p) { backgroundOffset = p; }
    int32_t getStyle() const { return style; }

    // What the label shows now.
    virtual std::string text() const;

protected:
    Conversion conversion = nullptr;
    void* conversionData = nullptr;
    int32_t alignment = Canvas::AlignCentre;
    int32_t style;
    int32_t fontId = 3;
    int32_t fontStyle = 0;
    Colour fontColour = colours::white;
    Colour backColour = colours::black;
    Colour frameColour = colours::black;
    Colour shadowColour = colours::red;
    Point backgroundOffset{0, 0};
    bool transparentText = true;
    bool elided = false;
    size_t keep = 0;
    int32_t inset = 0;

private:
    void drawText(Canvas& canvas, const std::string& shown, const Rect& box);
};

class TextField : public TextLabel {
public:
    TextField(const Rect& size, ControlListener* listener, int32_t tag, const char* text, Bitmap* background,
              int32_t style);
    // Keeps at most 255 characters; marks the field dirty only on a change.
    void setText(const char* text);
    const std::string& getText() const { return content; }
    std::string text() const override;

private:
    std::string content;
};
