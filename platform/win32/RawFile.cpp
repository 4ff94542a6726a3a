// The file is opened sharing reads, writes and deletes, so that the user's
// other programs are not locked out while it plays; pipes and devices are
// refused.
#include "platform/RawFile.h"

#include <windows.h>

#include "platform/win32/WideText.h"

namespace platform {

std::unique_ptr<RawFile> RawFile::open(const char* path, FileBytes::Problem& problem) {
    using Problem = FileBytes::Problem;
    problem = Problem::None;
    if (!path || !*path) {
        problem = Problem::Missing;
        return nullptr;
    }
    const std::wstring name = win32::systemPath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        problem = Problem::Missing;
        return nullptr;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        problem = Problem::NotAFile;
        return nullptr;
    }
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        problem = Problem::Unreadable;
        return nullptr;
    }
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK)
        problem = Problem::NotAFile;
    else if (!GetFileSizeEx(file, &size))
        problem = Problem::Unreadable;
    else if (size.QuadPart <= 0)
        problem = Problem::Empty;
    if (problem != Problem::None) {
        CloseHandle(file);
        return nullptr;
    }
    return std::unique_ptr<RawFile>(
        new RawFile(reinterpret_cast<intptr_t>(file), static_cast<uint64_t>(size.QuadPart)));
}

RawFile::~RawFile() { CloseHandle(reinterpret_cast<HANDLE>(handle_)); }

int64_t RawFile::readAt(uint64_t offset, uint8_t* into, int64_t n) {
    int64_t got = 0;
    while (got < n && offset + got < size_) {
        OVERLAPPED at{};
        const uint64_t from = offset + got;
        at.Offset = static_cast<DWORD>(from);
        at.OffsetHigh = static_cast<DWORD>(from >> 32);
        const int64_t left = n - got;
        const DWORD piece = left > (1 << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD read = 0;
        if (!ReadFile(reinterpret_cast<HANDLE>(handle_), into + got, piece, &read, &at) || read == 0) break;
        got += read;
    }
    return got;
}

} // namespace platform
