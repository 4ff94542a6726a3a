#pragma once
// Where the MPEG audio of a file lies and what stream it is: tags at the
// start and the end are stepped over, and the stream's facts come from the
// first run of frames that follow one another exactly and agree, so that a
// picture in a tag or bytes after the audio can never pass for the stream.
// An encoder's information frame (Xing, Info or VBRI) before the audio is
// not audio: the stream begins after it, and the encoder delay and padding
// a LAME tag in it declares are what a gapless player trims.
// Reads nothing outside the file it is given.
#include <mad.h>

#include <cstdint>

class FileWindow;

struct MpegStreamLayout {
    int64_t audioStart = 0;  // the first byte after any ID3v2 tags
    int64_t audioEnd = 0;    // the first byte of an ID3v1 or APE tag at the end, or the file's end
    int64_t firstFrame = -1; // the first frame of the stream; -1 when there is none
    int32_t sampleRate = 0;
    int32_t channels = 0;
    int32_t layer = 0;
    int32_t samplesPerFrame = 0; // 384, 576 or 1,152
    int32_t bitRate = 0;         // of the first frame
    int flags = 0;               // the first frame's version flags (MAD_FLAG_LSF_EXT, MAD_FLAG_MPEG_2_5_EXT)
    int64_t infoFrame = -1;      // the encoder's information frame, stepped over; -1 when there is none
    int32_t leadingSamples = 0;  // decoded samples before the music: the encoder's delay and the decoder's
    int32_t trailingSamples = 0; // decoded samples after the music: the encoder's padding

    bool found() const { return firstFrame >= 0; }
    // True when a frame's header belongs to this stream.
    bool agrees(const mad_header& header) const;
};

// The delay of a Layer III decoder (libmad's, like every other): its
// output is this many samples behind the encoder's input.
constexpr int32_t layer3DecoderDelay = 529;

// Frames in a row, each beginning where the last ended, that make a stream.
constexpr int agreeingFrames = 4;

MpegStreamLayout findMpegStream(FileWindow& file);

// Bytes a window must hold after a place for frameRunStartsAt to judge it.
constexpr int64_t frameRunBytes = 32 * 1024;

// Whether agreeingFrames frames of one stream follow one another exactly
// from at (fewer when the audio ends first); first gets the first header.
// toAudioEnd bytes of audio follow at; held of them are in memory, followed
// by MAD_BUFFER_GUARD readable bytes.
bool frameRunStartsAt(const uint8_t* at, int64_t toAudioEnd, int64_t held, mad_header& first);

// Bytes before a Layer III frame's main data where that data begins
// (main_data_begin); 0 for other layers or a frame too short to tell.
int32_t mainDataBegin(const uint8_t* frame, int64_t frameBytes, const mad_header& header);
// Bytes of main data a Layer III frame carries after its header and side information.
int32_t mainDataCapacity(int64_t frameBytes, const mad_header& header);
