// Opening and closing MPEG files (with the frame scan that makes the index),
// the signature, and the loader's walk, which draws the overview.
#include "mpeg/MpegSource.h"

#include "mpeg/MpegFrameScan.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/Clock.h"
#include "log/DebugLog.h"

namespace {
constexpr float fixedToFloat = 1.0f / (1 << 28);
constexpr int32_t framesBetweenPauses = 16; // the walk sleeps a millisecond this often

// Whether any of the stream's first frames decodes: a file of headers
// without decodable audio is refused at once rather than played as silence.
bool firstFramesDecode(const std::shared_ptr<TrackFile>& file, const MpegStreamLayout& layout) {
    MpegFeed feed(file, layout.audioEnd);
    mad_stream stream;
    mad_frame frame;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    feed.startAt(stream, layout.firstFrame);
    bool decoded = false;
    for (int attempt = 0; attempt < 2 * agreeingFrames && !decoded; ++attempt) {
        if (mad_frame_decode(&frame, &stream) == 0)
            decoded = feed.offsetOf(stream.this_frame) < layout.audioEnd;
        else if (!MAD_RECOVERABLE(stream.error) && !feed.refill(stream))
            break;
    }
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return decoded;
}

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
    abandonReads();
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
    auto opening = readFileWithDefaults(128000);
    if (!opening) return false;
    auto opened = std::make_shared<OpenMpeg>();
    {
        FileWindow start(opening, MpegFeed::windowBytes);
        opened->layout = findMpegStream(start);
    }
    MpegStreamLayout& layout = opened->layout;
    // A file in which no stream can be found is refused: it is never played as noise.
    double rate = 0.0;
    if (!layout.found() || !firstFramesDecode(opening, layout) || !scanMpegFrames(opening, layout, opened->index, rate))
        return false;
    opened->file = std::move(opening);
    const int64_t decoded = opened->index.totalSamples();
    // The music is what the encoder declares it to be when that fits the
    // decode; otherwise the whole decode.
    if (layout.leadingSamples + layout.trailingSamples >= decoded) layout.leadingSamples = layout.trailingSamples = 0;
    const int64_t music = std::min<int64_t>(decoded - layout.leadingSamples - layout.trailingSamples, 2147483647);

    platform::ScopedLock guard(*lock);
    file = std::move(opened);
    feed = std::make_unique<MpegFeed>(file->file, layout.audioEnd);
    sampleRate = layout.sampleRate;
    channels = layout.channels;
    bitRate = static_cast<int32_t>(std::clamp(rate, 0.0, 2147483647.0));
    length = static_cast<int32_t>(music);
    restartDecoder(layout.firstFrame);
    window.start = 0;
    window.fill = 0;
    exhausted = false;
    synthFrom = keepFrom = 0;
    pendingPhase = -1;
    isOpen = true;
    return true;
}

void MpegSource::closeFile() {
    // A read stalled on a share returns now, so the lock is soon free.
    abandonReads();
    std::shared_ptr<OpenMpeg> released;
    {
        platform::ScopedLock guard(*lock);
        if (!isOpen) return;
        isOpen = false;
        released = std::move(file);
        feed.reset();
        streamPos = 0;
        window.start = 0;
        window.fill = 0;
        mad_stream_buffer(&stream, nullptr, 0);
    }
    // The file is released here, outside the lock, once no read can use
    // it (and later still if a loader holds it).
}

void MpegSource::restartDecoder(int64_t from) {
    mad_frame_mute(&frame);
    mad_synth_mute(&synth);
    stream.md_len = 0;
    const int64_t end = file ? file->layout.audioEnd : 0;
    streamPos = std::clamp<int64_t>(from, 0, end);
    if (feed) feed->startAt(stream, streamPos);
    stream.error = MAD_ERROR_NONE;
}

bool MpegSource::getSignature(int32_t out[4]) {
    platform::ScopedLock guard(*lock);
    if (!isOpen || !file) return false;
    return sampleSignature(*file->file, 1000, out);
}

void MpegSource::loadFunc(const LoaderRun& run) {
    const auto& opened = run.data<OpenMpeg>();
    const MpegStreamLayout& layout = opened.layout;
    const MpegFrameIndex& index = opened.index;
    const int64_t lastFrame = index.at(index.size() - 1).offset;
    const int32_t total = length;
    const int64_t lead = layout.leadingSamples;

    writeLog("LoadFunc start\n");
    if (player && !run.stopped()) {
        player->setSize(total, false);
        drawOverview(0, 0, total, nullptr, nullptr);
        player->loadProgress(0);
    }
    mad_stream own;
    mad_frame decoded;
    mad_synth pcm;
    mad_stream_init(&own);
    mad_frame_init(&decoded);
    mad_synth_init(&pcm);
    MpegFeed feed(opened.file, layout.audioEnd);
    feed.startAt(own, layout.firstFrame);
    float loadBuffer[2][1152];
    int64_t at = 0; // decoded samples so far
    int32_t frames = 0, decodedFrames = 0;
    bool ended = false;
    while (!run.stopped()) {
        if (mad_frame_decode(&decoded, &own) != 0) {
            if (MAD_RECOVERABLE(own.error) || feed.refill(own)) continue;
            ended = true;
            break;
        }
        const int64_t offset = feed.offsetOf(own.this_frame);
        const int32_t k = index.frameAt(offset, index.size());
        if (k < 0) {
            if (offset > lastFrame) {
                ended = true;
                break;
            }
            continue; // not a frame of the stream
        }
        mad_synth_frame(&pcm, &decoded);
        ++decodedFrames;
        at = index.at(k).firstSample;
        const int32_t n = std::min<int32_t>(pcm.pcm.length, 1152);
        // The overview shows the music: samples before and after it are not drawn.
        const int64_t from = std::max<int64_t>(at - lead, 0), to = std::min<int64_t>(at + n - lead, total);
        const bool drawing = getBitmap() != nullptr;
        if (run.wantsSound(drawing) && to > from) {
            const int32_t skip = static_cast<int32_t>(from - (at - lead));
            for (int c = 0; c < 2; ++c) {
                const mad_fixed_t* samples = pcm.pcm.samples[c < pcm.pcm.channels ? c : 0] + skip;
                for (int32_t i = 0; i < to - from; ++i) loadBuffer[c][i] = static_cast<float>(samples[i]) * fixedToFloat;
            }
            noteSamples(run, loadBuffer[0], loadBuffer[1], static_cast<int32_t>(to - from));
            if (drawing)
                drawOverview(static_cast<int32_t>(from), static_cast<int32_t>(to), total, loadBuffer[0], loadBuffer[1]);
        }
        if (++frames % 32 == 0 && player) player->loadProgress(static_cast<int32_t>(std::clamp<int64_t>(to, 0, total)));
        if (offset == lastFrame) {
            ended = true;
            break;
        }
        if (frames % framesBetweenPauses == 0)
            loaderPause();
        else
            platform::yieldThread();
    }
    writeLog("LoadFunc finish read\n");
    if (ended && decodedFrames == 0) stopFlag = true; // nothing decodes: reads of this file stop
    if (ended && !run.stopped()) noteEnd(run);
    if (ended && !run.stopped() && player) {
        player->setSize(total, true);
        player->loadProgress(total);
    }
    mad_synth_finish(&pcm);
    mad_frame_finish(&decoded);
    mad_stream_finish(&own);
    writeLog("LoadFunc end\n");
}
