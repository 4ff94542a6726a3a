#include "sources/WavFormat.h"

#include <cstring>
#include <limits>

namespace {
uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr uint64_t riffHeaderBytes = 12;
constexpr uint64_t chunkHeaderBytes = 8;
constexpr uint64_t fmtFieldBytes = 16;
} // namespace

WavFormat walkWavChunks(const uint8_t* file, uint64_t size) {
    WavFormat format;
    if (!file) return format;
    uint64_t at = riffHeaderBytes;
    while (at + chunkHeaderBytes <= size) {
        const uint8_t* chunk = file + at;
        uint64_t declared = le32(chunk + 4);
        uint64_t contentsAt = at + chunkHeaderBytes;
        uint64_t available = size - contentsAt;
        if (std::memcmp(chunk, "data", 4) == 0) {
            format.sampleData = file + contentsAt;
            format.dataBytes = declared < available ? declared : available;
            // Only 8-bit and 16-bit PCM is read; any other depth, and a
            // "data" chunk met before its "fmt ", give a track with no frames
            // rather than noise or a division by zero.
            bool readable = (format.bitsPerSample == 8 || format.bitsPerSample == 16) && format.channels > 0;
            if (readable) {
                uint64_t frames = format.dataBytes / (static_cast<uint64_t>(format.bitsPerSample / 8) * format.channels);
                uint64_t most = std::numeric_limits<int32_t>::max();
                format.length = static_cast<int32_t>(frames < most ? frames : most);
            }
            return format;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0 && available >= fmtFieldBytes) {
            const uint8_t* fields = file + contentsAt;
            format.channels = le16(fields + 2);
            format.sampleRate = static_cast<int32_t>(le32(fields + 4) & 0xFFFFFF);
            format.bitRate = static_cast<int32_t>(8 * (le32(fields + 8) & 0xFFFFFF));
            format.bitsPerSample = le16(fields + 14);
        }
        at = contentsAt + declared + (declared & 1);
    }
    return format;
}
