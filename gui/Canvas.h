#pragma once
// Drawing into a pixel surface: lines with a width and a style, rectangle
// outlines and fills, and bitmap blocks, all clipped to the surface and to
// the canvas's clip rectangle, with the canvas offset added to every
// coordinate. Coordinates are layout pixels; a canvas at a scale draws each
// over the device pixels it covers, and text from the fonts at the scaled
// size.
#include <cstdint>
#include <memory>
#include <string_view>

#include "gui/Geometry.h"
#include "gui/PixelSurface.h"

namespace platform {
class Font;
class NativeWindow;
}

class Canvas {
public:
    enum LineStyle : int32_t { Solid = 0, Dotted = 1 };
    enum FontStyle : int32_t { Bold = 1, Italic = 2, Underline = 4 };
    enum Alignment : int32_t { AlignLeft = 0, AlignCentre = 1, AlignRight = 2 };

    explicit Canvas(PixelSurface& surface);
    // clip in layout pixels; the surface holds the device pixels.
    Canvas(PixelSurface& surface, const Rect& clip, float scale = 1.0f);
    virtual ~Canvas() = default;

    void moveTo(Point p) { pen = p; }
    // A line from the pen to p, without p's own pixel (so a closed outline
    // made of lines sets each corner once); the pen moves to p.
    void lineTo(Point p);
    // The outline through left-top, right-top, right-bottom, left-bottom.
    void drawRect(const Rect& rect);
    // Fills left + 1 .. right - 1 by top + 1 .. bottom - 1, inside an outline
    // drawn with drawRect.
    void fillRect(const Rect& rect);

    void setFrameColour(Colour colour) { frame = colour; }
    void setFillColour(Colour colour) { fill = colour; }
    void setFontColour(Colour colour) { font = colour; }
    void setLineStyle(int32_t style) { lineStyle = style == Dotted ? Dotted : Solid; }
    void setLineWidth(int32_t width) { lineWidth = std::max(width, 1); }
    Colour frameColour() const { return frame; }
    Colour fillColour() const { return fill; }
    Colour fontColour() const { return font; }

    // Font id 0..7 of the font table (others become 0), size 0 for the
    // table's size, style bits Bold, Italic, Underline.
    void setFont(int32_t id, int32_t size = 0, int32_t style = 0);
    // One line of text in rect, centred vertically; alignment centre, right,
    // or left with the left edge one pixel in. With opaque the text's cell
    // is first filled with the fill colour.
    void drawString(std::string_view text, const Rect& rect, bool opaque = false, int32_t alignment = AlignCentre);
    // The width drawString gives text in the current font.
    int32_t textWidth(std::string_view text);
    int32_t fontId() const { return fontIdValue; }
    int32_t fontSize() const { return fontSizeValue; }

    // The window whose pointer getMouseButtons and getMouseLocation read.
    void setWindow(platform::NativeWindow* native) { window = native; }
    // The pointer as an input event left it: getMouseButtons and
    // getMouseLocation then answer the event's own state.
    void setPointer(uint32_t buttons, Point where, uint32_t time = 0) {
        eventButtons = buttons;
        lastPointer = where;
        eventTime = time;
        fromEvent = true;
    }
    // When the input event happened, in milliseconds; 0 when not known.
    uint32_t getEventTime() const { return eventTime; }
    // The buttons and modifiers held (1 left, 2 middle, 4 right, 8 shift,
    // 16 control, 32 alt): the event's, or else the window's now; 0 without
    // either.
    uint32_t getMouseButtons();
    void getMouseLocation(Point& where);

    void setOffset(Point p) { offset = p; }
    Point getOffset() const { return offset; }
    const Rect& clipRect() const { return clip; }

    // One layout pixel at p (offset applied), when it lies inside the clip:
    // every device pixel it covers.
    void plot(int32_t x, int32_t y, uint32_t pixel);
    // One device pixel (offset already applied), when inside the clip.
    void plotDevice(int32_t x, int32_t y, uint32_t pixel) {
        if (x >= deviceClip.left && x < deviceClip.right && y >= deviceClip.top && y < deviceClip.bottom)
            surface.set(x, y, pixel);
    }
    // The device pixels of a layout rect with the offset applied: right and
    // bottom exclusive.
    Rect deviceRect(const Rect& layout) const {
        return {device(layout.left + offset.x), device(layout.top + offset.y), device(layout.right + offset.x),
                device(layout.bottom + offset.y)};
    }
    int32_t device(int32_t v) const { return toDevice(v, scaleValue); }
    float scale() const { return scaleValue; }
    PixelSurface& target() { return surface; }

private:
    void stamp(int32_t x, int32_t y, uint32_t pixel);
    std::shared_ptr<platform::Font>& currentFace();

    PixelSurface& surface;
    Rect clip;
    float scaleValue = 1.0f;
    Rect deviceClip; // the clip's device pixels, right and bottom exclusive
    Point offset{};
    Point pen{};
    Colour frame = colours::white;
    Colour fill = colours::black;
    Colour font = colours::white;
    int32_t lineWidth = 1;
    int32_t lineStyle = Solid;
    int32_t fontIdValue = 0;
    int32_t fontSizeValue = 12;
    int32_t fontStyle = Bold;
    std::shared_ptr<platform::Font> face;
    platform::NativeWindow* window = nullptr;
    Point lastPointer{};
    uint32_t eventButtons = 0;
    uint32_t eventTime = 0;
    bool fromEvent = false;
};

// Holds the offscreen surface, so that it exists before the canvas over it.
struct OwnedSurface {
    OwnedSurface(int32_t width, int32_t height, Colour background) : own(width, height, background) {}
    PixelSurface own;
};

// A canvas over a surface of its own, filled with one colour at creation.
class OffscreenCanvas : private OwnedSurface, public Canvas {
public:
    // width × height layout pixels at scale.
    OffscreenCanvas(int32_t width, int32_t height, Colour background, float scale = 1.0f);
    // Copies rect's size from source in this canvas to rect in target (of
    // this canvas's scale).
    void blitTo(Canvas& target, const Rect& rect, Point source) const;
    const PixelSurface& pixels() const { return own; }
};
