// Hostile first-store files ("trakvox.dat"): the reader takes a file whole
// or not at all, and never reads outside it.
#include <cstdint>

#include "store/LegacyStoreFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const LegacyStoreFile file = parseLegacyStoreFile(data, size);
    if (!file.records.empty() && 4 + file.records.size() * sizeof(TrackInfoRecord) > size)
        __builtin_trap();
    for (const TrackInfoRecord& r : file.records)
        if (r.name[sizeof r.name - 1] != 0 || r.path[sizeof r.path - 1] != 0) __builtin_trap();
    return 0;
}
