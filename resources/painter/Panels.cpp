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

void caption(Image& image, const std::string& text, const Rect& box, Rgb colour) { image.text(text, box, 6, colour); }

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

// The pitch slider's track, with its range written above the groove.
void pitchTrack(Image& image, const Rect& slider) {
    const int32_t mid = slider.top + 11;
    grooveLine(image, slider.left + 1, slider.right - 1, mid);
    const int32_t ticks = 8;
    for (int32_t i = 0; i <= ticks; ++i) {
        const int32_t x = slider.left + 1 + (slider.width() - 3) * i / ticks;
        const bool centre = i == ticks / 2;
        image.rect({x, mid + 3, x + 1, slider.bottom - 1}, centre ? cyan : dimInk, centre ? 0.9f : 0.45f);
    }
    const int32_t centreX = (slider.left + slider.right) / 2;
    caption(image, "-32%", {slider.left + 2, slider.top, slider.left + 30, slider.top + 8});
    caption(image, "PITCH", {centreX - 20, slider.top, centreX + 20, slider.top + 8}, ink);
    caption(image, "+32%", {slider.right - 30, slider.top, slider.right - 2, slider.top + 8});
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

void equaliserSection(Image& image, int32_t y0, bool compact) {
    const int32_t gainBottom = y0 + 72, cutTop = y0 + 58;
    const int32_t lefts[3] = {6, 94, 182};
    const char* bands[3] = {"BASS", "MID", "HIGH"};
    for (int32_t band = 0; band < 3; ++band) verticalTrack(image, {lefts[band], y0, lefts[band] + 32, gainBottom});
    verticalTrack(image, {218, y0, 250, y0 + 54});
    horizontalTrack(image, {42, y0, 90, y0 + 32}, false);
    horizontalTrack(image, {130, y0, 178, y0 + 32}, false);
    caption(image, "LOW | MID", {42, y0 + 33, 90, y0 + 43});
    caption(image, "MID | HIGH", {130, y0 + 33, 178, y0 + 43});
    // The kill switches' bands above them, and the word between.
    const int32_t cutCentres[3] = {50, 82, 170};
    for (int32_t band = 0; band < 3; ++band)
        caption(image, bands[band], {cutCentres[band] - 12, y0 + 46, cutCentres[band] + 12, y0 + 56});
    caption(image, "KILL", {58, cutTop + 3, 74, cutTop + 13}, red);
    caption(image, "KILL", {130, cutTop + 3, 162, cutTop + 13}, red);
    caption(image, "VOL", {218, y0 + 54, 250, y0 + 60});
    (void)compact;
}

void listSection(Image& image, int32_t barTop, int32_t listTop, int32_t listBottom, int32_t scrollLeft) {
    image.rect({3, barTop - 1, scrollLeft + 9, listBottom + 7}, groove);
    image.rect({scrollLeft, listTop, scrollLeft + 8, listBottom}, paint::rgb(0x111417));
    verticalTrack(image, {scrollLeft, listTop, scrollLeft + 8, listBottom});
}

void jogSection(Image& image, int32_t y0, bool compact) {
    // A recess the platter sits in.
    image.fill({0, y0 - 2, 84, y0 + 76}, [&](float x, float y) { return paint::circle(x, y, 42, static_cast<float>(y0) + 36, 37.5f); },
               groove);
    const int32_t jumpTop = compact ? 4 : y0;
    caption(image, "<", {243, jumpTop + 2, 253, jumpTop + 14}, cyan);
    caption(image, ">", {243, jumpTop + (compact ? 18 : 22), 253, jumpTop + (compact ? 30 : 34)}, cyan);
    // Under the row of short loops (1/4 to 1 beat).
    const int32_t shortLoopsBottom = compact ? 72 : 226;
    caption(image, "LOOP", {82, shortLoopsBottom + 1, 138, shortLoopsBottom + 11}, amber);
}

Image about(int32_t width, int32_t height) {
    Image image(width, height, panelBottom);
    panel(image, {0, 0, width, height});
    const int32_t mid = height / 2;
    image.text("tunedeck", {0, mid - 30, width, mid - 6}, 1, cyan, true, 1);
    image.text("a deck for your host's mix", {0, mid - 6, width, mid + 8}, 4, ink);
    image.text("MP1 MP2 MP3 WAV  -  pitch, loops, jog, EQ", {0, mid + 8, width, mid + 20}, 6, dimInk);
    image.text("click to close", {0, height - 14, width, height - 2}, 6, dimInk);
    return image;
}

} // namespace art
