#pragma once
// The RIFF chunk walk of a ".wav" file: where the sample data lies and how
// its samples are coded. It reads nothing outside the file it is given.
#include <cstdint>

#include "sources/StereoMix.h"

class FileWindow;

enum class WavEncoding {
    Unplayable, // no format, or one this source does not read
    Pcm8,       // unsigned, 128 is silence
    Pcm16,
    Pcm24,
    Pcm32,
    Float32,
    Float64,
    ALaw,
    MuLaw,
};

struct WavFormat {
    int32_t channels = 2;
    int32_t sampleRate = 44100;
    int32_t bitRate = 352800;
    int32_t bitsPerSample = 0; // 0 until a "fmt " chunk gives it
    WavEncoding encoding = WavEncoding::Unplayable;
    int32_t frameBytes = 0;              // bytes of one frame of all channels
    int64_t dataOffset = -1;             // where the samples begin; -1 when no "data" chunk was found
    uint64_t dataBytes = 0;              // bytes of sample data that lie inside the file
    int32_t length = 0;                  // frames that can be read; 0 when none
    uint32_t speakerMask = 0;            // the speakers its channels feed (0: the usual ones)
};

WavFormat walkWavChunks(FileWindow& file);
// Its channels as the deck's two.
inline StereoMix stereoMixOf(const WavFormat& format) { return stereoMixFor(format.channels, format.speakerMask); }
// The same for a file's bytes in memory.
WavFormat walkWavChunks(const uint8_t* file, uint64_t size);

// Sample value of a frame's channel as a float of full scale 1; frame
// points at the frame's bytes.
float wavSample(const WavFormat& format, const uint8_t* frame, int channel);
// The same for count frames from frames on, times gain, into out.
void wavSamples(const WavFormat& format, const uint8_t* frames, int32_t count, int channel, float gain, float* out);
