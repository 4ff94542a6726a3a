#include "tools/WavWriter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
void put32(FILE* f, uint32_t v) {
    uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
    std::fwrite(b, 1, 4, f);
}
void put16(FILE* f, uint16_t v) {
    uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
    std::fwrite(b, 1, 2, f);
}
} // namespace

WavWriter::WavWriter(const std::string& path, int sampleRate, bool sixteenBit) : rate(sampleRate), pcm16(sixteenBit) {
    file = std::fopen(path.c_str(), "wb");
    if (file) header();
}

WavWriter::~WavWriter() {
    if (file) finish();
}

void WavWriter::header() {
    const int bytes = pcm16 ? 2 : 4;
    const uint64_t dataBytes = static_cast<uint64_t>(written) * 2 * bytes;
    const uint32_t data32 = static_cast<uint32_t>(std::min<uint64_t>(dataBytes, 0xFFFFFFFFu - 36));
    std::fseek(file, 0, SEEK_SET);
    std::fwrite("RIFF", 1, 4, file);
    put32(file, 36 + data32);
    std::fwrite("WAVEfmt ", 1, 8, file);
    put32(file, 16);
    put16(file, pcm16 ? 1 : 3); // PCM, or IEEE float
    put16(file, 2);
    put32(file, static_cast<uint32_t>(rate));
    put32(file, static_cast<uint32_t>(rate * 2 * bytes));
    put16(file, static_cast<uint16_t>(2 * bytes));
    put16(file, static_cast<uint16_t>(8 * bytes));
    std::fwrite("data", 1, 4, file);
    put32(file, data32);
}

void WavWriter::write(const float* left, const float* right, int32_t frames) {
    if (!file || frames <= 0) return;
    for (int32_t i = 0; i < frames; ++i) {
        float pair[2] = {left[i], right[i]};
        if (pcm16) {
            for (float v : pair) {
                float clipped = std::clamp(v, -1.0f, 32767.0f / 32768.0f);
                put16(file, static_cast<uint16_t>(static_cast<int16_t>(std::lrint(clipped * 32768.0f))));
            }
        } else {
            std::fwrite(pair, sizeof(float), 2, file);
        }
    }
    written += frames;
}

bool WavWriter::finish() {
    if (!file) return false;
    header();
    bool good = std::ferror(file) == 0;
    good = std::fclose(file) == 0 && good;
    file = nullptr;
    return good;
}
