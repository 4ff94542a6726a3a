#include "mpeg/MpegStreamLayout.h"

#include <algorithm>
#include <cstring>

#include "sources/FileWindow.h"

namespace {

constexpr int64_t searchLimit = 8 * 1024 * 1024; // bytes searched for the stream's start
constexpr int versionFlags = MAD_FLAG_LSF_EXT | MAD_FLAG_MPEG_2_5_EXT;

// Steps over consecutive ID3v2 tags (header "ID3", version, flags, a
// four-byte size of 7 bits a byte, and a footer of 10 bytes when flagged).
int64_t skipId3v2(FileWindow& file) {
    const int64_t size = file.fileSize();
    int64_t at = 0;
    while (at + 10 <= size) {
        const uint8_t* b = file.at(at, 10);
        if (std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF || (b[6] | b[7] | b[8] | b[9]) >= 0x80) break;
        int64_t body = static_cast<int64_t>(b[6]) << 21 | b[7] << 14 | b[8] << 7 | b[9];
        int64_t next = at + 10 + body + ((b[5] & 0x10) ? 10 : 0);
        if (next > size) return at; // a tag longer than the file is not believed
        at = next;
    }
    return at;
}

// The start of the tags at the end of the file: an ID3v1 tag ("TAG" 128
// bytes from the end) and an APE tag with its 32-byte footer, in either order.
int64_t trailingTagsStart(FileWindow& file, int64_t start) {
    int64_t end = file.fileSize();
    for (int round = 0; round < 2; ++round) {
        if (end - 128 >= start && std::memcmp(file.at(end - 128, 3), "TAG", 3) == 0) end -= 128;
        if (end - 32 >= start) {
            const uint8_t* f = file.at(end - 32, 32);
            if (std::memcmp(f, "APETAGEX", 8) != 0) continue;
            uint32_t tagSize = f[12] | f[13] << 8 | f[14] << 16 | static_cast<uint32_t>(f[15]) << 24;
            uint32_t tagFlags = f[20] | f[21] << 8 | f[22] << 16 | static_cast<uint32_t>(f[23]) << 24;
            int64_t whole = static_cast<int64_t>(tagSize) + ((tagFlags & 0x80000000u) ? 32 : 0);
            if (whole >= 32 && end - whole >= start) end -= whole;
        }
    }
    return end;
}

uint32_t bigEndian32(const uint8_t* p) { return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3]; }

// Steps over an encoder's information frame at the layout's first frame and
// reads the gapless facts of a LAME tag in it. frameBytes is that frame's size.
void stepOverInfoFrame(const uint8_t* frame, int64_t frameBytes, const mad_header& header, MpegStreamLayout& layout) {
    const bool mono = MAD_NCHANNELS(&header) == 1;
    const int64_t sideInfo = header.layer != MAD_LAYER_III      ? 0
                             : (header.flags & MAD_FLAG_LSF_EXT) ? (mono ? 9 : 17)
                                                                 : (mono ? 17 : 32);
    const int64_t tag = 4 + ((header.flags & MAD_FLAG_PROTECTION) ? 2 : 0) + sideInfo;
    const bool xing = tag + 8 <= frameBytes &&
                      (std::memcmp(frame + tag, "Xing", 4) == 0 || std::memcmp(frame + tag, "Info", 4) == 0);
    const bool vbri = 36 + 4 <= frameBytes && std::memcmp(frame + 36, "VBRI", 4) == 0;
    if (!xing && !vbri) return;
    layout.infoFrame = layout.firstFrame;
    layout.firstFrame += frameBytes;
    if (!xing || header.layer != MAD_LAYER_III) return;
    // The Xing fields present by its flags (frames, bytes, table, quality),
    // then the LAME tag: a 9-character encoder name, and 12 bits each of
    // delay and padding at its 21st byte.
    const uint32_t fields = bigEndian32(frame + tag + 4);
    int64_t lame = tag + 8 + ((fields & 1) ? 4 : 0) + ((fields & 2) ? 4 : 0) + ((fields & 4) ? 100 : 0) +
                   ((fields & 8) ? 4 : 0);
    if (lame + 24 > frameBytes) return;
    const uint8_t* p = frame + lame;
    if (std::memcmp(p, "LAME", 4) != 0 && std::memcmp(p, "Lavf", 4) != 0 && std::memcmp(p, "Lavc", 4) != 0) return;
    const int32_t delay = p[21] << 4 | p[22] >> 4;
    const int32_t padding = (p[22] & 0x0F) << 8 | p[23];
    layout.leadingSamples = delay + layer3DecoderDelay;
    layout.trailingSamples = std::max(padding - layer3DecoderDelay, 0);
}

} // namespace

