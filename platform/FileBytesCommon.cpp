// What every backend's file reading shares.
#include <cstdlib>
#include <cstring>

#include "platform/FileBytes.h"

namespace platform {

std::shared_ptr<const FileBytes> FileBytes::adopt(uint8_t* data, uint64_t got) {
    std::memset(data + got, 0, zeroGuard);
    return std::shared_ptr<const FileBytes>(new FileBytes(data, got));
}

std::shared_ptr<const FileBytes> FileBytes::copyOf(const uint8_t* data, size_t size) {
    if (size == 0 || (!data && size)) return nullptr;
    auto* bytes = static_cast<uint8_t*>(std::malloc(size + zeroGuard));
    if (!bytes) return nullptr;
    std::memcpy(bytes, data, size);
    return adopt(bytes, size);
}

FileBytes::~FileBytes() { std::free(data_); }

const char* describe(FileBytes::Problem problem) {
    switch (problem) {
    case FileBytes::Problem::None: return "read";
    case FileBytes::Problem::Missing: return "not found";
    case FileBytes::Problem::NotAFile: return "not a file";
    case FileBytes::Problem::TooLarge: return "too large to hold in memory";
    case FileBytes::Problem::Empty: return "empty";
    case FileBytes::Problem::Unreadable: return "cannot be read";
    case FileBytes::Problem::GivenUp: return "not read in time";
    }
    return "cannot be read";
}

} // namespace platform
