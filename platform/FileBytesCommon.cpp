// Reading a whole file, through the backend's plain reads at an offset.
#include <cstdlib>
#include <cstring>

#include "platform/FileBytes.h"
#include "platform/RawFile.h"

namespace platform {

namespace {
constexpr int64_t piece = int64_t{1} << 20;
}

FileBytes::Read FileBytes::read(const char* path, uint64_t most, const std::atomic<bool>* giveUp) {
    Problem problem = Problem::None;
    auto file = RawFile::open(path, problem);
    if (!file) return {nullptr, problem};
    const uint64_t expected = file->size();
    if (expected > most) return {nullptr, Problem::TooLarge};
    auto* bytes = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(expected + zeroGuard)));
    if (!bytes) return {nullptr, Problem::TooLarge};
    // The file may change while it is read: what was read is what it is.
    uint64_t got = 0;
    while (got < expected) {
        if (giveUp && giveUp->load(std::memory_order_relaxed)) {
            std::free(bytes);
            return {nullptr, Problem::GivenUp};
        }
        const int64_t want = expected - got < static_cast<uint64_t>(piece) ? static_cast<int64_t>(expected - got) : piece;
        const int64_t n = file->readAt(got, bytes + got, want);
        if (n <= 0) break;
        got += static_cast<uint64_t>(n);
    }
    if (got == 0) {
        std::free(bytes);
        return {nullptr, Problem::Unreadable};
    }
    return {adopt(bytes, got), Problem::None};
}

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
