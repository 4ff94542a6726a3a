#pragma once
// The first store's file, "trakvox.dat": a count, then every record byte for
// byte (store/TrackInfoRecord.h). It is only read, once, to carry its facts
// into the track store; it is never written or changed.
#include <string>
#include <vector>

#include "store/TrackInfoRecord.h"

struct LegacyStoreFile {
    enum class State { Missing, Read, NotOurs };
    State state = State::Missing;
    std::vector<TrackInfoRecord> records;
};

// A file whose count its size cannot hold, or that cannot be read whole, is
// NotOurs: nothing of it is taken.
LegacyStoreFile readLegacyStoreFile(const std::string& path);
// The same from bytes in memory (fuzzers).
LegacyStoreFile parseLegacyStoreFile(const uint8_t* bytes, size_t size);
