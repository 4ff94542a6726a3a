// Opening and closing MPEG files, the signature, and the loader's walk,
// which counts the exact length, draws the overview and builds the index.
#include "mpeg/MpegSource.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

#include "platform/Clock.h"
#include "log/DebugLog.h"

namespace {
constexpr float fixedToFloat = 1.0f / (1 << 28);
constexpr int32_t oneMinuteAt44100 = 2646000;
constexpr int32_t headersForBitRate = 1000;
constexpr int32_t framesBetweenPauses = 16; // the walk sleeps a millisecond this often


// The average bit rate of the first frames: the length until the walk has counted it.
double averageBitRate(const uint8_t* bytes, const MpegStreamLayout& layout) {
    mad_stream stream;
    mad_header header;
    mad_stream_init(&stream);
    mad_header_init(&header);
    mad_stream_buffer(&stream, bytes + layout.firstFrame,
                      static_cast<unsigned long>(layout.audioEnd - layout.firstFrame + MAD_BUFFER_GUARD));
    double sum = 0;
    int32_t headers = 0;
    for (int attempt = 0; attempt < headersForBitRate && headers < headersForBitRate; ++attempt) {
        if (mad_header_decode(&header, &stream) == 0) {
            if (stream.this_frame >= bytes + layout.audioEnd) break;
            sum += header.bitrate;
            ++headers;
        } else if (!MAD_RECOVERABLE(stream.error)) {
            break;
        }
    }
    mad_header_finish(&header);
    mad_stream_finish(&stream);
    return headers > 0 && sum > 0 ? sum / headers : layout.bitRate;
}

// Whether any of the stream's first frames decodes: a file of headers
// without decodable audio is refused at once rather than played as silence.
bool firstFramesDecode(const uint8_t* bytes, const MpegStreamLayout& layout) {
    mad_stream stream;
    mad_frame frame;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_stream_buffer(&stream, bytes + layout.firstFrame,
                      static_cast<unsigned long>(layout.audioEnd - layout.firstFrame + MAD_BUFFER_GUARD));
    bool decoded = false;
    for (int attempt = 0; attempt < 2 * agreeingFrames && !decoded; ++attempt) {
        if (mad_frame_decode(&frame, &stream) == 0)
            decoded = stream.this_frame < bytes + layout.audioEnd;
        else if (!MAD_RECOVERABLE(stream.error))
            break;
    }
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return decoded;
}

// The last frames the walk passed, for the Layer III reservoir: where each
// begins and how much main data it carries.
class RecentFrames {
public:
    static constexpr int kept = 64;
    void push(int64_t offset, int32_t capacity, int32_t dataBegin) {
        Frame& f = frames[count % kept];
        f = {offset, capacity, dataBegin};
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
        if (layer == MAD_LAYER_I) {
            first = newest - 2;
        } else if (layer == MAD_LAYER_III && lowSamplingRate) {
            first = newest - 2;
        }
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

MpegSource::MpegSource(SourceOwner* owner) {
    init(owner);
    bitRate = 128000;
    // The read decoder lives as long as the source. Layer III keeps its bit
    // reservoir and block overlap in buffers libmad would otherwise allocate
    // on the first decode, which happens on the audio thread.
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    stream.main_data = static_cast<unsigned char(*)[MAD_BUFFER_MDLEN]>(std::calloc(1, MAD_BUFFER_MDLEN));
    frame.overlap = static_cast<mad_fixed_t(*)[2][32][18]>(std::calloc(2 * 32 * 18, sizeof(mad_fixed_t)));
    stream.options = 0;
}

MpegSource::~MpegSource() {
    stopLoader();
    closeFile();
    mad_synth_finish(&synth);
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
}

bool MpegSource::openFile() {
    writeLog("openfile start (mp3)\n");
    if (!acceptsFile(fileName)) return false;
    closeFile();
    auto bytes = readFileWithDefaults(128000);
    if (!bytes) return false;
    auto opened = std::make_shared<OpenMpeg>();
    opened->layout = findMpegStream(bytes->data(), static_cast<int64_t>(bytes->size()));
    // A file in which no stream can be found is refused: it is never played as noise.
    if (!opened->layout.found() || !firstFramesDecode(bytes->data(), opened->layout)) return false;
    opened->bytes = std::move(bytes);
    const MpegStreamLayout& layout = opened->layout;
    const double rate = averageBitRate(opened->bytes->data(), layout);
    const double estimate = rate > 0 ? (layout.audioEnd - layout.firstFrame) * 8.0 * layout.sampleRate / rate
                                     : oneMinuteAt44100;

    platform::ScopedLock guard(*lock);
    file = std::move(opened);
    view = file->bytes->data();
    sampleRate = layout.sampleRate;
    channels = layout.channels;
    bitRate = static_cast<int32_t>(rate);
    length = static_cast<int32_t>(std::clamp(estimate, 1.0, 2147483647.0));
    restartDecoder(layout.firstFrame, false);
    window.start = 0;
    window.fill = 0;
    windowExact = true;
    exhausted = false;
    synthFrom = keepFrom = 0;
    discards = 0;
    pendingPhase = -1;
    anchorOffset = -1;
    dataEnd = 0;
    isOpen = true;
    return true;
}

void MpegSource::closeFile() {
    std::shared_ptr<OpenMpeg> released;
    {
        platform::ScopedLock guard(*lock);
        if (!isOpen) return;
        isOpen = false;
        released = std::move(file);
        view = nullptr;
        streamPos = 0;
        window.start = 0;
        window.fill = 0;
        mad_stream_buffer(&stream, nullptr, 0);
    }
    // The bytes are released here, outside the lock, once no read can use
    // them (and later still if a loader holds them).
}

void MpegSource::restartDecoder(int64_t from, bool search) {
    mad_frame_mute(&frame);
    mad_synth_mute(&synth);
    stream.md_len = 0;
    const int64_t end = file ? file->layout.audioEnd : 0;
    streamPos = std::clamp<int64_t>(from, 0, end);
    // The buffer reaches MAD_BUFFER_GUARD bytes past the audio (the file's
    // next bytes, or the zeros after its end), so the last frame decodes.
    mad_stream_buffer(&stream, view + streamPos, static_cast<unsigned long>(end - streamPos + MAD_BUFFER_GUARD));
    stream.error = search ? MAD_ERROR_BUFLEN : MAD_ERROR_NONE;
    // mad_stream_buffer assumes a frame starts at the buffer; after a guess
    // the decoder has to search for the next header instead.
    if (search) stream.sync = 0;
}

bool MpegSource::getSignature(int32_t out[4]) {
    platform::ScopedLock guard(*lock);
    if (!isOpen || !file) return false;
    return sampleSignature(view, static_cast<int64_t>(file->bytes->size()), 1000, out);
}

void MpegSource::loadFunc(const LoaderRun& run) {
    const auto& opened = run.data<OpenMpeg>();
    const uint8_t* data = opened.bytes->data();
    const MpegStreamLayout& layout = opened.layout;
    MpegFrameIndex& index = opened.index;

    writeLog("LoadFunc start\n");
    mad_stream own;
    mad_frame decoded;
    mad_synth pcm;
    mad_stream_init(&own);
    mad_frame_init(&decoded);
    mad_synth_init(&pcm);
    mad_stream_buffer(&own, data + layout.firstFrame,
                      static_cast<unsigned long>(layout.audioEnd - layout.firstFrame + MAD_BUFFER_GUARD));
    const int32_t estimate = length;
    if (player && !run.stopped()) {
        player->setSize(estimate, false);
        drawOverview(0, 0, estimate, nullptr, nullptr);
        player->loadProgress(0);
    }

    writeLog("LoadFunc start read\n");
    RecentFrames recent;
    int64_t total = 0;
    int64_t expected = layout.firstFrame; // where the next frame should begin
    int32_t frames = 0;
    float loadBuffer[2][1152];
    bool ended = false;
    while (!run.stopped()) {
        if (mad_frame_decode(&decoded, &own) != 0) {
            if (MAD_RECOVERABLE(own.error)) continue;
            ended = true; // the buffer is used up
            break;
        }
        const int64_t offset = own.this_frame - data;
        const int64_t frameBytes = own.next_frame - own.this_frame;
        // Whatever does not continue the stream ends it: tags and pictures
        // after the audio, another stream, bytes that only look like a frame.
        if (offset >= layout.audioEnd || !layout.agrees(decoded.header)) {
            ended = true;
            break;
        }
        mad_header first;
        if (offset != expected && !frameRunStartsAt(data, offset, layout.audioEnd, first)) {
            ended = true;
            break;
        }
        expected = offset + frameBytes;
        recent.push(offset, mainDataCapacity(frameBytes, decoded.header),
                    mainDataBegin(own.this_frame, frameBytes, decoded.header));
        mad_synth_frame(&pcm, &decoded);
        const int32_t n = std::min<int32_t>(pcm.pcm.length, 1152);
        if (!index.append({offset, recent.restartFor(layout.layer, (layout.flags & MAD_FLAG_LSF_EXT) != 0), total})) {
            ended = true;
            break;
        }
        if (getBitmap() && n > 0) {
            for (int c = 0; c < 2; ++c) {
                const mad_fixed_t* samples = pcm.pcm.samples[c < pcm.pcm.channels ? c : 0];
                for (int32_t i = 0; i < n; ++i) loadBuffer[c][i] = static_cast<float>(samples[i]) * fixedToFloat;
            }
            const int64_t end = std::min<int64_t>(total + n, std::numeric_limits<int32_t>::max());
            drawOverview(static_cast<int32_t>(total), static_cast<int32_t>(end),
                         static_cast<int32_t>(std::max<int64_t>(estimate, end)), loadBuffer[0], loadBuffer[1]);
        }
        total += n;
        if (++frames % 32 == 0 && player)
            player->loadProgress(static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max())));
        if (frames % framesBetweenPauses == 0)
            loaderPause();
        else
            std::this_thread::yield();
    }
    writeLog("LoadFunc finish read\n");
    if (ended && total == 0) stopFlag = true; // nothing decodes: reads of this file stop
    if (ended && total > 0 && !run.stopped()) {
        const auto exact = static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
        index.finish(exact);
        length = exact;
        if (player) {
            player->setSize(exact, true);
            player->loadProgress(exact);
        }
    }
    mad_synth_finish(&pcm);
    mad_frame_finish(&decoded);
    mad_stream_finish(&own);
    writeLog("LoadFunc end\n");
}
