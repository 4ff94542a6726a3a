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

#else

LoadedLibrary::LoadedLibrary(const std::string& path) {
    handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) error_ = dlerror();
}

LoadedLibrary::~LoadedLibrary() {
    if (handle_) dlclose(handle_);
}

void* LoadedLibrary::symbol(const char* name) const { return handle_ ? dlsym(handle_, name) : nullptr; }

#endif
