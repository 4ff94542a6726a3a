#include "mpeg/MpegFrameScan.h"

#include <mad.h>

#include <algorithm>

#include "mpeg/MpegFeed.h"
#include "sources/TrackFile.h"

namespace {

// The last frames the scan passed, for the Layer III reservoir: where each
// begins and how much main data it carries.
class RecentFrames {
public:
    static constexpr int kept = 64;
    void push(int64_t offset, int32_t capacity, int32_t dataBegin) {
        frames[count % kept] = {offset, capacity, dataBegin};
        ++count;
    }
    // Where decoding must start for the newest pushed frame to come out
    // exact. The synthesis filter remembers the frame before it (two frames
    // of Layer I, which are shorter than the filter's memory). In Layer III
    // each granule's second half overlaps into the next: an MPEG-1 frame's
    // two granules make the frame before self-contained, but the single
    // granule of a low-sampling-rate frame needs the frame before that one
    // too. A Layer III frame decodes whole only with its main data, which
    // begins main_data_begin bytes back in earlier frames.
    int64_t restartFor(int layer, bool lowSamplingRate) const {
        const int64_t newest = count - 1;
        int64_t first = newest - 1;
        if (layer == MAD_LAYER_I || (layer == MAD_LAYER_III && lowSamplingRate)) first = newest - 2;
        if (layer == MAD_LAYER_III && first >= 0) {
            int64_t back = at(first).dataBegin;
            while (back > 0 && first > 0 && first > count - kept) {
                --first;
                back -= at(first).capacity;
            }
        }
        first = std::max<int64_t>({first, 0, count - kept});
        return at(first).offset;
    }

private:
    struct Frame {
        int64_t offset;
        int32_t capacity;
        int32_t dataBegin;
    };
    const Frame& at(int64_t i) const { return frames[i % kept]; }
    Frame frames[kept] = {};
    int64_t count = 0;
};

} // namespace

bool scanMpegFrames(const std::shared_ptr<TrackFile>& file, const MpegStreamLayout& layout, MpegFrameIndex& index,
                    double& bitRate) {
    if (!file || !layout.found() || layout.firstFrame >= layout.audioEnd) return false;
    MpegFeed feed(file, layout.audioEnd);
    FileWindow check(file, frameRunBytes); // for a frame met after bytes that are not
    mad_stream stream;
    mad_header header;
    mad_stream_init(&stream);
    mad_header_init(&header);
    feed.startAt(stream, layout.firstFrame);
    const bool lowSamplingRate = (layout.flags & MAD_FLAG_LSF_EXT) != 0;
    RecentFrames recent;
    int64_t total = 0;
    double bitRates = 0.0;
    int64_t expected = layout.firstFrame; // where the next frame should begin
    bool full = false;
    while (true) {
        if (mad_header_decode(&header, &stream) != 0) {
            if (MAD_RECOVERABLE(stream.error) || feed.refill(stream)) continue;
            break; // the audio is used up
        }
        const int64_t offset = feed.offsetOf(stream.this_frame);
        const int64_t frameBytes = stream.next_frame - stream.this_frame;
        // Whatever does not continue the stream ends it: tags and pictures
        // after the audio, another stream, bytes that only look like a frame.
        if (offset >= layout.audioEnd || !layout.agrees(header)) break;
        mad_header first;
        if (offset != expected) {
            int64_t held = 0;
            const uint8_t* at = check.at(offset, frameRunBytes, &held);
            if (!frameRunStartsAt(at, layout.audioEnd - offset, held, first)) break;
        }
        expected = offset + frameBytes;
        recent.push(offset, mainDataCapacity(frameBytes, header), mainDataBegin(stream.this_frame, frameBytes, header));
        if (!index.append({offset, recent.restartFor(layout.layer, lowSamplingRate), total})) {
            full = true;
            break;
        }
        total += 32 * MAD_NSBSAMPLES(&header);
        bitRates += header.bitrate;
    }
    mad_header_finish(&header);
    mad_stream_finish(&stream);
    if (full || total == 0 || file->isAbandoned()) return false;
    index.finish(total);
    bitRate = bitRates / index.size();
    return true;
}
