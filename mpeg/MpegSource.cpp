// Opening and closing MPEG files, the signature, and the loader's walk.
#include "mpeg/MpegSource.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <thread>

#include "platform/Clock.h"
#include "plugin/DebugLog.h"

namespace {
constexpr float fixedToFloat = 1.0f / (1 << 28);
constexpr int32_t oneMinuteAt44100 = 2646000;

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
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
    auto opened = readFileWithDefaults(128000);
    if (!opened) return false;
    platform::ScopedLock guard(*lock);
    mapping = std::move(opened);
    view = mapping->data();
    fileSize = static_cast<int64_t>(mapping->size());
    restartDecoder(0, false);
    windowStart = 0;
    windowFill = 0;
    isOpen = true;
    return true;
}

void MpegSource::closeFile() {
    std::shared_ptr<const platform::FileBytes> released;
    {
        platform::ScopedLock guard(*lock);
        if (!isOpen) return;
        isOpen = false;
        released = std::move(mapping);
        view = nullptr;
        fileSize = 0;
        streamPos = 0;
        windowStart = 0;
        windowFill = 0;
        mad_stream_buffer(&stream, nullptr, 0);
    }
    // The view is unmapped here, outside the lock, once no read can use it
    // (and later still if a loader holds it).
}

void MpegSource::restartDecoder(int64_t from, bool search) {
    mad_frame_mute(&frame);
    mad_synth_mute(&synth);
    stream.md_len = 0;
    streamPos = std::clamp<int64_t>(from, 0, fileSize);
    mad_stream_buffer(&stream, view + streamPos, static_cast<unsigned long>(fileSize - streamPos));
    stream.error = search ? MAD_ERROR_BUFLEN : MAD_ERROR_NONE;
    // mad_stream_buffer assumes a frame starts at the buffer; after a jump
    // the decoder has to search for the next header instead.
    if (search) stream.sync = 0;
}

bool MpegSource::getSignature(int32_t out[4]) {
    platform::ScopedLock guard(*lock);
    if (!isOpen || fileSize < 16) return false;
    for (int i = 0; i < 4; ++i) {
        int64_t index = std::min<int64_t>(fileSize / 4 - i - 1, 17000 + 1000 * i);
        out[i] = static_cast<int32_t>(le32(view + 4 * index));
    }
    return true;
}

void MpegSource::loadFunc(const LoaderRun& run) {
    const auto& file = run.data<platform::FileBytes>();
    const uint8_t* data = file.data();
    const auto size = static_cast<unsigned long>(file.size());

    writeLog("LoadFunc start\n");
    mad_stream own;
    mad_frame decoded;
    mad_synth pcm;
    mad_header header;
    mad_stream_init(&own);
    mad_frame_init(&decoded);
    mad_synth_init(&pcm);
    writeLog("Loadfunc stream start\n");
    mad_stream_buffer(&own, data, size);
    mad_header_init(&header);
    if (!run.stopped()) length = 0;

    float sum = 0.0f;
    int32_t headers = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (mad_header_decode(&header, &own) == 0) {
            sum += static_cast<float>(header.bitrate);
            ++headers;
        } else if (!MAD_RECOVERABLE(own.error)) {
            break;
        }
    }
    float average = headers > 0 ? sum / static_cast<float>(headers) : 128000.0f;
    writeLog("Loadfunc Headers read\n");
    mad_stream_buffer(&own, data, size);
    int32_t rate = static_cast<int32_t>(header.samplerate);
    int64_t estimate = average > 0 ? static_cast<int64_t>(static_cast<double>(size) * 8.0 * rate / average)
                                   : oneMinuteAt44100;
    estimate = std::clamp<int64_t>(estimate, 0, std::numeric_limits<int32_t>::max());
    if (!run.stopped()) {
        bitRate = static_cast<int32_t>(average);
        sampleRate = rate;
    }

    writeLog("LoadFunc start bitmap\n");
    if (player && !run.stopped()) {
        player->setSize(static_cast<int32_t>(estimate), false);
        drawOverview(0, 0, static_cast<int32_t>(estimate), nullptr, nullptr);
        player->loadProgress(0);
    }

    // Priming: the first decodable frame. A file with none stops every read
    // of it until the next file is set.
    int32_t pending = 0;
    int32_t pendingChannels = 1;
    while (!run.stopped()) {
        if (mad_frame_decode(&decoded, &own) == 0) break;
        if (!MAD_RECOVERABLE(own.error)) {
            stopFlag = true;
            break;
        }
    }
    if (!run.stopped()) {
        length = static_cast<int32_t>(estimate);
        mad_synth_frame(&pcm, &decoded);
        channels = pcm.pcm.channels;
        pending = pcm.pcm.length;
        pendingChannels = pcm.pcm.channels;
    }

    writeLog("LoadFunc start read\n");
    int64_t total = 0;
    bool done = false;
    int32_t blocks = 0;
    float loadBuffer[2][1152];
    while (!run.stopped() && !done && getBitmap()) {
        if (pending > 0) {
            int32_t n = std::min(pending, 1152);
            for (int c = 0; c < 2; ++c) {
                const mad_fixed_t* samples = pcm.pcm.samples[c < pendingChannels ? c : 0];
                for (int32_t i = 0; i < n; ++i) loadBuffer[c][i] = static_cast<float>(samples[i]) * fixedToFloat;
            }
            std::this_thread::yield();
            if (run.stopped()) break;
            int64_t end = total + n;
            if (player) {
                auto clampedEnd = static_cast<int32_t>(std::min<int64_t>(end, std::numeric_limits<int32_t>::max()));
                drawOverview(static_cast<int32_t>(total), clampedEnd,
                             static_cast<int32_t>(std::max<int64_t>(estimate, clampedEnd)), loadBuffer[0],
                             loadBuffer[1]);
                if (++blocks % 32 == 0) player->loadProgress(clampedEnd);
            }
            std::this_thread::yield();
            if (run.stopped()) break;
            total = end;
            pending = 0;
        }
        if (mad_frame_decode(&decoded, &own) == 0) {
            mad_synth_frame(&pcm, &decoded);
            pending = pcm.pcm.length;
            pendingChannels = pcm.pcm.channels;
        } else if (!MAD_RECOVERABLE(own.error)) {
            done = true;
        }
        platform::sleepMs(1);
    }
    writeLog("LoadFunc finish read\n");
    if (done && !run.stopped()) {
        auto frames = static_cast<int32_t>(std::min<int64_t>(total, std::numeric_limits<int32_t>::max()));
        length = frames;
        if (player) {
            player->setSize(frames, true);
            player->loadProgress(frames);
        }
    }
    mad_synth_finish(&pcm);
    mad_frame_finish(&decoded);
    mad_stream_finish(&own);
    writeLog("LoadFunc end\n");
}
