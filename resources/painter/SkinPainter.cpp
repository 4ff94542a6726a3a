// Paints the deck's skin and writes it for the build to embed:
//   tunedeck-skin-painter PIXELS.bin TABLE.inc [SCALE]
// PIXELS.bin holds every image's pixels (0x00RRGGBB, little-endian words,
// rows top down) one after the other; TABLE.inc lists "{id, width, height,
// first pixel}," for each image, in its own pixels.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "resources/painter/SkinPainting.h"

namespace {

bool writeWords(FILE* file, const uint32_t* words, size_t count) {
    std::vector<unsigned char> bytes(count * 4);
    for (size_t i = 0; i < count; ++i)
        for (int b = 0; b < 4; ++b) bytes[i * 4 + b] = static_cast<unsigned char>(words[i] >> (8 * b));
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

} // namespace

int main(int argc, char** argv) {
    const float scale = argc == 4 ? std::strtof(argv[3], nullptr) : 1.0f;
    if ((argc != 3 && argc != 4) || !(scale >= 1.0f && scale <= 4.0f)) {
        std::fprintf(stderr, "usage: %s PIXELS.bin TABLE.inc [SCALE, 1 to 4]\n", argv[0]);
        return 2;
    }
    const std::vector<PaintedImage> skin = paintSkin(scale);
    FILE* pixels = std::fopen(argv[1], "wb");
    FILE* table = std::fopen(argv[2], "w");
    if (!pixels || !table) {
        std::fprintf(stderr, "cannot write %s or %s\n", argv[1], argv[2]);
        return 1;
    }
    size_t offset = 0;
    bool ok = true;
    for (const PaintedImage& painted : skin) {
        const paint::Image& image = painted.image;
        const size_t count = static_cast<size_t>(image.deviceWidth()) * image.deviceHeight();
        ok = ok && writeWords(pixels, image.data(), count);
        std::fprintf(table, "{%d, %d, %d, %zu},\n", painted.id, image.deviceWidth(), image.deviceHeight(), offset);
        offset += count;
    }
    ok = std::fclose(pixels) == 0 && ok;
    ok = std::fclose(table) == 0 && ok;
    return ok ? 0 : 1;
}
