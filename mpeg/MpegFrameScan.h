#pragma once
// Builds an MPEG track's whole frame index from its frame headers alone,
// without decoding: fast enough to run while the track opens, so that every
// jump lands exactly from the first moment.
#include <cstdint>

#include "mpeg/MpegFrameIndex.h"
#include "mpeg/MpegStreamLayout.h"

// Fills index with every frame of the stream and finishes it with the
// number of samples a straight decode gives. False when the stream has no
// frame or the index is full. bytes must be followed by MAD_BUFFER_GUARD
// readable bytes after the audio's end. bitRate gets the mean of the
// frames' bit rates.
bool scanMpegFrames(const uint8_t* bytes, const MpegStreamLayout& layout, MpegFrameIndex& index, double& bitRate);
