#include "sources/WavFormat.h"

#include "sources/FileWindow.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {
uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

constexpr uint64_t riffHeaderBytes = 12;
constexpr uint64_t chunkHeaderBytes = 8;
constexpr uint64_t fmtFieldBytes = 16;
constexpr uint64_t extensibleFieldBytes = 40;

enum FormatTag : uint16_t { Pcm = 1, IeeeFloat = 3, ALawTag = 6, MuLawTag = 7, Extensible = 0xFFFE };

WavEncoding encodingOf(uint16_t tag, int bits) {
    switch (tag) {
    case Pcm:
        return bits == 8 ? WavEncoding::Pcm8 : bits == 16 ? WavEncoding::Pcm16 : bits == 24 ? WavEncoding::Pcm24
               : bits == 32 ? WavEncoding::Pcm32 : WavEncoding::Unplayable;
    case IeeeFloat: return bits == 32 ? WavEncoding::Float32 : bits == 64 ? WavEncoding::Float64 : WavEncoding::Unplayable;
    case ALawTag: return bits == 8 ? WavEncoding::ALaw : WavEncoding::Unplayable;
    case MuLawTag: return bits == 8 ? WavEncoding::MuLaw : WavEncoding::Unplayable;
    default: return WavEncoding::Unplayable;
    }
}

// G.711 expansions to 16-bit linear values.
int muLawValue(uint8_t code) {
    const int u = static_cast<uint8_t>(~code);
    const int magnitude = (((u & 0x0F) << 3) + 0x84) << ((u >> 4) & 7);
    return (u & 0x80) ? 0x84 - magnitude : magnitude - 0x84;
}
int aLawValue(uint8_t code) {
    const int a = code ^ 0x55;
    const int exponent = (a >> 4) & 7, mantissa = a & 0x0F;
    const int magnitude = exponent == 0 ? (mantissa << 4) + 8 : ((mantissa << 4) + 0x108) << (exponent - 1);
    return (a & 0x80) ? magnitude : -magnitude;
}

float finiteOrSilence(double v) { return std::isfinite(v) ? static_cast<float>(v) : 0.0f; }
} // namespace

WavFormat walkWavChunks(FileWindow& file) {
    WavFormat format;
    const auto size = static_cast<uint64_t>(file.fileSize());
    // A recorder writes the sizes when it finishes: until then the RIFF
    // header's size, like the data chunk's, says 0 or what was written when
    // it last looked.
    const bool finished = size >= 8 && le32(file.at(4, 4)) + uint64_t{8} == size;
    uint16_t tag = 0;
    uint64_t at = riffHeaderBytes;
    while (at + chunkHeaderBytes <= size) {
        const uint8_t* chunk = file.at(static_cast<int64_t>(at), chunkHeaderBytes);
        const bool isData = std::memcmp(chunk, "data", 4) == 0, isFormat = std::memcmp(chunk, "fmt ", 4) == 0;
        uint64_t declared = le32(chunk + 4);
        uint64_t contentsAt = at + chunkHeaderBytes;
        uint64_t available = size - contentsAt;
        if (isData) {
            format.dataOffset = static_cast<int64_t>(contentsAt);
            // An unfinished recording's sound is everything that follows its
            // header; a finished file's empty chunk is empty.
            const bool unfinished = declared == 0 && !finished;
            format.dataBytes = !unfinished && declared < available ? declared : available;
            // A format the source does not read, and a "data" chunk met
            // before its "fmt ", give a track with no frames rather than
            // noise or a division by zero.
            format.encoding = format.channels > 0 ? encodingOf(tag, format.bitsPerSample) : WavEncoding::Unplayable;
            if (format.encoding != WavEncoding::Unplayable) {
                format.frameBytes = format.bitsPerSample / 8 * format.channels;
                uint64_t frames = format.dataBytes / static_cast<uint64_t>(format.frameBytes);
                uint64_t most = std::numeric_limits<int32_t>::max();
                format.length = static_cast<int32_t>(frames < most ? frames : most);
            }
            return format;
        }
        if (isFormat && available >= fmtFieldBytes) {
            const uint8_t* fields = file.at(static_cast<int64_t>(contentsAt), extensibleFieldBytes);
            tag = le16(fields);
            format.channels = le16(fields + 2);
            format.sampleRate = static_cast<int32_t>(le32(fields + 4) & 0xFFFFFF);
            format.bitRate = static_cast<int32_t>(8 * (le32(fields + 8) & 0xFFFFFF));
            format.bitsPerSample = le16(fields + 14);
            // WAVE_FORMAT_EXTENSIBLE names the real format in the first two
            // bytes of its sub-format GUID.
            if (tag == Extensible) {
                const bool whole = declared >= extensibleFieldBytes && available >= extensibleFieldBytes;
                tag = whole ? le16(fields + 24) : 0;
                format.speakerMask = whole ? le32(fields + 20) : 0;
            }
        }
        at = contentsAt + declared + (declared & 1);
    }
    return format;
}

