// The page backgrounds: a brushed charcoal deck with recessed slider tracks
// and small captions, laid out under the controls of each page.
#include <cmath>

#include "resources/painter/SkinArt.h"

namespace art {

void panel(Image& image, const Rect& box) {
    image.verticalGradient(box, panelTop, panelBottom);
    // Fine horizontal brushing.
    for (int32_t y = box.top; y < box.bottom; y += 2) image.rect({box.left, y, box.right, y + 1}, paint::rgb(0x000000), 0.06f);
    image.rect({box.left, box.top, box.right, box.top + 1}, bevelLight, 0.6f);
    image.rect({box.left, box.bottom - 1, box.right, box.bottom}, paint::rgb(0x0b0d10), 0.8f);
}

void caption(Image& image, const std::string& text, const Rect& box, Rgb colour, bool centred, bool toRight) {
    if (!toRight) {
        image.text(text, box, 6, colour, centred);
        return;
    }
    // Left-aligned text starts a pixel inside its box.
    const int32_t left = box.right - image.textWidth(text, 6) - 1;
    image.text(text, {left, box.top, box.right, box.bottom}, 6, colour, false);
}

// A recessed line from left to right at y, lit along its lower edge.
void grooveLine(Image& image, int32_t left, int32_t right, int32_t y) {
    image.rect({left, y - 1, right, y + 1}, groove);
    image.rect({left, y + 1, right, y + 2}, bevelLight, 0.5f);
}

// A groove along the slider's middle with ticks; the centre tick is
// brighter where the value 0.5 means "no change".
void horizontalTrack(Image& image, const Rect& slider, bool centreMark) {
    const int32_t mid = (slider.top + slider.bottom) / 2;
    grooveLine(image, slider.left + 1, slider.right - 1, mid);
    const int32_t ticks = 8;
    for (int32_t i = 0; i <= ticks; ++i) {
        const int32_t x = slider.left + 1 + (slider.width() - 3) * i / ticks;
        const bool centre = i == ticks / 2;
        const Rgb colour = centre && centreMark ? cyan : dimInk;
        image.rect({x, slider.top + 2, x + 1, mid - 3}, colour, centre ? 0.9f : 0.45f);
        image.rect({x, mid + 4, x + 1, slider.bottom - 2}, colour, centre ? 0.9f : 0.45f);
    }
}

// The pitch slider's track. Its handle is drawn only below the caption
// line, so the range, the name and the notch at 0 % above the groove are
// never covered, wherever the handle stands.
void pitchTrack(Image& image, const Rect& slider) {
    const int32_t mid = slider.top + 11;
    grooveLine(image, slider.left + 1, slider.right - 1, mid);
    const int32_t ticks = 8;
    int32_t centreX = 0;
    for (int32_t i = 0; i <= ticks; ++i) {
        const int32_t x = slider.left + 1 + (slider.width() - 3) * i / ticks;
        const bool centre = i == ticks / 2;
        if (centre) centreX = x;
        image.rect({x, mid + 3, x + 1, slider.bottom - 1}, centre ? cyan : dimInk, centre ? 0.9f : 0.45f);
    }
    // The notch: a small cyan pointer above the groove where the pitch is 0 %.
    const float cx = static_cast<float>(centreX) + 0.5f, top = static_cast<float>(slider.top);
    image.fill({centreX - 4, slider.top, centreX + 5, slider.top + 8},
               [&](float x, float y) { return paint::triangle(x, y, cx - 3.5f, top + 3.0f, cx + 3.5f, top + 3.0f, cx, top + 7.5f); },
               cyan);
    const int32_t nameCentre = (slider.left + 26 + centreX - 4) / 2;
    caption(image, "-32%", {slider.left, slider.top, slider.left + 26, slider.top + 8});
    caption(image, "PITCH", {nameCentre - 20, slider.top, nameCentre + 20, slider.top + 8}, ink);
    caption(image, "0", {centreX + 5, slider.top, centreX + 13, slider.top + 8}, cyan);
    caption(image, "+32%", {slider.right - 26, slider.top, slider.right, slider.top + 8});
}

void verticalTrack(Image& image, const Rect& slider) {
    const int32_t mid = (slider.left + slider.right) / 2;
    image.rect({mid - 1, slider.top + 2, mid + 1, slider.bottom - 2}, groove);
    image.rect({mid + 1, slider.top + 2, mid + 2, slider.bottom - 2}, bevelLight, 0.5f);
    if (slider.width() < 16) return;
    const int32_t ticks = 6;
    for (int32_t i = 0; i <= ticks; ++i) {
        const int32_t y = slider.top + 3 + (slider.height() - 6) * i / ticks;
        image.rect({slider.left + 4, y, mid - 4, y + 1}, dimInk, i == ticks / 2 ? 0.9f : 0.4f);
        image.rect({mid + 5, y, slider.right - 4, y + 1}, dimInk, i == ticks / 2 ? 0.9f : 0.4f);
    }
}

// The transport strip: displays, overview, buttons and the pitch slider.
Image transportPage(int32_t width, int32_t height, int32_t pitchRight) {
    Image image(width, height, panelBottom);
    panel(image, {0, 0, width, height});
    panel(image, {0, 0, width, 84});
    // The overview's well, seen while no track is loaded.
    image.rect({3, 23, 253, 41}, groove);
    pitchTrack(image, {4, 64, pitchRight, 80});
    image.paste(infoKey(), 236, 44);
    return image;
}

// A small pointer from a caption towards the control it names.
void pointer(Image& image, int32_t x, int32_t centreY, bool toLeft, Rgb colour) {
    const float cx = static_cast<float>(x), cy = static_cast<float>(centreY) + 0.5f;
    const float tip = toLeft ? cx : cx + 4.0f, base = toLeft ? cx + 4.0f : cx;
    image.fill({x, centreY - 4, x + 5, centreY + 5},
               [&](float px, float py) { return paint::triangle(px, py, base, cy - 3.0f, base, cy + 3.0f, tip, cy); }, colour);
}

// Captions sit in the free space between the controls, each beside what it
// names: the crossovers' in their own lane below the handle's reach, the
// three gains' with a pointer to their fader, one KILL for the row of kill
// switches, and VOL by the volume fader.
void equaliserSection(Image& image, int32_t y0, bool compact) {
    const int32_t gainBottom = y0 + 72;
    const int32_t lefts[3] = {6, 94, 182};
    for (int32_t band = 0; band < 3; ++band) verticalTrack(image, {lefts[band], y0, lefts[band] + 32, gainBottom});
    verticalTrack(image, {218, y0, 250, y0 + 54});
    horizontalTrack(image, {42, y0, 90, y0 + crossoverReach}, false);
    horizontalTrack(image, {130, y0, 178, y0 + crossoverReach}, false);
    // The crossovers' captions reach two pixels past their sliders on each
    // side, into the free space between the faders, so that no scale cuts
    // them.
    caption(image, "LOW | MID", {40, y0 + crossoverReach, 92, y0 + 32});
    caption(image, "MID | HIGH", {128, y0 + crossoverReach, 180, y0 + 32});
    const int32_t firstRow = y0 + 34, secondRow = y0 + 46;
    pointer(image, 41, firstRow + 5, true, cyan);
    caption(image, "BASS", {47, firstRow, 89, firstRow + 10}, ink, false);
    caption(image, "MID", {42, secondRow, 86, secondRow + 10}, ink, false, true);
    pointer(image, 87, secondRow + 5, false, cyan);
    caption(image, "HIGH", {130, secondRow, 174, secondRow + 10}, ink, false, true);
    pointer(image, 175, secondRow + 5, false, cyan);
    caption(image, "KILL", {130, y0 + 61, 162, y0 + 71}, red);
    // VOL beside its fader: under it where the reset key leaves room, above
    // it in small type in the compact build, whose page key sits there.
    if (compact)
        image.text("VOL", {218, y0 - 6, 250, y0}, 6, dimInk, true, 0, 7);
    else
        caption(image, "VOL", {237, y0 + 58, 256, y0 + 74});
}

void listSection(Image& image, int32_t barTop, int32_t listTop, int32_t listBottom, int32_t scrollLeft) {
    image.rect({3, barTop - 1, scrollLeft + 9, listBottom + 7}, groove);
    image.rect({scrollLeft, listTop, scrollLeft + 8, listBottom}, paint::rgb(0x111417));
    verticalTrack(image, {scrollLeft, listTop, scrollLeft + 8, listBottom});
}

// A double arrow in the 14 × 10 box at (x, y): the way a jump row moves.
void jumpArrow(Image& image, int32_t x, int32_t y, bool back, Rgb colour) {
    const float top = static_cast<float>(y), bottom = top + 9.0f, mid = top + 4.5f;
    image.fill({x, y, x + 14, y + 10}, [&](float px, float py) {
        float nearest = 1e9f;
        for (int32_t k = 0; k < 2; ++k) {
            const float left = static_cast<float>(x + 1 + 6 * k);
            nearest = std::min(nearest, back ? paint::triangle(px, py, left + 6.0f, top, left + 6.0f, bottom, left, mid)
                                             : paint::triangle(px, py, left, top, left, bottom, left + 6.0f, mid));
        }
        return nearest;
    }, colour);
}

// The jump keys' two rows lie in one tinted band, each row with its arrow
// at the right; the loop keys and their caption sit in an amber frame.
void jogSection(Image& image, int32_t y0, bool compact) {
    // A recess the platter sits in.
    image.fill({0, y0 - 2, 84, y0 + 76}, [&](float x, float y) { return paint::circle(x, y, 42, static_cast<float>(y0) + 36, 37.5f); },
               groove);
    const int32_t backTop = compact ? 4 : y0, forwardTop = compact ? 20 : y0 + 20;
    const Rect band{80, backTop - 2, 256, forwardTop + (compact ? 16 : 17)};
    image.fill(band, [&](float x, float y) {
        return paint::roundedBox(x, y, static_cast<float>(band.left), static_cast<float>(band.top), 258.0f,
                                 static_cast<float>(band.bottom), 3.0f);
    }, cyan, 0.12f);
    image.rect({band.left + 2, band.top, 256, band.top + 1}, cyan, 0.35f);
    jumpArrow(image, 240, backTop + 3, true, cyan);
    jumpArrow(image, 240, forwardTop + 3, false, cyan);

    const int32_t shortLoopsBottom = compact ? 72 : 226;
    const Rect frame{79, compact ? 53 : 200, 201, compact ? 84 : 237};
    image.fill(frame, [&](float x, float y) {
        const float inside = paint::roundedBox(x, y, static_cast<float>(frame.left) + 0.5f, static_cast<float>(frame.top) + 0.5f,
                                               static_cast<float>(frame.right) - 0.5f,
                                               static_cast<float>(frame.bottom) - 0.5f, 3.0f);
        return std::abs(inside) - 0.5f;
    }, amber, 0.55f);
    caption(image, "LOOP", {82, shortLoopsBottom + 1, 138, shortLoopsBottom + 11}, amber);
}

Image about(int32_t width, int32_t height) {
    Image image(width, height, panelBottom);
    panel(image, {0, 0, width, height});
    const int32_t mid = height / 2;
    image.text("tunedeck", {0, mid - 30, width, mid - 6}, 1, cyan, true, 1);
    image.text("a deck for your host's mix", {0, mid - 6, width, mid + 8}, 4, ink);
    image.text("MP3 MP2 MP1 WAV FLAC  -  pitch, loops, jog, EQ", {0, mid + 8, width, mid + 20}, 6, dimInk);
    image.text("click to close", {0, height - 14, width, height - 2}, 6, dimInk);
    return image;
}

} // namespace art
