// Feeds arbitrary bytes to the WAV source as a ".wav" file: the chunk walk,
// reads at several speeds and positions, wrap and accumulate, the signature
// and the loader must all stay inside the file.
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

class FuzzedWav : public WavSource {
public:
    using WavSource::WavSource;
    void walk() {
        LoaderRun run(*this, loaderData());
        loadFunc(run);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    WavFormat format = walkWavChunks(data, size);
    if (format.dataOffset >= 0 && format.dataOffset + format.dataBytes > size) __builtin_trap();

    // The bytes go to the source as a read file's would, with no file.
    auto bytes = TrackFile::copyOf(data, size);
    if (!bytes) return 0;
    TrackSource::pauseLoaders(false);

    // The overview outlives the source, whose loader draws into it.
    static uint8_t pixels[TrackSource::overviewBytes];
    NoOwner owner;
    FuzzedWav source(&owner);
    source.setBitmap(pixels);
    // The walk runs here, not on a loader thread of the lowest priority,
    // which a busy machine would leave waiting.
    if (!source.setFile("fuzzed.wav", bytes, false)) return 0;
    source.stopLoading();
    source.walk();
    float left[300], right[300];
    float* outs[2] = {left, right};
    int32_t length = source.getLength();
    const float ratios[] = {1.0f, 0.5f, 2.0f, 1.32f, 0.013f};
    const int32_t positions[] = {0, length - 1, length, length / 2, length + 1000};
    // Four reads an input, where its own bytes say: every pair is met over
    // the run, and each input stays quick enough for many of them.
    for (size_t k = 0; k < 4; ++k) {
        const int32_t position = positions[data[(size - 1 - k) % size] % 5];
        const float ratio = ratios[data[(size / 2 + k) % size] % 5];
        source.getSound(outs, 300, position < 0 ? 0 : position, ratio, k % 2 == 0, k >= 2);
    }
    int32_t words[4];
    source.getSignature(words);
    return 0;
}
