#include "platform/Fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <map>
#include <mutex>
#include <tuple>

namespace platform {
namespace {

std::mutex fontMutex; // FreeType's library object is not safe to share unguarded

FT_Library library() {
    static FT_Library shared = [] {
        FT_Library made = nullptr;
        if (FT_Init_FreeType(&made) != 0) made = nullptr;
        return made;
    }();
    return shared;
}

// The file of the best match for the family and style.
std::string matchFile(const std::string& family, bool bold, bool italic, std::string& foundFamily) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    std::string file;
    if (match) {
        FcChar8* path = nullptr;
        FcChar8* name = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) file = reinterpret_cast<char*>(path);
        if (FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) foundFamily = reinterpret_cast<char*>(name);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

class FreeTypeFont : public Font {
public:
    FreeTypeFont(FT_Face face, std::string family) : face_(face), family_(std::move(family)) {}
    ~FreeTypeFont() override {
        std::lock_guard<std::mutex> guard(fontMutex);
        FT_Done_Face(face_);
    }
    std::string familyName() const override { return family_; }
    int32_t ascent() const override { return static_cast<int32_t>((face_->size->metrics.ascender + 63) >> 6); }
    int32_t descent() const override { return static_cast<int32_t>((-face_->size->metrics.descender + 63) >> 6); }

    int32_t textWidth(std::string_view text) override {
        int32_t width = 0;
        render(text, 0, 0, nullptr, &width);
        return width;
    }
    void render(std::string_view text, int32_t x, int32_t baseline,
                const std::function<void(int32_t, int32_t)>& plot) override {
        int32_t ignored = 0;
        render(text, x, baseline, &plot, &ignored);
    }

private:
    // Text is UTF-8; a byte that starts no UTF-8 character (a name in
    // another encoding) stands for the Latin-1 character of that value.
    static uint32_t nextCodePoint(std::string_view text, size_t& at) {
        const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
        const unsigned char lead = byte(at);
        const size_t extra = lead >= 0xF0 && lead < 0xF5 ? 3 : lead >= 0xE0 && lead < 0xF0 ? 2 : lead >= 0xC2 && lead < 0xE0 ? 1 : 0;
        if (extra > 0 && at + extra < text.size()) {
            uint32_t value = lead & (0x3F >> extra);
            bool whole = true;
            for (size_t k = 1; whole && k <= extra; ++k) {
                whole = (byte(at + k) & 0xC0) == 0x80;
                value = value << 6 | (byte(at + k) & 0x3F);
            }
            if (whole) {
                at += extra + 1;
                return value;
            }
        }
        ++at;
        return lead;
    }

    void render(std::string_view text, int32_t x, int32_t baseline,
                const std::function<void(int32_t, int32_t)>* plot, int32_t* advance) {
        std::lock_guard<std::mutex> guard(fontMutex);
        int32_t pen = x;
        for (size_t at = 0; at < text.size();) {
            const uint32_t c = nextCodePoint(text, at);
            if (FT_Load_Char(face_, c, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) != 0) continue;
            const FT_GlyphSlot glyph = face_->glyph;
            const FT_Bitmap& bits = glyph->bitmap;
            if (plot)
                for (unsigned row = 0; row < bits.rows; ++row)
                    for (unsigned column = 0; column < bits.width; ++column) {
                        const unsigned char byte = bits.buffer[row * bits.pitch + column / 8];
                        if (byte & (0x80 >> (column % 8)))
                            (*plot)(pen + glyph->bitmap_left + static_cast<int32_t>(column),
                                    baseline - glyph->bitmap_top + static_cast<int32_t>(row));
                    }
            pen += static_cast<int32_t>(glyph->advance.x >> 6);
        }
        *advance = pen - x;
    }

    FT_Face face_;
    std::string family_;
};

} // namespace

std::shared_ptr<Font> Font::open(const std::string& family, int32_t pixelSize, bool bold, bool italic) {
    std::string found;
    std::string file = matchFile(family, bold, italic, found);
    std::lock_guard<std::mutex> guard(fontMutex);
    if (file.empty() || !library()) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library(), file.c_str(), 0, &face) != 0) return nullptr;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(pixelSize, 1))) != 0) {
        FT_Done_Face(face);
        return nullptr;
    }
    return std::make_shared<FreeTypeFont>(face, found);
}

} // namespace platform
