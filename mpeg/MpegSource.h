#pragma once
// The track source for MPEG audio files (".mp1", ".mp2", ".mp3"), decoded
// with libmad. Opening scans the frame headers into a complete frame index,
// so the length is exact at once and a jump starts decoding at the indexed
// frame: every sample lands where a straight decode puts it. Positions are
// the music's: an encoder's information frame, delay and padding are not
// part of the track (gapless playback). Reads decode on demand into a window
// of samples around the play position. The loader walks the stream once
// with a decoder of its own to draw the overview.
//
// The file is read in ranges (a window of its bytes, a few hundred
// kilobytes), so the frame index is all a source holds of the whole track.
//
// Threads: readWindow runs on the deck's decode-ahead worker and holds the
// source's lock for the whole read; opening and closing take the same lock
// only to swap the file in and out, after abandoning its reads, so a read
// never meets a released file and a stalled share never holds the lock.
// The loader holds the open file it walks (file, layout and index).
#include <mad.h>

#include <memory>

#include "mpeg/MpegFeed.h"
#include "mpeg/MpegFrameIndex.h"
#include "mpeg/MpegSourceBase.h"
#include "mpeg/MpegStreamLayout.h"
#include "sources/Resampler.h"
#include "sources/SampleWindow.h"

class MpegSource : public MpegSourceBase {
public:
    static constexpr int32_t halfWindow = SampleWindow::halfFrames;
    static constexpr int32_t windowFrames = SampleWindow::frames;

    // One open file: the file, where its stream lies, and its frame index.
    struct OpenMpeg {
        std::shared_ptr<TrackFile> file;
        MpegStreamLayout layout;
        MpegFrameIndex index;
    };

    explicit MpegSource(SourceOwner* owner);
    ~MpegSource() override;

    bool getSound(float* const* out, int32_t count, double position, double ratio, bool replace, bool wrap) override;
    bool getSignature(int32_t out[4]) override;
    void loadFunc(const LoaderRun& run) override;
    bool openFile() override;
    void closeFile() override;
    // Serves one piece of a read from the window, decoding what it lacks.
    virtual bool readWindow(float* const* out, int32_t count, double position, double ratio, bool replace);

    int32_t getWindowStart() const { return window.start; }
    int32_t getWindowFill() const { return window.fill; }
    bool lengthIsExact() const override { return isOpen; }
    bool isFileOpen() const { return isOpen; }
    // The open file's index (null when none is open); for tests and tools.
    const MpegFrameIndex* frameIndex() const { return file ? &file->index : nullptr; }

protected:
    std::shared_ptr<const void> loaderData() const override { return file; }
    TrackFile* openTrackFile() const override { return file ? file->file.get() : nullptr; }

private:
    // Starts the read decoder afresh at the frame beginning at byte offset from.
    void restartDecoder(int64_t from);
    // Places the window so that it can hold decoded samples from `from` on,
    // at the indexed frame that holds it.
    void reposition(int64_t from);
    // Decodes one frame; it goes into the window unless it only prepares
    // the decoder for the frames after it. False at the end of the stream.
    bool decodeNext();

    std::shared_ptr<OpenMpeg> file; // swapped under the lock
    std::unique_ptr<MpegFeed> feed; // the read decoder's bytes, under the lock
    int64_t streamPos = 0; // byte offset where the read decoder resumes
    mad_stream stream{};
    mad_frame frame{};
    mad_synth synth{};
    // Labelled in decoded samples, which run ahead of the music's frames by
    // the layout's leading samples.
    SampleWindow window;
    bool exhausted = false;    // the stream ended after the window's last frame
    int64_t synthFrom = 0;     // frames before this offset only refill the reservoir
    int64_t keepFrom = 0;      // frames before this offset only prepare the synthesis
    int32_t pendingPhase = -1; // synthesis phase to set before the next synthesised frame
    Relaxed<bool> isOpen{false};
    Resampler resampler; // used under the lock
};
