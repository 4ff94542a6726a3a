#include "flac/FlacSource.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "platform/Clock.h"
#include "log/DebugLog.h"

namespace {

constexpr int32_t reverseLead = 16384;     // frames decoded before the position when playing backwards
constexpr int32_t skipDecodeFrames = 65536; // a jump further ahead than this seeks instead of decoding through
constexpr int32_t framesBetweenPauses = 16; // the loader sleeps a millisecond this often
constexpr double assumedRatio = 0.6;        // of compressed to raw bytes, while the length is unknown

FlacSource::Reader& readerOf(void* data) { return *static_cast<FlacSource::Reader*>(data); }

FLAC__StreamDecoderReadStatus readBytes(const FLAC__StreamDecoder*, FLAC__byte buffer[], size_t* bytes, void* data) {
    FlacSource::Reader& r = readerOf(data);
    const uint64_t want = std::min<uint64_t>(*bytes, r.size - std::min(r.at, r.size));
    const int64_t n = want > 0 ? r.file->read(r.at, buffer, static_cast<int64_t>(want)) : 0;
    *bytes = static_cast<size_t>(std::max<int64_t>(n, 0));
    // A file abandoned (the track closes) stops the decoder at once; one
    // shortened meanwhile ends where it ends.
    if (r.file->isAbandoned()) return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
    if (n <= 0) return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    r.at += static_cast<uint64_t>(n);
    return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderSeekStatus seekBytes(const FLAC__StreamDecoder*, FLAC__uint64 offset, void* data) {
    FlacSource::Reader& r = readerOf(data);
    if (offset > r.size) return FLAC__STREAM_DECODER_SEEK_STATUS_ERROR;
    r.at = offset;
    return FLAC__STREAM_DECODER_SEEK_STATUS_OK;
}

FLAC__StreamDecoderTellStatus tellBytes(const FLAC__StreamDecoder*, FLAC__uint64* offset, void* data) {
    *offset = readerOf(data).at;
    return FLAC__STREAM_DECODER_TELL_STATUS_OK;
}

FLAC__StreamDecoderLengthStatus lengthOfBytes(const FLAC__StreamDecoder*, FLAC__uint64* length, void* data) {
    *length = readerOf(data).size;
    return FLAC__STREAM_DECODER_LENGTH_STATUS_OK;
}

FLAC__bool atEnd(const FLAC__StreamDecoder*, void* data) {
    FlacSource::Reader& r = readerOf(data);
    return r.at >= r.size;
}

FLAC__StreamDecoderWriteStatus writeFrame(const FLAC__StreamDecoder*, const FLAC__Frame* frame,
                                          const FLAC__int32* const buffer[], void* data) {
    FlacSource::Reader& r = readerOf(data);
    const FLAC__FrameHeader& h = frame->header;
    const int64_t first = h.number_type == FLAC__FRAME_NUMBER_TYPE_SAMPLE_NUMBER
                              ? static_cast<int64_t>(h.number.sample_number)
                              : static_cast<int64_t>(h.number.frame_number) * h.blocksize;
    if (r.deliver)
        r.deliver(r.target, first, static_cast<int32_t>(h.blocksize), buffer, static_cast<int>(h.channels),
                  static_cast<int>(h.bits_per_sample));
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void takeMetadata(const FLAC__StreamDecoder*, const FLAC__StreamMetadata* metadata, void* data) {
    FlacSource::Reader& r = readerOf(data);
    if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO) return;
    r.info = metadata->data.stream_info;
    r.hasInfo = true;
}

// Damaged frames are skipped by libFLAC itself; the stream plays on after them.
void noteError(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus, void*) {}

float scaleFor(int bits) { return bits > 0 && bits <= 32 ? 1.0f / static_cast<float>(1u << (bits - 1)) : 0.0f; }

} // namespace

bool FlacSource::Reader::open(std::shared_ptr<TrackFile> from) {
    close();
    file = std::move(from);
    if (!file) return false;
    size = file->size();
    at = 0;
    hasInfo = false;
    decoder = FLAC__stream_decoder_new();
    if (!decoder) return false;
    FLAC__stream_decoder_set_md5_checking(decoder, false);
    if (FLAC__stream_decoder_init_stream(decoder, readBytes, seekBytes, tellBytes, lengthOfBytes, atEnd, writeFrame,
                                         takeMetadata, noteError, this) != FLAC__STREAM_DECODER_INIT_STATUS_OK ||
        !FLAC__stream_decoder_process_until_end_of_metadata(decoder) || !hasInfo || info.channels < 1 ||
        info.sample_rate == 0 || info.bits_per_sample < 4 || info.bits_per_sample > 32) {
        close();
        return false;
    }
    return true;
}

void FlacSource::Reader::close() {
    if (decoder) {
        FLAC__stream_decoder_finish(decoder);
        FLAC__stream_decoder_delete(decoder);
    }
    decoder = nullptr;
}

FlacSource::FlacSource(SourceOwner* owner) {
    init(owner);
    bitRate = 0;
}

FlacSource::~FlacSource() {
    abandonReads();
    stopLoader();
    closeFile();
}

bool FlacSource::acceptsFile(const char* path) { return hasExtension(path, ".flac"); }

bool FlacSource::openFile() {
    writeLog("openfile start (flac)\n");
    if (!acceptsFile(fileName)) return false;
    closeFile();
    auto opened = readFileWithDefaults(0);
    if (!opened) return false;
    auto fresh = std::make_unique<Reader>();
    if (!fresh->open(opened)) return false;
    // The first frame is decoded here, on the opening thread (into nothing):
    // the decoder sizes its buffers for it rather than on the audio thread.
    FLAC__stream_decoder_process_single(fresh->decoder);
    fresh->deliver = intoWindow;
    fresh->target = this;
    const FLAC__StreamMetadata_StreamInfo info = fresh->info;
    const double frames = info.total_samples > 0
                              ? static_cast<double>(info.total_samples)
                              : opened->size() / assumedRatio / (info.bits_per_sample / 8.0 * info.channels);

    platform::ScopedLock guard(*lock);
    if (reader) reader->close();
    reader = std::move(fresh);
    file = std::move(opened);
    channels = static_cast<int32_t>(std::min(info.channels, 2u));
    sampleRate = static_cast<int32_t>(info.sample_rate);
    bitRate = static_cast<int32_t>(std::min<double>(static_cast<double>(file->size()) * 8.0 * info.sample_rate /
                                                        std::max(frames, 1.0),
                                                    2147483647.0));
    length = static_cast<int32_t>(std::clamp(frames, 1.0, 2147483647.0));
    exactFromHeader = info.total_samples > 0 && info.total_samples < 2147483647u ? static_cast<int32_t>(info.total_samples) : 0;
    window.start = 0;
    window.fill = 0;
    exhausted = true; // the first read seeks
    isOpen = true;
    return true;
}

void FlacSource::closeFile() {
    // A read stalled on a share returns now, so the lock is soon free.
    abandonReads();
    std::shared_ptr<TrackFile> released;
    {
        platform::ScopedLock guard(*lock);
        if (!isOpen) return;
        isOpen = false;
        if (reader) reader->close();
        released = std::move(file);
        window.start = 0;
        window.fill = 0;
    }
}

bool FlacSource::getSignature(int32_t out[4]) {
    platform::ScopedLock guard(*lock);
    if (!isOpen || !file) return false;
    return sampleSignature(*file, 100, out);
}

// A block's channels as the deck's two, full scale 1.
void FlacSource::mixToStereo(const FLAC__int32* const channels[], int channelCount, float scale, int32_t frames,
                             float* left, float* right) {
    const StereoMix mix = stereoMixFor(channelCount);
    if (mix.plain()) {
        const FLAC__int32* l = channels[0];
        const FLAC__int32* r = channels[std::min(1, channelCount - 1)];
        for (int32_t i = 0; i < frames; ++i) {
            left[i] = static_cast<float>(l[i]) * scale;
            right[i] = static_cast<float>(r[i]) * scale;
        }
        return;
    }
    std::fill_n(left, frames, 0.0f);
    std::fill_n(right, frames, 0.0f);
    for (int c = 0; c < mix.channels; ++c) {
        const float toLeft = mix.left[c] * scale, toRight = mix.right[c] * scale;
        if (toLeft == 0.0f && toRight == 0.0f) continue;
        for (int32_t i = 0; i < frames; ++i) {
            const auto v = static_cast<float>(channels[c][i]);
            left[i] += v * toLeft;
            right[i] += v * toRight;
        }
    }
}

void FlacSource::intoWindow(void* target, int64_t first, int32_t frames, const FLAC__int32* const channels[],
                            int channelCount, int bits) {
    auto& self = *static_cast<FlacSource*>(target);
    SampleWindow& window = self.window;
    if (window.fill == 0 || first != window.end()) {
        // The first frame after a seek, or a stream that skipped damaged
        // frames: the window starts again at this frame.
        window.start = static_cast<int32_t>(std::min<int64_t>(first, std::numeric_limits<int32_t>::max()));
        window.fill = 0;
    }
    const int32_t n = std::min(frames, SampleWindow::frames - window.fill);
    mixToStereo(channels, channelCount, scaleFor(bits), n, window.rows[0] + window.fill, window.rows[1] + window.fill);
    window.fill += n;
}

bool FlacSource::getSound(float* const* out, int32_t count, double position, double ratio, bool replace, bool) {
    if (!out || !out[0] || !out[1] || count < 0) return false;
    if (!std::isfinite(position) || !std::isfinite(ratio)) position = 0.0, ratio = 0.0;
    // Pieces whose reach fits half the window.
    const auto fitting =
        static_cast<int32_t>((halfWindow - 2 * ResamplingKernel::widest) / std::max(std::fabs(ratio), 1.0));
    const int32_t largest = std::max(std::min(fitting, 16384), 1);
    bool result = true;
    for (int32_t done = 0; done < count;) {
        const int32_t piece = std::min(count - done, largest);
        float* part[2] = {out[0] + done, out[1] + done};
        result = readWindow(part, piece, position + done * ratio, ratio, replace);
        done += piece;
    }
    return result;
}

bool FlacSource::readWindow(float* const* out, int32_t count, double position, double ratio, bool replace) {
    platform::ScopedLock guard(*lock);
    if (stopFlag || count <= 0) return false;
    if (!isOpen || !reader || !reader->decoder || length <= 0) {
        if (replace) {
            std::fill_n(out[0], count, 0.0f);
            std::fill_n(out[1], count, 0.0f);
        }
        return false;
    }
    int32_t from = 0, highest = 0;
    SampleWindow::reach(position, count, ratio, from, highest);
    const int32_t maxBlock = static_cast<int32_t>(std::max(reader->info.max_blocksize, 4608u));

    const bool fits = static_cast<int64_t>(highest) + maxBlock < static_cast<int64_t>(window.start) + SampleWindow::frames;
    if (from < window.start || !fits || from > window.end() + skipDecodeFrames || (exhausted && window.fill == 0)) {
        const int32_t target = ratio < 0 ? std::max(from - reverseLead, 0) : from;
        window.fill = 0;
        window.start = target;
        exhausted = false;
        const bool known = reader->info.total_samples > 0;
        if ((known && static_cast<uint64_t>(target) >= reader->info.total_samples) ||
            !FLAC__stream_decoder_seek_absolute(reader->decoder, static_cast<FLAC__uint64>(target))) {
            // Past the end, or a seek into damage: silence here, and the
            // decoder is made ready for the next seek.
            if (FLAC__stream_decoder_get_state(reader->decoder) == FLAC__STREAM_DECODER_SEEK_ERROR)
                FLAC__stream_decoder_flush(reader->decoder);
            exhausted = true;
            window.start = target;
            window.fill = 0;
        }
    }
    while (!exhausted && window.end() <= highest) {
        window.slideFor(from);
        if (window.fill + maxBlock > SampleWindow::frames) break;
        const int32_t before = window.fill;
        const int32_t beforeStart = window.start;
        if (!FLAC__stream_decoder_process_single(reader->decoder) ||
            FLAC__stream_decoder_get_state(reader->decoder) == FLAC__STREAM_DECODER_END_OF_STREAM ||
            (window.fill == before && window.start == beforeStart))
            exhausted = true;
    }
    resampler.read(out, count, position, ratio, sampleRate, replace,
                   [&](int64_t first, int32_t n, float* left, float* right) { window.copy(first, n, left, right); });
    return true;
}

namespace {
// What the loader's decoder hands over: the overview is drawn from it and
// the samples are counted.
struct LoaderTarget {
    FlacSource* source = nullptr;
    const LoaderRun* run = nullptr;
    SourceOwner* owner = nullptr;
    int64_t total = 0;
    int32_t estimate = 0;
    int32_t frames = 0;
    bool draw = false;
    std::vector<float> left, right;
};
} // namespace

void FlacSource::loadFunc(const LoaderRun& run) {
    auto walked = run.pointer<TrackFile>();
    LoaderTarget target;
    target.source = this;
    target.run = &run;
    target.owner = player;
    target.estimate = length;
    Reader walker;
    walker.target = &target;
    walker.deliver = [](void* to, int64_t, int32_t frames, const FLAC__int32* const channels[], int channelCount,
                        int bits) {
        auto& t = *static_cast<LoaderTarget*>(to);
        const bool drawing = t.source->getBitmap() != nullptr;
        if (t.run->wantsSound(drawing)) {
            t.left.resize(static_cast<size_t>(frames));
            t.right.resize(static_cast<size_t>(frames));
            mixToStereo(channels, channelCount, scaleFor(bits), frames, t.left.data(), t.right.data());
            t.source->noteSamples(*t.run, t.left.data(), t.right.data(), frames);
        }
        if (drawing) {
            const int64_t end = std::min<int64_t>(t.total + frames, std::numeric_limits<int32_t>::max());
            t.source->drawOverview(static_cast<int32_t>(t.total), static_cast<int32_t>(end),
                                   static_cast<int32_t>(std::max<int64_t>(t.estimate, end)), t.left.data(),
                                   t.right.data());
        }
        t.total += frames;
        if (++t.frames % 32 == 0 && t.owner)
            t.owner->loadProgress(static_cast<int32_t>(std::min<int64_t>(t.total, std::numeric_limits<int32_t>::max())));
    };
    if (player && !run.stopped()) {
        player->setSize(target.estimate, false);
        drawOverview(0, 0, target.estimate, nullptr, nullptr);
        player->loadProgress(0);
    }
    if (!walker.open(std::move(walked))) return;
    bool ended = false;
    for (int32_t step = 1; !run.stopped(); ++step) {
        if (!FLAC__stream_decoder_process_single(walker.decoder) ||
            FLAC__stream_decoder_get_state(walker.decoder) == FLAC__STREAM_DECODER_END_OF_STREAM) {
            ended = true;
            break;
        }
        if (step % framesBetweenPauses == 0) loaderPause();
    }
    walker.close();
    if (ended && !run.stopped()) noteEnd(run);
    if (ended && !run.stopped() && target.total > 0) {
        // What decodes is the track: a damaged or cut file plays up to the damage.
        const auto exact = static_cast<int32_t>(std::min<int64_t>(target.total, std::numeric_limits<int32_t>::max()));
        length = exact;
        if (player) {
            player->setSize(exact, true);
            player->loadProgress(exact);
        }
    }
}
