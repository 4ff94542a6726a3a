#pragma once
// The track source for MPEG audio files (".mp1", ".mp2", ".mp3"), decoded
// with libmad. The loader walks the file with a decoder of its own to learn
// the length and draw the overview; reads decode on demand into a window of
// samples around the play position, with the equaliser applied to each
// frame's subband samples before synthesis.
//
// Threads: readWindow runs on the audio thread and holds the source's lock for the whole read; opening
// and closing take the same lock only to swap the file in and out, so a read
// never meets a released view. The loader reads the mapping it was started
// with, which it keeps alive itself.
#include <mad.h>

#include <memory>

#include "mpeg/MpegSourceBase.h"
#include "platform/FileBytes.h"
#include "sources/Resampler.h"

class MpegSource : public MpegSourceBase {
public:
    static constexpr int32_t halfWindow = 65536;
    static constexpr int32_t windowFrames = 2 * halfWindow;

    explicit MpegSource(SourceOwner* owner);
    ~MpegSource() override;

    bool getSound(float* const* out, int32_t count, double position, double ratio, bool replace, bool wrap) override;
    bool getSignature(int32_t out[4]) override;
    void loadFunc(const LoaderRun& run) override;
    bool openFile() override;
    void closeFile() override;
    // Serves one piece of a read from the window, decoding what it lacks.
    virtual bool readWindow(float* const* out, int32_t count, double position, double ratio, bool replace);

    int32_t getWindowStart() const { return windowStart; }
    int32_t getWindowFill() const { return windowFill; }
    bool isFileOpen() const { return isOpen; }

protected:
    std::shared_ptr<const void> loaderData() const override { return mapping; }

private:
    // Starts the read decoder afresh at byte offset from; with search set it
    // first looks for a frame header, as after a jump into the middle of a frame.
    void restartDecoder(int64_t from, bool search);
    // Decodes one frame into the window; false at the end of the data.
    bool decodeIntoWindow();

    std::shared_ptr<const platform::FileBytes> mapping; // swapped under the lock
    const uint8_t* view = nullptr;
    int64_t fileSize = 0;
    int64_t streamPos = 0; // byte offset where the read decoder resumes
    mad_stream stream{};
    mad_frame frame{};
    mad_synth synth{};
    float window[2][windowFrames] = {};
    int32_t windowStart = 0;
    int32_t windowFill = 0;
    Relaxed<bool> isOpen{false};
    Resampler resampler; // used under the lock
};
