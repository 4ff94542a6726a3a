#pragma once
// The toolkit's eight fonts: face and size by id, and the faces opened once
// per process.
#include <cstdint>
#include <memory>

namespace platform {
class Font;
}

struct FontTableEntry {
    const char* face;
    int32_t size;
};

const FontTableEntry& fontTableEntry(int32_t id);
// The face for a font id, size and style (Canvas::FontStyle bits); null when
// no face can be had, and the text is then not drawn.
std::shared_ptr<platform::Font> fontFor(int32_t id, int32_t size, int32_t style);
