#include "gui/TextLabel.h"

#include <algorithm>
#include <cstdio>

namespace {
template <typename T>
bool change(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}
} // namespace

TextLabel::TextLabel(const Rect& rect, ControlListener* owner, int32_t controlTag, Bitmap* bitmap, int32_t flags)
    : Control(rect, owner, controlTag, bitmap), style(flags) {
    // A label that draws nothing starts clean.
    if (style & NoDraw) setDirty(false);
}

void TextLabel::setConversion(Conversion convert, void* userData) {
    conversion = convert;
    conversionData = userData;
    setDirty(true);
}

void TextLabel::setFont(int32_t id, int32_t textStyle) {
    // Both are set, whichever of them changed.
    bool changed = change(fontId, id);
    changed = change(fontStyle, textStyle) || changed;
    if (changed) setDirty(true);
}
void TextLabel::setFontColour(Colour c) {
    if (change(fontColour, c)) setDirty(true);
}
void TextLabel::setBackColour(Colour c) {
    if (change(backColour, c)) setDirty(true);
}
void TextLabel::setFrameColour(Colour c) {
    if (change(frameColour, c)) setDirty(true);
}
void TextLabel::setShadowColour(Colour c) {
    if (change(shadowColour, c)) setDirty(true);
}
void TextLabel::setAlignment(int32_t a) {
    if (change(alignment, a)) setDirty(true);
}
void TextLabel::setTextInset(int32_t pixels) {
    if (change(inset, pixels)) setDirty(true);
}
void TextLabel::setStyle(int32_t s) {
    if (change(style, s)) setDirty(true);
}

std::string TextLabel::text() const {
    char out[256];
    if (conversion) {
        out[0] = 0;
        conversion(value, out, conversionData);
        out[255] = 0;
    } else {
        std::snprintf(out, sizeof out, "%2.2f", static_cast<double>(value));
    }
    return out;
}

void TextLabel::draw(Canvas& canvas) {
    if (style & NoDraw) {
        setDirty(false);
        return;
    }
    if (background) {
        drawBackground(canvas, backgroundOffset);
    } else if (!transparent) {
        canvas.setFillColour(backColour);
        canvas.fillRect(size.offset(-1, -1));
        const bool twoColour = (style & (FrameTopLeftBack | FrameTopLeftFront)) != 0;
        if (!twoColour) {
            canvas.setFrameColour(frameColour);
            canvas.drawRect({size.left, size.top, size.right - 1, size.bottom - 1});
        } else {
            const bool backFirst = (style & FrameTopLeftBack) != 0;
            const Colour topLeft = backFirst ? backColour : frameColour;
            const Colour bottomRight = backFirst ? frameColour : backColour;
            canvas.setFrameColour(topLeft);
            canvas.moveTo({size.left, size.bottom - 1});
            canvas.lineTo({size.left, size.top});
            canvas.lineTo({size.right - 1, size.top});
            canvas.setFrameColour(bottomRight);
            canvas.lineTo({size.right - 1, size.bottom - 1});
            canvas.lineTo({size.left, size.bottom - 1});
        }
    }
    if (!(style & NoText)) {
        canvas.setFont(fontId, 0, fontStyle);
        const std::string shown = text();
        if (style & Shadowed) {
            canvas.setFontColour(shadowColour);
            drawText(canvas, shown, size.offset(1, 1));
        }
        canvas.setFontColour(fontColour);
        canvas.setFillColour(backColour);
        drawText(canvas, shown, size);
    }
    setDirty(false);
}

namespace {
// Text is UTF-8: cuts fall between characters, never inside one.
bool continues(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }
size_t characterStart(const std::string& text, size_t at) {
    while (at > 0 && at < text.size() && continues(text[at])) --at;
    return std::min(at, text.size());
}
void dropLastCharacter(std::string& text) {
    while (!text.empty() && continues(text.back())) text.pop_back();
    if (!text.empty()) text.pop_back();
}
void dropFirstCharacter(std::string& text) {
    size_t n = text.empty() ? 0 : 1;
    while (n < text.size() && continues(text[n])) ++n;
    text.erase(0, n);
}
} // namespace

void TextLabel::drawText(Canvas& canvas, const std::string& shown, const Rect& whole) {
    const Rect box{whole.left + inset, whole.top, whole.right, whole.bottom};
    const int32_t room = box.width() - 2;
    const size_t kept = elided ? shown.size() - characterStart(shown, shown.size() - std::min(keep, shown.size())) : 0;
    if (!elided || (kept == 0 && canvas.textWidth(shown) <= room)) {
        canvas.drawString(shown, box, !transparentText, alignment);
        return;
    }
    const std::string end = shown.substr(shown.size() - kept);
    const std::string head = shown.substr(0, shown.size() - kept);
    const int32_t endWidth = canvas.textWidth(end);
    const Rect headBox{box.left, box.top, box.right - endWidth - 1, box.bottom};
    // The end (a counter) always sits at the right edge, so that it does not
    // move from one name to the next.
    if (canvas.textWidth(head) + endWidth <= room) {
        canvas.drawString(head, headBox, !transparentText, alignment);
        canvas.drawString(end, box, !transparentText, Canvas::AlignRight);
        return;
    }
    // Take characters from the middle of the head until it fits beside the end.
    std::string front = head.substr(0, characterStart(head, (head.size() + 1) / 2)), back = head.substr(front.size());
    std::string fitted = head;
    while (!front.empty() || !back.empty()) {
        fitted = front + "..." + back;
        if (canvas.textWidth(fitted) + endWidth <= room) break;
        if (front.size() > back.size())
            dropLastCharacter(front);
        else
            dropFirstCharacter(back);
    }
    canvas.drawString(fitted, headBox, !transparentText, Canvas::AlignLeft);
    canvas.drawString(end, box, !transparentText, Canvas::AlignRight);
}

TextField::TextField(const Rect& rect, ControlListener* owner, int32_t controlTag, const char* initial,
                     Bitmap* bitmap, int32_t flags)
    : TextLabel(rect, owner, controlTag, bitmap, flags) {
    setText(initial);
}

void TextField::setText(const char* newText) {
    std::string next = newText ? std::string(newText) : std::string();
    next.resize(characterStart(next, std::min<size_t>(next.size(), 255)));
    if (change(content, next)) setDirty(true);
}

std::string TextField::text() const {
    if (!conversion) return content;
    char out[256] = {};
    conversion(value, out, conversionData);
    out[255] = 0;
    return out;
}
