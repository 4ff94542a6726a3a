#pragma once
// The deck's artwork: palette, the pieces every panel shares, and one
// function per kind of skin image.
#include <string>

#include "resources/painter/Raster.h"

namespace art {

using paint::Image;
using paint::Rgb;

// The palette: a charcoal deck, cyan for what is engaged, amber for play
// and loops, red for the kill switches.
inline const Rgb panelTop = paint::rgb(0x2a2f37);
inline const Rgb panelBottom = paint::rgb(0x1c1f25);
inline const Rgb groove = paint::rgb(0x0b0d10);
inline const Rgb bevelLight = paint::rgb(0x4a525e);
inline const Rgb ink = paint::rgb(0xd8dee6);
inline const Rgb dimInk = paint::rgb(0x8b95a1);
inline const Rgb cyan = paint::rgb(0x36c8ea);
inline const Rgb amber = paint::rgb(0xffb13b);
inline const Rgb red = paint::rgb(0xff4f4f);
inline const Rgb green = paint::rgb(0x52e07a);
inline const Rgb lcd = paint::rgb(0x0d1a20);
inline const Rgb yellowKey = paint::rgb(0xffff00);
inline const Rgb whiteKey = paint::rgb(0xffffff);

// What a button shows: a glyph painted in the 16 × 16 cell (x0, y0) in a colour.
using Glyph = void (*)(Image& image, int32_t x0, int32_t y0, Rgb colour);

// A 16 × 32 button: released above, pressed or engaged below, lit in accent.
Image button(Glyph glyph, Rgb accent);
// A button whose face is a short text (beat counts).
Image textButton(const std::string& label, Rgb accent);
// The auto-rewind switch: three 16 × 16 states stacked.
Image autoRewindSwitch();
// The face painted under the about button, which draws only while shown.
Image infoKey();
// A slider's handle, drawn in rows firstRow to endRow (exclusive; -1: to the
// bottom). The other rows are left in the key colour (white), so that the
// slider shows what is painted there.
Image handle(int32_t width, int32_t height, Rgb accent, int32_t firstRow = 0, int32_t endRow = -1);
// The background of a text display: a recessed screen, yellow corners.
Image display(int32_t width, int32_t height);
Image listRow(int32_t width, bool selected);
// The list's up or down bar: two images of 6 rows, the second pressed.
Image listBar(int32_t width, bool up);
Image jogWheel();
Image logoStrip(int32_t width, int32_t height);

// How far down their lane the crossover handles are drawn; their captions
// sit in the rows below.
inline constexpr int32_t crossoverReach = 22;

// Panels.
void panel(Image& image, const Rect& box);
void horizontalTrack(Image& image, const Rect& slider, bool centreMark);
void verticalTrack(Image& image, const Rect& slider);
void pitchTrack(Image& image, const Rect& slider);
void caption(Image& image, const std::string& text, const Rect& box, Rgb colour = dimInk, bool centred = true,
             bool toRight = false);
Image transportPage(int32_t width, int32_t height, int32_t pitchRight);
void equaliserSection(Image& image, int32_t y0, bool compact);
void listSection(Image& image, int32_t barTop, int32_t listTop, int32_t listBottom, int32_t scrollLeft);
void jogSection(Image& image, int32_t y0, bool compact);
Image about(int32_t width, int32_t height);

// Glyphs.
void plusGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void rewindGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void resetGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void playGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void nextGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void pageGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void cutGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void saveGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void deleteGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);
void blankGlyph(Image& image, int32_t x0, int32_t y0, Rgb colour);

} // namespace art
