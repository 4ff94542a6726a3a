#pragma once
// The track source for FLAC files (".flac"), decoded with libFLAC from the
// file, read in ranges as the decoder asks. Reads decode on demand into a window of samples
// around the play position; a read outside it seeks the decoder to the
// exact sample (libFLAC's seek hands over the frame from that sample on),
// so jumps are sample-exact. The loader walks the whole stream with a
// decoder of its own to count the exact length and draw the overview.
//
// Threads: readWindow runs on the deck's decode-ahead worker and holds the
// source's lock for the whole read; opening and closing take the same lock
// only to swap the file in and out, after abandoning its reads. The loader
// holds the file it walks, with a decoder of its own.
#include <FLAC/stream_decoder.h>

#include <memory>

#include "sources/Resampler.h"
#include "sources/SampleWindow.h"
#include "sources/StereoMix.h"
#include "sources/TrackSource.h"

class FlacSource : public TrackSource {
public:
    static constexpr int32_t halfWindow = SampleWindow::halfFrames;

    explicit FlacSource(SourceOwner* owner);
    ~FlacSource() override;

    bool acceptsFile(const char* path) override;
    bool getSound(float* const* out, int32_t count, double position, double ratio, bool replace, bool wrap) override;
    bool getSignature(int32_t out[4]) override;
    void loadFunc(const LoaderRun& run) override;
    bool openFile() override;
    void closeFile() override;

    bool isFileOpen() const { return isOpen; }
    int32_t headerLength() const override { return exactFromHeader; }

    // A decoder over a file, and where its samples go.
    struct Reader {
        std::shared_ptr<TrackFile> file;
        uint64_t size = 0;
        uint64_t at = 0;
        FLAC__StreamDecoder* decoder = nullptr;
        FLAC__StreamMetadata_StreamInfo info{};
        bool hasInfo = false;
        bool failed = false;
        // Called with each decoded frame: its first sample number and the
        // samples of each channel.
        void (*deliver)(void* target, int64_t first, int32_t frames, const FLAC__int32* const channels[],
                        int channelCount, int bits) = nullptr;
        void* target = nullptr;

        Reader() = default;
        ~Reader() { close(); }
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        bool open(std::shared_ptr<TrackFile> from);
        void close();
    };

protected:
    std::shared_ptr<const void> loaderData() const override { return file; }
    TrackFile* openTrackFile() const override { return file.get(); }

private:
    static void mixToStereo(const FLAC__int32* const channels[], int channelCount, float scale, int32_t frames,
                            float* left, float* right);
    bool readWindow(float* const* out, int32_t count, double position, double ratio, bool replace);
    static void intoWindow(void* target, int64_t first, int32_t frames, const FLAC__int32* const channels[],
                           int channelCount, int bits);

    std::shared_ptr<TrackFile> file; // swapped under the lock
    // The audio thread's decoder, under the lock; held by pointer because
    // libFLAC calls back with its address.
    std::unique_ptr<Reader> reader;
    SampleWindow window;
    bool exhausted = false;
    Relaxed<bool> isOpen{false};
    Relaxed<int32_t> exactFromHeader{0}; // STREAMINFO's total, when it gives one
    Resampler resampler; // used under the lock
};
