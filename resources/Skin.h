#pragma once
// The deck's skin, painted at build time and built into the library.

// Makes the skin the images that bitmaps are loaded from (idempotent).
void registerSkinImages();
