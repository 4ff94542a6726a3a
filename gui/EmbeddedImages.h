#pragma once
// The skin images built into the library, found by resource id. The skin's
// own source file registers its table; a missing id gives an empty bitmap
// (0 × 0), which draws nothing.
#include <cstdint>

struct EmbeddedImage {
    int32_t id;
    int32_t width;
    int32_t height;
    const uint32_t* pixels; // 0x00RRGGBB, rows top down
};

// Makes table (count entries, kept by the caller for the library's life)
// the images that bitmaps are loaded from.
void registerEmbeddedImages(const EmbeddedImage* table, int32_t count);
const EmbeddedImage* findEmbeddedImage(int32_t id);

class Bitmap;
// A new bitmap (reference count 1) of the image with that id.
Bitmap* loadBitmap(int32_t id);
