#pragma once
// The track source for PCM ".wav" files. Reads convert just the frames they
// need from a window of the file's bytes; the loader only draws the overview
// and confirms the length, which is known as soon as the file is open.
//
// Threads: getSound runs on the deck's decode-ahead worker and holds the
// source's lock for the whole read; opening and closing take the same lock
// to swap the file in and out, after abandoning the file's reads so that a
// stalled share never holds them. The loader reads through a window of its own.
#include <memory>

#include "sources/FileWindow.h"
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

    // One open file and the format the chunk walk found.
    struct OpenWav {
        std::shared_ptr<TrackFile> file;
        WavFormat format;
        StereoMix mix;
    };

protected:
    std::shared_ptr<const void> loaderData() const override { return open; }
    TrackFile* openTrackFile() const override { return open ? open->file.get() : nullptr; }

private:
    std::shared_ptr<const OpenWav> open; // swapped under the lock
    std::unique_ptr<FileWindow> reads;   // the reads' window of the open file, under the lock
    Relaxed<bool> isOpen{false};
    Resampler resampler; // used under the lock
};
