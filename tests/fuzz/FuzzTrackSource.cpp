// Mutated track data through a track source (built once for the MPEG
// source and once for the FLAC source): opening, the loader's walk with its
// index and overview, and reads at positions and ratios the input picks,
// accumulating and replacing, forwards and backwards.
#include <cstdint>
#include <cstdio>
#include <string>

#include "flac/FlacSource.h"
#include "mpeg/MpegSource.h"

namespace {
class CountingOwner : public SourceOwner {
    void setSize(int32_t, bool) override {}
    void loadProgress(int32_t) override {}
};

class FuzzedSource : public FUZZED_SOURCE {
public:
    using FUZZED_SOURCE::FUZZED_SOURCE;
    void walk() {
        LoaderRun run(*this, loaderData());
        loadFunc(run);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // The bytes go to the source as a read file's would, with no file.
    auto bytes = TrackFile::copyOf(data, size);
    if (!bytes) return 0;
    TrackSource::pauseLoaders(false);

    static uint8_t pixels[TrackSource::overviewBytes];
    CountingOwner owner;
    FuzzedSource source(&owner);
    source.setBitmap((data[0] & 7) == 0 ? pixels : nullptr);
    // The walk runs here, not on a loader thread of the lowest priority,
    // which a busy machine would leave waiting.
    if (!source.setFile("fuzzed" FUZZED_EXTENSION, bytes, false)) return 0;
    source.stopLoading();
    source.walk();
    float left[700], right[700];
    float* outs[2] = {left, right};
    const double length = source.getLength();
    const double positions[] = {0, 1, length / 3, length - 600, length, length + 50000, 30000, 100.5};
    const double ratios[] = {1.0, 0.5, 1.06, 0.0, 1.32, -1.0, 2.5};
    // Four reads an input, where its own bytes say: every pair is met over
    // the run, and each input stays quick enough for many of them.
    for (size_t k = 0; k < 4; ++k) {
        const double position = positions[data[(size - 1 - k) % size] % 8];
        const double ratio = ratios[data[(size / 2 + k) % size] % 7];
        source.getSound(outs, 512, position < 0 ? 0 : position, ratio, k % 2 == 0, false);
    }
    int32_t words[4];
    source.getSignature(words);
    return 0;
}