bool frameRunStartsAt(const uint8_t* at, int64_t toAudioEnd, int64_t held, mad_header& first) {
    mad_stream stream;
    mad_stream_init(&stream);
    mad_stream_buffer(&stream, at, static_cast<unsigned long>(std::min(toAudioEnd, held) + MAD_BUFFER_GUARD));
    mad_header header;
    mad_header_init(&header);
    bool ok = false;
    for (int n = 0; n < agreeingFrames; ++n) {
        const uint8_t* expected = n == 0 ? at : stream.next_frame;
        if (n > 0 && expected >= at + toAudioEnd) {
            ok = true; // the audio ends with this run
            break;
        }
        if (mad_header_decode(&header, &stream) != 0 || stream.this_frame != expected) break;
        if (n == 0) {
            first = header;
        } else if (header.layer != first.layer || header.samplerate != first.samplerate ||
                   (header.flags & versionFlags) != (first.flags & versionFlags)) {
            break;
        }
        if (stream.next_frame > at + toAudioEnd) break;
        ok = n + 1 == agreeingFrames;
    }
    mad_header_finish(&header);
    mad_stream_finish(&stream);
    return ok;
}

bool MpegStreamLayout::agrees(const mad_header& header) const {
    return header.layer == layer && static_cast<int32_t>(header.samplerate) == sampleRate &&
           (header.flags & versionFlags) == (flags & versionFlags);
}

MpegStreamLayout findMpegStream(FileWindow& file) {
    MpegStreamLayout layout;
    if (file.fileSize() <= 0) return layout;
    layout.audioStart = skipId3v2(file);
    layout.audioEnd = trailingTagsStart(file, layout.audioStart);
    const int64_t limit = std::min(layout.audioEnd, layout.audioStart + searchLimit);
    for (int64_t at = layout.audioStart; at + 4 <= limit; ++at) {
        int64_t held = 0;
        const uint8_t* bytes = file.at(at, frameRunBytes, &held);
        // A frame begins with eleven set bits.
        if (bytes[0] != 0xFF || (bytes[1] & 0xE0) != 0xE0) continue;
        mad_header first;
        const int64_t toEnd = layout.audioEnd - at;
        if (!frameRunStartsAt(bytes, toEnd, held, first)) continue;
        layout.firstFrame = at;
        layout.sampleRate = static_cast<int32_t>(first.samplerate);
        layout.channels = MAD_NCHANNELS(&first);
        layout.layer = first.layer;
        layout.samplesPerFrame = 32 * MAD_NSBSAMPLES(&first);
        layout.bitRate = static_cast<int32_t>(first.bitrate);
        layout.flags = first.flags;
        mad_stream stream;
        mad_stream_init(&stream);
        mad_stream_buffer(&stream, bytes, static_cast<unsigned long>(std::min(toEnd, held) + MAD_BUFFER_GUARD));
        mad_header header;
        mad_header_init(&header);
        if (mad_header_decode(&header, &stream) == 0)
            stepOverInfoFrame(bytes, std::min<int64_t>(stream.next_frame - stream.this_frame, toEnd), header, layout);
        mad_header_finish(&header);
        mad_stream_finish(&stream);
        break;
    }
    return layout;
}

int32_t mainDataBegin(const uint8_t* frame, int64_t frameBytes, const mad_header& header) {
    if (header.layer != MAD_LAYER_III) return 0;
    const int64_t side = 4 + ((header.flags & MAD_FLAG_PROTECTION) ? 2 : 0);
    if (frameBytes < side + 2) return 0;
    const uint8_t* p = frame + side;
    if (header.flags & MAD_FLAG_LSF_EXT) return p[0];
    return p[0] << 1 | p[1] >> 7;
}

int32_t mainDataCapacity(int64_t frameBytes, const mad_header& header) {
    if (header.layer != MAD_LAYER_III) return 0;
    const bool mono = MAD_NCHANNELS(&header) == 1;
    const int64_t sideInfo = (header.flags & MAD_FLAG_LSF_EXT) ? (mono ? 9 : 17) : (mono ? 17 : 32);
    const int64_t capacity = frameBytes - 4 - ((header.flags & MAD_FLAG_PROTECTION) ? 2 : 0) - sideInfo;
    return static_cast<int32_t>(std::clamp<int64_t>(capacity, 0, 1 << 20));
}
