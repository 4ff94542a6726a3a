#include "gui/EmbeddedImages.h"

#include <atomic>
#include <vector>

#include "gui/Bitmap.h"

namespace {
std::atomic<const EmbeddedImage*> images{nullptr};
std::atomic<int32_t> imageCount{0};
} // namespace

void registerEmbeddedImages(const EmbeddedImage* table, int32_t count) {
    images = table;
    imageCount = table ? count : 0;
}

const EmbeddedImage* findEmbeddedImage(int32_t id) {
    const EmbeddedImage* table = images;
    for (int32_t i = 0; table && i < imageCount; ++i)
        if (table[i].id == id) return &table[i];
    return nullptr;
}

Bitmap* loadBitmap(int32_t id) {
    const EmbeddedImage* image = findEmbeddedImage(id);
    if (!image || !image->pixels || image->width <= 0 || image->height <= 0) return new Bitmap(id, 0, 0, {});
    const size_t count = static_cast<size_t>(image->width) * image->height;
    return new Bitmap(id, image->width, image->height, std::vector<uint32_t>(image->pixels, image->pixels + count));
}
