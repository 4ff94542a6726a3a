// The skin's pixels as the painter wrote them, taken into the library's
// read-only data at build time.
#include <cstddef>
#include <cstdint>

#include "gui/EmbeddedImages.h"
#include "resources/Skin.h"

extern "C" const uint32_t tunedeck_skin_pixels[];

// TUNEDECK_SKIN_PIXELS names the painter's pixel file.
#if defined(_WIN32)
// PE objects: a read-only data section, no symbol visibility, and the C
// symbol prefix of the target (an underscore on 32-bit Windows).
#define TUNEDECK_STRING(x) #x
#define TUNEDECK_PREFIXED(prefix, name) TUNEDECK_STRING(prefix) name
asm(".section .rdata$tunedeck_skin,\"dr\"\n"
    ".balign 16\n"
    ".globl " TUNEDECK_PREFIXED(__USER_LABEL_PREFIX__, "tunedeck_skin_pixels") "\n"
    TUNEDECK_PREFIXED(__USER_LABEL_PREFIX__, "tunedeck_skin_pixels") ":\n"
    ".incbin \"" TUNEDECK_SKIN_PIXELS "\"\n"
    ".text\n");
#else
asm(".section .rodata.tunedeck_skin,\"a\"\n"
    ".balign 16\n"
    ".hidden tunedeck_skin_pixels\n"
    ".globl tunedeck_skin_pixels\n"
    "tunedeck_skin_pixels:\n"
    ".incbin \"" TUNEDECK_SKIN_PIXELS "\"\n"
    ".previous\n");
#endif

namespace {
struct SkinEntry {
    int32_t id;
    int32_t width;
    int32_t height;
    size_t first;
};

constexpr SkinEntry entries[] = {
#include "SkinTable.inc"
};
constexpr int32_t count = static_cast<int32_t>(sizeof entries / sizeof entries[0]);

const EmbeddedImage* table() {
    static const auto images = [] {
        struct Table {
            EmbeddedImage image[count];
        } made{};
        for (int32_t i = 0; i < count; ++i)
            made.image[i] = {entries[i].id, entries[i].width, entries[i].height, tunedeck_skin_pixels + entries[i].first};
        return made;
    }();
    return images.image;
}
} // namespace

void registerSkinImages() { registerEmbeddedImages(table(), count); }
