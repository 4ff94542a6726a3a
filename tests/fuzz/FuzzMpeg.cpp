// Mutated MPEG data through the MPEG source: opening, the loader's header
// scan, priming and (for some inputs) its walk, and reads at mixed
// positions and ratios, accumulating and replacing.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "mpeg/MpegSource.h"

namespace {
class CountingOwner : public SourceOwner {
    void setSize(int32_t, bool) override {}
    void loadProgress(int32_t) override {}
};

class FuzzedSource : public MpegSource {
public:
    using MpegSource::MpegSource;
    void walk() {
        LoaderRun run(*this, loaderData());
        loadFunc(run);
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/tunedeck-fuzz-" + std::to_string(getpid()) + ".mp3";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return 0;
    if (size) std::fwrite(data, 1, size, file);
    std::fclose(file);

    static uint8_t pixels[TrackSource::overviewBytes];
    CountingOwner owner;
    FuzzedSource source(&owner);
    // The walk pauses a millisecond a frame, so only some inputs take it.
    source.setBitmap(size > 0 && (data[0] & 7) == 0 ? pixels : nullptr);
    if (!source.setFile(path.c_str())) return 0;
    source.stopLoading();
    source.walk();
    float left[700], right[700];
    float* outs[2] = {left, right};
    const int32_t length = source.getLength();
    const int32_t positions[] = {0, 1, length / 3, length - 600, length, length + 50000, 30000, 100};
    const float ratios[] = {1.0f, 0.5f, 1.06f, 0.0f, 1.32f};
    int i = 0;
    for (int32_t position : positions)
        for (float ratio : ratios) source.getSound(outs, 512, position < 0 ? 0 : position, ratio, ++i % 2, false);
    int32_t words[4];
    source.getSignature(words);
    return 0;
}
