// Feeds arbitrary bytes to the WAV source as a ".wav" file: the chunk walk,
// reads at several speeds and positions, wrap and accumulate, the signature
// and the loader must all stay inside the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "sources/WavFormat.h"
#include "sources/WavSource.h"

namespace {
class NoOwner : public SourceOwner {
    void setSize(int32_t, bool) override {}
    void loadProgress(int32_t) override {}
};

const std::string& fuzzPath() {
    static const std::string path = "/tmp/tunedeck-fuzz-" + std::to_string(getpid()) + ".wav";
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WavFormat format = walkWavChunks(data, size);
    if (format.sampleData && (format.sampleData < data || format.sampleData + format.dataBytes > data + size))
        __builtin_trap();

    FILE* file = std::fopen(fuzzPath().c_str(), "wb");
    if (!file) return 0;
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);

    // The overview outlives the source, whose loader draws into it.
    static uint8_t pixels[TrackSource::overviewBytes];
    NoOwner owner;
    WavSource source(&owner);
    source.setBitmap(pixels);
    if (!source.setFile(fuzzPath().c_str())) return 0;
    float left[300], right[300];
    float* outs[2] = {left, right};
    int32_t length = source.getLength();
    const float ratios[] = {1.0f, 0.5f, 2.0f, 1.32f, 0.013f};
    const int32_t positions[] = {0, length - 1, length, length / 2, length + 1000};
    for (float ratio : ratios)
        for (int32_t position : positions) {
            source.getSound(outs, 300, position < 0 ? 0 : position, ratio, true, true);
            source.getSound(outs, 300, position < 0 ? 0 : position, ratio, false, false);
        }
    int32_t words[4];
    source.getSignature(words);
    return 0;
}
