// Reads of an MPEG track: a window of decoded, equalised samples around the
// play position, filled on demand, slid forward as playback passes its
// middle, and replaced by a proportional byte seek for jumps outside it.
#include <algorithm>
#include <cstring>

#include "mpeg/MpegSource.h"
#include "plugin/DebugLog.h"

namespace {
constexpr float fixedToFloat = 1.0f / (1 << 28);
constexpr int32_t maxFrameSamples = 1152;
constexpr int32_t seekLead = 27810;      // frames before the position where decoding restarts
constexpr int32_t seekDiscards = 5;      // frames decoded and dropped to warm the decoder up
constexpr int32_t windowLead = 22050;    // frames kept before the position after a seek
constexpr int64_t endMargin = 2567;      // bytes before the end where reads stop decoding
constexpr int32_t splitAt = 32768;       // requests this long are split ...
constexpr int32_t largestPiece = 32765;  // ... into pieces of at most this
} // namespace

bool MpegSource::getSound(float* const* out, int32_t count, int32_t position, float ratio, bool replace, bool) {
    if (!out || !out[0] || !out[1] || count < 0) return false;
    if (count + 3 < splitAt) return readWindow(out, count, position, ratio, replace);
    writeLogf("Big getSound : HALF_BUF/2 : %d, length : %d \n", splitAt, count);
    bool result = false;
    for (int32_t done = 0; done < count;) {
        int32_t piece = std::min(count - done, largestPiece);
        float* part[2] = {out[0] + done, out[1] + done};
        // Each piece starts where the read position has got to at this ratio.
        auto start = static_cast<int32_t>(position + static_cast<double>(done) * ratio);
        result = readWindow(part, piece, start, ratio, replace);
        done += piece;
    }
    return result;
}

bool MpegSource::decodeIntoWindow() {
    while (mad_frame_decode(&frame, &stream) != 0)
        if (!MAD_RECOVERABLE(stream.error)) return false;

    if (eqEnabled) {
        const int slots = frame.header.layer == MAD_LAYER_I                  ? 12
                          : frame.header.layer == MAD_LAYER_III &&
                                  (frame.header.flags & MAD_FLAG_LSF_EXT) ? 18
                                                                          : 36;
        int32_t gains[subbands];
        for (int b = 0; b < subbands; ++b) gains[b] = subbandGains[b];
        const int frameChannels = MAD_NCHANNELS(&frame.header);
        for (int c = 0; c < frameChannels; ++c)
            for (int s = 0; s < slots; ++s)
                for (int b = 0; b < subbands; ++b)
                    frame.sbsample[c][s][b] =
                        static_cast<mad_fixed_t>((static_cast<int64_t>(frame.sbsample[c][s][b]) * gains[b]) >> 28);
    }
    mad_synth_frame(&synth, &frame);
    const int32_t n = std::min<int32_t>(synth.pcm.length, windowFrames - windowFill);
    // Both rows are written for every frame (a mono frame twice), so the
    // window never holds a row that the decoder did not fill.
    for (int c = 0; c < 2; ++c) {
        const mad_fixed_t* samples = synth.pcm.samples[c < synth.pcm.channels ? c : 0];
        float* row = window[c] + windowFill;
        for (int32_t i = 0; i < n; ++i) row[i] = static_cast<float>(samples[i]) * fixedToFloat;
    }
    channels = synth.pcm.channels;
    streamPos = stream.next_frame ? stream.next_frame - view : fileSize;
    windowFill += n;
    return true;
}

