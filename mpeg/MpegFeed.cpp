#include "mpeg/MpegFeed.h"

#include <algorithm>

static_assert(FileWindow::guard >= MAD_BUFFER_GUARD, "libmad reads its guard past a frame");

MpegFeed::MpegFeed(std::shared_ptr<TrackFile> file, int64_t audioEnd)
    : window_(std::move(file), windowBytes), audioEnd_(audioEnd) {}

void MpegFeed::startAt(mad_stream& stream, int64_t offset) {
    offset = std::clamp<int64_t>(offset, 0, audioEnd_);
    int64_t held = 0;
    data_ = window_.at(offset, windowBytes, &held);
    base_ = offset;
    const int64_t toEnd = audioEnd_ - offset;
    reachesEnd_ = held >= toEnd;
    // Up to the audio's end, the guard's bytes after it; or all the window holds.
    const int64_t length = reachesEnd_ ? toEnd + MAD_BUFFER_GUARD : held;
    mad_stream_buffer(&stream, data_, static_cast<unsigned long>(length));
}

bool MpegFeed::refill(mad_stream& stream) {
    if (stream.error != MAD_ERROR_BUFLEN || reachesEnd_ || !stream.next_frame) return false;
    const int64_t resume = offsetOf(stream.next_frame);
    if (resume <= base_) return false; // nothing was used: the window cannot help
    startAt(stream, resume);
    return true;
}
