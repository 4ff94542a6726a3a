// Writes an MPEG-1 Layer I file (no encoder in Debian writes Layer I): a
// 220 Hz tone carried in subband 0 of 48 kHz, 192 kbit/s frames, stereo or
// mono. Usage: tunedeck-test-layer1 OUT.mp1 SECONDS [mono]
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class BitWriter {
public:
    explicit BitWriter(std::vector<uint8_t>& out) : bytes(out) {}
    void put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            if (used == 0) bytes.push_back(0);
            if ((value >> i) & 1) bytes.back() |= static_cast<uint8_t>(0x80 >> used);
            used = (used + 1) % 8;
        }
    }

private:
    std::vector<uint8_t>& bytes;
    int used = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.mp1 SECONDS [mono]\n", argv[0]);
        return 2;
    }
    const bool mono = argc > 3 && std::strcmp(argv[3], "mono") == 0;
    const int channels = mono ? 1 : 2;
    const double seconds = std::atof(argv[2]);
    const int frameBytes = 12 * 192000 / 48000 * 4; // 192 bytes, no padding at 48 kHz
    const int frames = static_cast<int>(seconds * 48000 / 384);
    const int allocation = 7;                       // 8 bits a sample
    const int sampleBits = allocation + 1;
    std::vector<uint8_t> file;
    double phase = 0.0;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> frame;
        BitWriter bits(frame);
        bits.put(0xFFF, 12);
        bits.put(1, 1);       // MPEG-1
        bits.put(3, 2);       // Layer I
        bits.put(1, 1);       // no CRC
        bits.put(6, 4);       // 192 kbit/s
        bits.put(1, 2);       // 48 kHz
        bits.put(0, 1);       // no padding
        bits.put(0, 1);
        bits.put(mono ? 3 : 0, 2);
        bits.put(0, 2);
        bits.put(0, 1);
        bits.put(1, 1);
        bits.put(0, 2);
        for (int sb = 0; sb < 32; ++sb)
            for (int ch = 0; ch < channels; ++ch) bits.put(sb == 0 ? allocation : 0, 4);
        for (int ch = 0; ch < channels; ++ch) bits.put(8, 6); // scale factor index
        for (int s = 0; s < 12; ++s) {
            // Subband 0 runs at 48000 / 32 = 1500 samples a second.
            double v = std::sin(phase);
            phase += 2 * M_PI * 220.0 / 1500.0;
            for (int sb = 0; sb < 32; ++sb)
                for (int ch = 0; ch < channels; ++ch) {
                    if (sb != 0) continue;
                    int top = (1 << sampleBits) - 2;
                    auto code = static_cast<uint32_t>(std::lround((v * (ch ? 0.5 : 0.8) + 1.0) * 0.5 * top));
                    bits.put(code, sampleBits);
                }
        }
        frame.resize(frameBytes, 0);
        file.insert(file.end(), frame.begin(), frame.end());
    }
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 1;
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
    return 0;
}
