#pragma once
// The track source for MPEG audio files (".mp1", ".mp2", ".mp3"), decoded
// with libmad. The loader walks the whole stream once with a decoder of its
// own: it counts the exact length, draws the overview and builds the frame
// index. Reads decode on demand into a window of samples around the play
// position, with the equaliser applied to each frame's subband samples
// before synthesis; a jump starts decoding at the indexed frame, so every
// sample lands where a straight decode from the start puts it.
//
// Threads: readWindow runs on the audio thread and holds the source's lock
// for the whole read; opening and closing take the same lock only to swap
// the file in and out, so a read never meets released bytes. The loader
// holds the open file it walks (bytes, layout and index) and is the only
// writer of its index; reads see the index grow without a lock.
#include <mad.h>

#include <memory>

#include "mpeg/MpegFrameIndex.h"
#include "mpeg/MpegSourceBase.h"
#include "mpeg/MpegStreamLayout.h"
#include "platform/FileBytes.h"
#include "sources/Resampler.h"
#include "sources/SampleWindow.h"

class MpegSource : public MpegSourceBase {
public:
    static constexpr int32_t halfWindow = SampleWindow::halfFrames;
    static constexpr int32_t windowFrames = SampleWindow::frames;

    // One open file: its bytes, where its stream lies, and the index the loader builds.
    struct OpenMpeg {
        std::shared_ptr<const platform::FileBytes> bytes;
        MpegStreamLayout layout;
        mutable MpegFrameIndex index; // written by the loader only
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
    bool isWindowExact() const { return windowExact; }
    int32_t decodedEnd() const override { return dataEnd; }
    bool isFileOpen() const { return isOpen; }
    // The open file's index (null when none is open); for tests and tools.
    const MpegFrameIndex* frameIndex() const { return file ? &file->index : nullptr; }

protected:
    std::shared_ptr<const void> loaderData() const override { return file; }

private:
    // Starts the read decoder afresh at byte offset from; with search set it
    // first looks for a frame header, as after a guess into the middle of a frame.
    void restartDecoder(int64_t from, bool search);
    // Places the window so that it can hold frames from `from` on: at the
    // indexed frame that holds it, or at a proportional guess before the
    // index reaches it.
    void reposition(int32_t from);
    // Relabels a guessed window once the index reaches its frames.
    void correctLabels();
    // Decodes one frame; it goes into the window unless it only prepares
    // the decoder for the frames after it. False at the end of the stream.
    bool decodeNext();
    // The read decoder met the end of the stream.
    void endOfStream();

    std::shared_ptr<OpenMpeg> file; // swapped under the lock
    const uint8_t* view = nullptr;
    int64_t streamPos = 0; // byte offset where the read decoder resumes
    mad_stream stream{};
    mad_frame frame{};
    mad_synth synth{};
    SampleWindow window;
    bool windowExact = true;     // labels are the straight decode's sample numbers
    bool exhausted = false;      // the stream ended after the window's last frame
    int64_t synthFrom = 0;       // frames before this offset only refill the reservoir
    int64_t keepFrom = 0;        // frames before this offset only prepare the synthesis
    int32_t discards = 0;        // frames still to drop after a guessed position
    int32_t pendingPhase = -1;   // synthesis phase to set before the next synthesised frame
    int64_t anchorOffset = -1;   // a guessed window's first frame ...
    int64_t anchorSample = 0;    // ... and the label it was given
    Relaxed<bool> isOpen{false};
    Relaxed<int32_t> dataEnd{0}; // where reads found the sound to end; 0 until they do
    Resampler resampler;         // used under the lock
};
