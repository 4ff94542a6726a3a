// Writes a 16-bit WAV of a few tones and a soft noise bed, as input for the
// encoders. Usage: tunedeck-test-tone OUT.wav RATE CHANNELS SECONDS [BITS: 16 or 24]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s OUT.wav RATE CHANNELS SECONDS\n", argv[0]);
        return 2;
    }
    const int rate = std::atoi(argv[2]), channels = std::atoi(argv[3]);
    const auto frames = static_cast<int64_t>(std::atof(argv[4]) * rate);
    const int bytes = argc > 5 && std::atoi(argv[5]) == 24 ? 3 : 2;
    const uint32_t dataBytes = static_cast<uint32_t>(frames * channels * bytes);
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    auto put32 = [out](uint32_t v) { std::fwrite(&v, 4, 1, out); };
    auto put16 = [out](uint16_t v) { std::fwrite(&v, 2, 1, out); };
    std::fwrite("RIFF", 1, 4, out);
    put32(36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, out);
    put32(16);
    put16(1);
    put16(static_cast<uint16_t>(channels));
    put32(static_cast<uint32_t>(rate));
    put32(static_cast<uint32_t>(rate * channels * bytes));
    put16(static_cast<uint16_t>(channels * bytes));
    put16(static_cast<uint16_t>(8 * bytes));
    std::fwrite("data", 1, 4, out);
    put32(dataBytes);
    uint32_t noise = 12345;
    for (int64_t i = 0; i < frames; ++i) {
        double t = static_cast<double>(i) / rate;
        for (int ch = 0; ch < channels; ++ch) {
            noise = noise * 1664525u + 1013904223u;
            double n = (static_cast<double>(noise >> 8) / (1 << 24) - 0.5) * 0.05;
            double v = 0.3 * std::sin(2 * M_PI * (220.0 + 110.0 * ch) * t) + 0.2 * std::sin(2 * M_PI * 1375.0 * t) *
                       std::sin(2 * M_PI * 0.5 * t) + n;
            const long full = bytes == 3 ? 8388607 : 32767;
            const auto sample = static_cast<uint32_t>(std::lround(v * full));
            for (int b = 0; b < bytes; ++b) std::fputc(static_cast<int>(sample >> (8 * b) & 0xFF), out);
        }
    }
    std::fclose(out);
    return 0;
}
