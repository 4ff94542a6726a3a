#pragma once
// Builds an MPEG track's whole frame index from its frame headers alone,
// without decoding: fast enough to run while the track opens, so that every
// jump lands exactly from the first moment.
#include <cstdint>
#include <memory>

#include "mpeg/MpegFrameIndex.h"
#include "mpeg/MpegStreamLayout.h"

// Fills index with every frame of the stream and finishes it with the
// number of samples a straight decode gives. False when the stream has no
// frame, the index is full, or the file was abandoned meanwhile. bitRate gets the mean
// of the frames' bit rates.
class TrackFile;
bool scanMpegFrames(const std::shared_ptr<TrackFile>& file, const MpegStreamLayout& layout, MpegFrameIndex& index,
                    double& bitRate);