WavFormat walkWavChunks(const uint8_t* file, uint64_t size) {
    auto bytes = file ? TrackFile::copyOf(file, static_cast<size_t>(size)) : nullptr;
    if (!bytes) return {};
    FileWindow window(std::move(bytes), 4096);
    return walkWavChunks(window);
}

namespace {
template <typename Decode>
void convertRun(const WavFormat& format, const uint8_t* p, int32_t count, float gain, float* out, Decode decode) {
    for (int32_t k = 0; k < count; ++k, p += format.frameBytes) out[k] = decode(p) * gain;
}
} // namespace

void wavSamples(const WavFormat& format, const uint8_t* frames, int32_t count, int channel, float gain, float* out) {
    // The two formats most files use convert in a loop of their own; the
    // rest take the general path a sample at a time.
    switch (format.encoding) {
    case WavEncoding::Pcm16:
        convertRun(format, frames, count, gain, out, [channel](const uint8_t* p) {
            p += 2 * channel;
            return static_cast<int16_t>(p[0] | p[1] << 8) / 32768.0f;
        });
        break;
    case WavEncoding::Pcm24:
        convertRun(format, frames, count, gain, out, [channel](const uint8_t* p) {
            p += 3 * channel;
            return static_cast<float>(static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 |
                                                           static_cast<uint32_t>(p[1]) << 16 |
                                                           static_cast<uint32_t>(p[2]) << 24) >> 8) /
                   8388608.0f;
        });
        break;
    default:
        for (int32_t k = 0; k < count; ++k) out[k] = wavSample(format, frames + k * format.frameBytes, channel) * gain;
        break;
    }
}

float wavSample(const WavFormat& format, const uint8_t* p, int channel) {
    switch (format.encoding) {
    case WavEncoding::Pcm8: return (static_cast<int>(p[channel]) - 128) / 128.0f;
    case WavEncoding::Pcm16: p += 2 * channel; return static_cast<int16_t>(p[0] | p[1] << 8) / 32768.0f;
    case WavEncoding::Pcm24: {
        p += 3 * channel;
        const int32_t v = static_cast<int32_t>(static_cast<uint32_t>(p[0]) << 8 | static_cast<uint32_t>(p[1]) << 16 |
                                               static_cast<uint32_t>(p[2]) << 24) >> 8;
        return static_cast<float>(v) / 8388608.0f;
    }
    case WavEncoding::Pcm32: return static_cast<float>(static_cast<int32_t>(le32(p + 4 * channel)) / 2147483648.0);
    case WavEncoding::Float32: {
        float v;
        std::memcpy(&v, p + 4 * channel, 4);
        return finiteOrSilence(v);
    }
    case WavEncoding::Float64: {
        double v;
        std::memcpy(&v, p + 8 * channel, 8);
        return finiteOrSilence(v);
    }
    case WavEncoding::ALaw: return aLawValue(p[channel]) / 32768.0f;
    case WavEncoding::MuLaw: return muLawValue(p[channel]) / 32768.0f;
    default: return 0.0f;
    }
}
