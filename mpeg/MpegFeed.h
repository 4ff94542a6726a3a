#pragma once
// Feeds a libmad stream from a track file through a window of its bytes, so
// that a decoder holds a few hundred kilobytes of any track, however long.
// The stream is given the window from a frame on; when libmad runs out of
// bytes before the audio's end, the window moves up to where it stopped and
// decoding goes on (the Layer III reservoir is libmad's own copy, so it
// survives the move). Bytes after the audio's end are the file's next ones,
// or zeros past the file's end, as libmad's guard wants.
//
// Threads: a feed belongs to one decoding thread.
#include <mad.h>

#include <cstdint>
#include <memory>

#include "sources/FileWindow.h"

class MpegFeed {
public:
    static constexpr int64_t windowBytes = 256 * 1024;

    MpegFeed(std::shared_ptr<TrackFile> file, int64_t audioEnd);

    // Hands stream the bytes from offset on (where a frame should begin).
    void startAt(mad_stream& stream, int64_t offset);
    // After a decode failed: true when the stream was only out of bytes and
    // now has more, so the decode is worth trying again.
    bool refill(mad_stream& stream);
    // The file offset of a byte of the stream's buffer.
    int64_t offsetOf(const unsigned char* p) const { return base_ + (p - data_); }

private:
    FileWindow window_;
    int64_t audioEnd_;
    int64_t base_ = 0;             // the file offset of data_
    const unsigned char* data_ = nullptr;
    bool reachesEnd_ = false;      // the buffer holds the audio's end
};