bool MpegSource::readWindow(float* const* out, int32_t count, int32_t position, float ratio, bool replace) {
    platform::ScopedLock guard(*lock);
    if (stopFlag || count <= 0) return false;
    if (!isOpen || length <= 0) {
        if (replace) {
            std::fill_n(out[0], count, 0.0f);
            std::fill_n(out[1], count, 0.0f);
        }
        return false;
    }
    if (!(ratio >= 0.0f)) ratio = 0.0f;

    bool atEnd = false;
    const int64_t reach = static_cast<int64_t>(position) + count + maxFrameSamples;
    if (position >= windowStart && reach < static_cast<int64_t>(windowStart) + windowFrames) {
        mad_stream_buffer(&stream, view + streamPos, static_cast<unsigned long>(fileSize - streamPos));
    } else {
        if (position < length) {
            int32_t target = std::max(position - seekLead, 0);
            if (target == 0) {
                // Near the start the window is decoded from the file's first
                // frame, so it holds exactly the frames it is labelled with.
                restartDecoder(0, false);
                windowStart = 0;
            } else {
                restartDecoder(static_cast<int64_t>(static_cast<double>(fileSize) * target / length), true);
                for (int attempt = 0; attempt < seekDiscards; ++attempt)
                    if (mad_frame_decode(&frame, &stream) != 0 && !MAD_RECOVERABLE(stream.error)) {
                        atEnd = true;
                        break;
                    }
                streamPos = stream.next_frame ? stream.next_frame - view : fileSize;
                windowStart = position - windowLead;
            }
        } else {
            mad_stream_buffer(&stream, view + streamPos, static_cast<unsigned long>(fileSize - streamPos));
            atEnd = true;
            windowStart = position - windowLead;
        }
        windowFill = 0;
    }

    if (!atEnd) {
        const float need = static_cast<float>(position) + static_cast<float>(count) * ratio + 3.0f;
        while (static_cast<float>(windowStart + windowFill) < need) {
            if (position >= windowStart + halfWindow && position < windowStart + windowFrames &&
                windowFill > halfWindow) {
                for (int c = 0; c < 2; ++c)
                    std::memmove(window[c], window[c] + halfWindow, sizeof(float) * (windowFill - halfWindow));
                windowStart += halfWindow;
                windowFill -= halfWindow;
            }
            // A request whose reach does not fit the window gets what fits;
            // the rest of it reads as silence below.
            if (windowFill + maxFrameSamples > windowFrames) break;
            if (streamPos >= fileSize - endMargin) {
                atEnd = true;
                break;
            }
            if (!decodeIntoWindow()) {
                atEnd = true;
                break;
            }
            if (streamPos >= fileSize) {
                atEnd = true;
                break;
            }
        }
    }

    int32_t readable = windowFill;
    if (atEnd) {
        length = std::max(windowStart + windowFill, 0);
        if (player) player->setSizeFromRead(length);
        for (int c = 0; c < 2; ++c) std::fill(window[c] + windowFill, window[c] + windowFrames, 0.0f);
        readable = windowFrames;
    }
    output(out, count, position, ratio, replace, readable);
    if (atEnd) {
        restartDecoder(0, false);
        windowStart = 0;
        windowFill = 0;
    }
    return true;
}

// Copies or interpolates count values from the window; frames at or past
// readable, and before the window's start, read as silence.
void MpegSource::output(float* const* out, int32_t count, int32_t position, float ratio, bool replace,
                        int32_t readable) const {
    const double x0 = static_cast<double>(position) - windowStart;
    for (int o = 0; o < 2; ++o) {
        const float* w = window[o];
        float* target = out[o];
        auto at = [&](int64_t k) { return k >= 0 && k < readable ? w[k] : 0.0f; };
        if (replace && ratio == 1.0f && x0 >= 0) {
            auto first = static_cast<int64_t>(x0);
            int64_t copied = std::clamp<int64_t>(readable - first, 0, count);
            std::memcpy(target, w + first, sizeof(float) * copied);
            std::fill(target + copied, target + count, 0.0f);
            continue;
        }
        for (int32_t j = 0; j < count; ++j) {
            double x = x0 + static_cast<double>(j) * ratio;
            auto k = static_cast<int64_t>(x);
            float a = at(k), b = at(k + 1);
            auto fraction = static_cast<float>(x - static_cast<double>(k));
            if (replace)
                target[j] = a + (b - a) * fraction;
            else
                target[j] = ((b - a) * fraction + target[j]) + a;
        }
    }
}
