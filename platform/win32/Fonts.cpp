// Text on Windows through GDI's own fonts: "Arial" is the system's Arial.
// Glyphs are drawn without smoothing into a small bitmap of the font's own
// and handed to the canvas pixel by pixel, so that text is drawn the same
// way as on Linux, through the portable canvas.
#include "platform/Fonts.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "platform/win32/WideText.h"

namespace platform {
namespace {

class GdiFont : public Font {
public:
    GdiFont(HDC dc, HFONT font) : dc_(dc), font_(font) {
        previous_ = SelectObject(dc_, font_);
        GetTextMetricsW(dc_, &metrics_);
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc_, LF_FACESIZE, face);
        family_ = win32::narrowed(face);
    }
    ~GdiFont() override {
        SelectObject(dc_, previous_);
        DeleteObject(font_);
        if (bitmap_) DeleteObject(bitmap_);
        DeleteDC(dc_);
    }

    std::string familyName() const override { return family_; }
    int32_t ascent() const override { return metrics_.tmAscent; }
    int32_t descent() const override { return metrics_.tmDescent; }

    int32_t textWidth(std::string_view text) override {
        SIZE size{};
        const std::wstring wide = win32::widened(text);
        if (wide.empty() || !GetTextExtentPoint32W(dc_, wide.data(), static_cast<int>(wide.size()), &size)) return 0;
        return size.cx;
    }

    void render(std::string_view text, int32_t x, int32_t baseline,
                const std::function<void(int32_t, int32_t)>& plot) override {
        if (text.empty()) return;
        // Room for italic overhang and glyphs that reach left of their origin.
        const int32_t margin = metrics_.tmHeight;
        const int32_t width = textWidth(text) + 2 * margin;
        const int32_t height = metrics_.tmHeight;
        if (!ensureBitmap(width, height)) return;
        std::fill(pixels_, pixels_ + static_cast<size_t>(bitmapWidth_) * bitmapHeight_, 0u);
        SetBkMode(dc_, TRANSPARENT);
        SetTextColor(dc_, RGB(255, 255, 255));
        SetTextAlign(dc_, TA_LEFT | TA_TOP | TA_NOUPDATECP);
        const std::wstring wide = win32::widened(text);
        TextOutW(dc_, margin, 0, wide.data(), static_cast<int>(wide.size()));
        GdiFlush();
        const int32_t top = baseline - metrics_.tmAscent;
        for (int32_t row = 0; row < height; ++row)
            for (int32_t column = 0; column < width; ++column)
                if (pixels_[static_cast<size_t>(row) * bitmapWidth_ + column] & 0x00FFFFFFu)
                    plot(x + column - margin, top + row);
    }

private:
    bool ensureBitmap(int32_t width, int32_t height) {
        if (bitmap_ && width <= bitmapWidth_ && height <= bitmapHeight_) return true;
        if (bitmap_) {
            SelectObject(dc_, previousBitmap_);
            DeleteObject(bitmap_);
            bitmap_ = nullptr;
        }
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // rows top down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!bitmap_) return false;
        previousBitmap_ = SelectObject(dc_, bitmap_);
        pixels_ = static_cast<uint32_t*>(bits);
        bitmapWidth_ = width;
        bitmapHeight_ = height;
        return true;
    }

    HDC dc_;
    HFONT font_;
    HGDIOBJ previous_ = nullptr;
    HGDIOBJ previousBitmap_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    uint32_t* pixels_ = nullptr;
    int32_t bitmapWidth_ = 0;
    int32_t bitmapHeight_ = 0;
    TEXTMETRICW metrics_{};
    std::string family_;
};

} // namespace

std::shared_ptr<Font> Font::open(const std::string& family, int32_t pixelSize, bool bold, bool italic) {
    // A negative height asks for the em size in pixels, as the pixel sizes
    // of the font table mean.
    // Text is UTF-8 (track names in any script): GDI links in the system's
    // faces for the glyphs the family lacks.
    HFONT font = CreateFontW(-std::max(pixelSize, 1), 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, italic ? TRUE : FALSE,
                             FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, win32::widened(family).c_str());
    if (!font) return nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        DeleteObject(font);
        return nullptr;
    }
    return std::make_shared<GdiFont>(dc, font);
}

} // namespace platform
