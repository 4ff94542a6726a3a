#pragma once
// Helpers for the MPEG tests: the generated test files, a bare libmad
// decode of a whole file to compare against, and a source that can open a
// file without starting its loader.
#include <mad.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mpeg/MpegSource.h"

inline std::string mpegFile(const std::string& name) { return std::string(TUNEDECK_MPEG_DATA) + "/" + name; }

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

struct Decoded {
    std::vector<float> left, right;
    int channels = 0;
};

// Every frame libmad decodes from the whole file, without an equaliser.
// The buffer ends with libmad's guard of zeros, so the last frame decodes.
inline Decoded decodeWhole(std::vector<uint8_t> bytes) {
    const size_t size = bytes.size();
    bytes.resize(size + MAD_BUFFER_GUARD, 0);
    Decoded out;
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, bytes.data(), bytes.size());
    while (true) {
        if (mad_frame_decode(&frame, &stream) != 0) {
            if (MAD_RECOVERABLE(stream.error)) continue;
            break;
        }
        mad_synth_frame(&synth, &frame);
        out.channels = synth.pcm.channels;
        for (int i = 0; i < synth.pcm.length; ++i) {
            out.left.push_back(static_cast<float>(synth.pcm.samples[0][i]) * (1.0f / (1 << 28)));
            out.right.push_back(static_cast<float>(synth.pcm.samples[synth.pcm.channels > 1 ? 1 : 0][i]) *
                                (1.0f / (1 << 28)));
        }
    }
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return out;
}

class RecordingSourceOwner : public SourceOwner {
public:
    void setSize(int32_t frames, bool final) override {
        std::lock_guard<std::mutex> guard(mutex);
        sizes.emplace_back(frames, final);
        if (final) ++finals;
    }
    void loadProgress(int32_t frames) override {
        std::lock_guard<std::mutex> guard(mutex);
        progress.push_back(frames);
    }
    bool waitForFinal(int count = 1, int ms = 20000) {
        for (int i = 0; i < ms / 5 && finals < count; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return finals >= count;
    }
    std::mutex mutex;
    std::vector<std::pair<int32_t, bool>> sizes;
    std::vector<int32_t> progress;
    std::atomic<int> finals{0};
};

// Opens files without a loader, so tests decide the length themselves.
class QuietMpegSource : public MpegSource {
public:
    using MpegSource::MpegSource;
    bool openOnly(const std::string& path, int32_t frames) {
        std::snprintf(fileName, sizeof fileName, "%s", path.c_str());
        if (!openFile()) return false;
        if (frames > 0) length = frames; // else the opening's own estimate
        return true;
    }
    void setLength(int32_t frames) { length = frames; }
    // Builds the frame index (and counts the length) on this thread.
    void walk() {
        LoaderRun run(*this, loaderData());
        loadFunc(run);
    }
};
