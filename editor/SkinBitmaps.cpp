#include "editor/SkinBitmaps.h"

#include "gui/Bitmap.h"
#include "gui/EmbeddedImages.h"
#include "resources/Skin.h"
#include "resources/painter/SkinPainting.h"

namespace {
// 108 and 120 belong to the skin but are never shown; they are not loaded.
constexpr int32_t sharedIds[] = {110, 111, 112, 113, 115, 116, 117, 118, 119, 121, 123, 124, 126, 127, 128, 129, 130,
                                 131, 132, 133, 134, 135, 138, 139, 143, 145, 146, 147, 148, 149, 150, 151, 152, 153,
                                 169};
constexpr int32_t compactIds[] = {114, 122, 125, 136, 137, 140, 141, 142, 144, 154};
constexpr int32_t fullIds[] = {155, 156, 157, 158, 159, 160};
// The labels and the jog wheel leave their yellow pixels untouched.
constexpr int32_t yellowKeyed[] = {110, 111, 112, 113, 145};

} // namespace

void SkinBitmaps::paintAt(float scale) {
    if (scale == currentScale || bitmaps.empty()) return;
    currentScale = scale;
    if (scale == 1.0f) {
        for (Bitmap* bitmap : bitmaps)
            if (const EmbeddedImage* image = findEmbeddedImage(bitmap->resourceId()); image && image->pixels) {
                const size_t count = static_cast<size_t>(image->width) * image->height;
                bitmap->repaint(1.0f, image->width, image->height,
                                std::vector<uint32_t>(image->pixels, image->pixels + count));
            }
        return;
    }
    std::vector<int32_t> ids;
    for (const Bitmap* bitmap : bitmaps) ids.push_back(bitmap->resourceId());
    for (const PaintedImage& image : paintSkin(scale, ids))
        if (Bitmap* bitmap = get(image.id)) {
            const paint::Image& art = image.image;
            const size_t count = static_cast<size_t>(art.deviceWidth()) * art.deviceHeight();
            bitmap->repaint(scale, art.deviceWidth(), art.deviceHeight(),
                            std::vector<uint32_t>(art.data(), art.data() + count));
        }
}

void SkinBitmaps::load(bool compact) {
    releaseAll();
    currentScale = 1.0f;
    registerSkinImages();
    for (int32_t id : sharedIds) bitmaps.push_back(loadBitmap(id));
    if (compact)
        for (int32_t id : compactIds) bitmaps.push_back(loadBitmap(id));
    else
        for (int32_t id : fullIds) bitmaps.push_back(loadBitmap(id));
    for (int32_t id : yellowKeyed)
        if (Bitmap* bitmap = get(id)) bitmap->setTransparentColour(colours::yellow);
}

void SkinBitmaps::releaseAll() {
    for (Bitmap* bitmap : bitmaps) bitmap->release();
    bitmaps.clear();
    currentScale = 1.0f;
}

Bitmap* SkinBitmaps::get(int32_t id) const {
    for (Bitmap* bitmap : bitmaps)
        if (bitmap->resourceId() == id) return bitmap;
    return nullptr;
}
