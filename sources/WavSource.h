#pragma once
// The track source for PCM ".wav" files. Reads convert just the frames they
// need straight from the file's bytes; the loader only draws the overview and
// confirms the length, which is known as soon as the file is open.
//
// Threads: getSound runs on the audio thread without the lock and never
// waits; it reads the open file through a PublishedView, and closeFile waits
// for that read to leave before the view is released. Reads come from one
// thread at a time (the player's rendering), as the resampler's rows need.
#include <memory>

#include "platform/FileBytes.h"
#include "sources/PublishedView.h"
#include "sources/Resampler.h"
#include "sources/TrackSource.h"
#include "sources/WavFormat.h"

class WavSource : public TrackSource {
public:
    explicit WavSource(SourceOwner* owner);
    ~WavSource() override;

    bool acceptsFile(const char* path) override;
    bool getSound(float* const* out, int32_t count, double position, double ratio, bool replace, bool wrap) override;
    bool getSignature(int32_t out[4]) override;
    void loadFunc(const LoaderRun& run) override;
    bool openFile() override;
    void closeFile() override;

    int32_t headerLength() const override { return length; }
    bool isFileOpen() const { return isOpen; }

    // One open file: its view and the format the chunk walk found.
    struct OpenWav {
        std::shared_ptr<const platform::FileBytes> file;
        WavFormat format;
    };

protected:
    std::shared_ptr<const void> loaderData() const override { return open; }

private:

    std::shared_ptr<const OpenWav> open; // owned by the switching thread
    PublishedView<OpenWav> view;         // what the audio thread reads
    int64_t fileSize = 0;
    int32_t bitsPerSample = 0;
    Relaxed<bool> isOpen{false};
    Resampler resampler; // the audio thread's reads only
};
