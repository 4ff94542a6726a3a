#include "tests/support/LoadedLibrary.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#if defined(_WIN32)

LoadedLibrary::LoadedLibrary(const std::string& path) {
    handle_ = LoadLibraryA(path.c_str());
    if (!handle_) error_ = "LoadLibrary failed with error " + std::to_string(GetLastError()) + " for " + path;
}

LoadedLibrary::~LoadedLibrary() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* LoadedLibrary::symbol(const char* name) const {
    return handle_ ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name)) : nullptr;
}

// The header lives in the paging file under its own name.
int32_t sharedStoreUsers() {
    HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, "sharedMemTrakVoxInfos");
    if (!mapping) return -1;
    int32_t users = -1;
    if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof users)) {
        users = *static_cast<const volatile int32_t*>(view);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return users;
}

#else

LoadedLibrary::LoadedLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) error_ = dlerror();
}

LoadedLibrary::~LoadedLibrary() {
    if (handle_) dlclose(handle_);
}

void* LoadedLibrary::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

// The header's name holds the process's pid among its marks.
int32_t sharedStoreUsers() {
    std::string name;
    const std::string pid = "." + std::to_string(getpid()) + ".";
    if (DIR* dir = opendir("/dev/shm")) {
        while (dirent* entry = readdir(dir)) {
            const std::string found = entry->d_name;
            if (found.rfind("tunedeck.", 0) == 0 && found.find(pid) != std::string::npos && found.size() > 21 &&
                found.compare(found.size() - 21, 21, "sharedMemTrakVoxInfos") == 0)
                name = "/" + found;
        }
        closedir(dir);
    }
    if (name.empty()) return -1;
    int fd = shm_open(name.c_str(), O_RDONLY, 0);
    if (fd < 0) return -1;
    int32_t users = -1;
    if (pread(fd, &users, sizeof users, 0) != sizeof users) users = -1;
    close(fd);
    return users;
}

#endif
