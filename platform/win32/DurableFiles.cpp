#include "platform/DurableFiles.h"

#include <windows.h>
#include <io.h>

#include "platform/win32/WideText.h"

namespace platform {

// An exclusive lock over the lock file's first byte; the system releases it
// when the handle closes or the process ends.
FileLock::FileLock(const std::string& path) {
    HANDLE file = CreateFileW(win32::systemPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    OVERLAPPED at{};
    if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at)) {
        CloseHandle(file);
        return;
    }
    handle_ = reinterpret_cast<intptr_t>(file);
}

FileLock::~FileLock() {
    if (held()) CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

uint64_t fileSize(FILE* file) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    LARGE_INTEGER size{};
    return handle != INVALID_HANDLE_VALUE && GetFileSizeEx(handle, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

bool syncToDisk(FILE* file) {
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE && FlushFileBuffers(handle);
}

// rename() on Windows refuses to replace a file; MoveFileEx does, in one
// step, and with write-through returns only once the change is on the disk.
// Where write-through is not offered (Wine), the replacement still happens:
// the file's own bytes were flushed before.
bool replaceFileWith(const std::string& fresh, const std::string& path) {
    const std::wstring from = win32::systemPath(fresh), to = win32::systemPath(path);
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

FILE* openForWriting(const std::string& path) { return _wfopen(win32::systemPath(path).c_str(), L"wb"); }

bool removeFile(const std::string& path) { return DeleteFileW(win32::systemPath(path).c_str()) != 0; }

uint32_t processId() { return static_cast<uint32_t>(GetCurrentProcessId()); }

} // namespace platform
