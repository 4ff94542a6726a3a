#pragma once
// Test data made on the fly: a private temporary folder and ".wav" files
// with the chunks a test needs.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testdata {

// A path inside this test process's own temporary folder.
std::string tempPath(const std::string& name);

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

struct WavRecipe {
    int channels = 2;
    int sampleRate = 44100;
    int bits = 16;
    int frames = 1000;
    // Sample value for (frame, channel), as the stored integer.
    std::function<int(int frame, int channel)> sample = [](int frame, int) { return frame % 100; };
    int listChunkBytes = -1;         // a "LIST" chunk of this size before "fmt " when >= 0
    bool withFmt = true;
    bool withData = true;
    bool dataBeforeFmt = false;
    int64_t declaredDataBytes = -1;  // the size the "data" header claims, when >= 0
    int formatTag = 1;               // 1 integer PCM, 3 IEEE float, 6 A-law, 7 mu-law, ...
    bool extensible = false;         // WAVE_FORMAT_EXTENSIBLE with formatTag as its sub-format
    uint32_t speakerMask = 0;        // its channel mask (0: centre for mono, the front pair otherwise)
    // For formatTag 3: the sample as a float (32 bits) or double (64 bits).
    std::function<double(int frame, int channel)> floatSample = [](int, int) { return 0.0; };
};

std::vector<uint8_t> makeWav(const WavRecipe& recipe);
std::string writeWav(const std::string& name, const WavRecipe& recipe);
// The WAV made by recipe ("wav"), or the same sound encoded by Debian's own
// encoders as "flac" or "mp3" (320 kbit/s).
std::string encodedTrack(const std::string& name, const WavRecipe& recipe, const std::string& kind);

} // namespace testdata
