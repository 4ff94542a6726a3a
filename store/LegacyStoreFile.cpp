#include "store/LegacyStoreFile.h"

#include <cstring>

#include "platform/FileBytes.h"

namespace {
// The first store held at most this many records; its files never more.
constexpr int32_t mostRecords = 16384;
} // namespace

LegacyStoreFile parseLegacyStoreFile(const uint8_t* bytes, size_t size) {
    LegacyStoreFile file;
    file.state = LegacyStoreFile::State::NotOurs;
    if (!bytes) return file;
    if (size == 0) {
        file.state = LegacyStoreFile::State::Read;
        return file;
    }
    int32_t count = 0;
    if (size < sizeof count) return file;
    std::memcpy(&count, bytes, sizeof count);
    if (count < 0 || count > mostRecords || sizeof count + static_cast<uint64_t>(count) * sizeof(TrackInfoRecord) > size)
        return file;
    file.records.resize(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) {
        TrackInfoRecord& r = file.records[static_cast<size_t>(i)];
        std::memcpy(&r, bytes + sizeof count + static_cast<size_t>(i) * sizeof(TrackInfoRecord), sizeof r);
        // Texts end inside their fields whatever the file says.
        r.name[sizeof r.name - 1] = 0;
        r.path[sizeof r.path - 1] = 0;
    }
    file.state = LegacyStoreFile::State::Read;
    return file;
}

LegacyStoreFile readLegacyStoreFile(const std::string& path) {
    // The largest file the first store could write, and a little more.
    constexpr uint64_t largest = 4 + uint64_t{mostRecords} * sizeof(TrackInfoRecord) + 4096;
    platform::FileBytes::Read read = platform::FileBytes::read(path.c_str(), largest);
    if (read.problem == platform::FileBytes::Problem::Missing) return {};
    if (read.problem == platform::FileBytes::Problem::Empty) return {LegacyStoreFile::State::Read, {}};
    if (!read.bytes) return {LegacyStoreFile::State::NotOurs, {}};
    return parseLegacyStoreFile(read.bytes->data(), static_cast<size_t>(read.bytes->size()));
}
