#pragma once
// What every MPEG audio source shares: the file names it takes.
#include "sources/TrackSource.h"

class MpegSourceBase : public TrackSource {
public:
    bool acceptsFile(const char* path) override;
};
