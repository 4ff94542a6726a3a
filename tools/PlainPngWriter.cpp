// A PNG writer without libpng, for the Windows build (no MinGW libpng
// package): the image data go in stored deflate blocks, which every PNG
// reader takes. The files are larger than libpng's; the pixels are the same.
#include "tools/PngWriter.h"

#include <cstdio>
#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

uint32_t crc32Of(const uint8_t* bytes, size_t size, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool filled = false;
    if (!filled) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        filled = true;
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void putBig32(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

bool writeChunk(FILE* file, const char type[4], const std::vector<uint8_t>& data) {
    std::vector<uint8_t> chunk;
    putBig32(chunk, static_cast<uint32_t>(data.size()));
    chunk.insert(chunk.end(), type, type + 4);
    chunk.insert(chunk.end(), data.begin(), data.end());
    putBig32(chunk, crc32Of(chunk.data() + 4, chunk.size() - 4));
    return std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
}

} // namespace

bool writePng(const std::string& path, const PixelSurface& surface) {
    if (surface.width() <= 0 || surface.height() <= 0) return false;
    // Each row: filter byte 0, then red, green, blue.
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(surface.height()) * (1 + 3 * static_cast<size_t>(surface.width())));
    for (int32_t y = 0; y < surface.height(); ++y) {
        raw.push_back(0);
        for (int32_t x = 0; x < surface.width(); ++x) {
            const uint32_t p = surface.at(x, y);
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    // A zlib stream of stored blocks of at most 65,535 bytes each.
    std::vector<uint8_t> compressed = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t length = std::min<size_t>(65535, raw.size() - at);
        const bool last = at + length == raw.size();
        compressed.push_back(last ? 1 : 0);
        compressed.push_back(static_cast<uint8_t>(length));
        compressed.push_back(static_cast<uint8_t>(length >> 8));
        compressed.push_back(static_cast<uint8_t>(~length));
        compressed.push_back(static_cast<uint8_t>(~length >> 8));
        compressed.insert(compressed.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                          raw.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    } while (at < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    putBig32(compressed, (b << 16) | a);

    std::vector<uint8_t> header;
    putBig32(header, static_cast<uint32_t>(surface.width()));
    putBig32(header, static_cast<uint32_t>(surface.height()));
    header.insert(header.end(), {8, 2, 0, 0, 0}); // 8-bit RGB, no interlace

    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    bool ok = std::fwrite(signature, 1, sizeof signature, file) == sizeof signature;
    ok = ok && writeChunk(file, "IHDR", header) && writeChunk(file, "IDAT", compressed) &&
         writeChunk(file, "IEND", {});
    return std::fclose(file) == 0 && ok;
}
