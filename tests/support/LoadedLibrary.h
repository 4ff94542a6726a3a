#pragma once
// A plug-in library loaded as a host loads it (dlopen on Linux, LoadLibrary
// on Windows), and what the tests read of the shared store it attaches to.
#include <cstdint>
#include <string>

class LoadedLibrary {
public:
    explicit LoadedLibrary(const std::string& path);
    ~LoadedLibrary();
    LoadedLibrary(const LoadedLibrary&) = delete;
    LoadedLibrary& operator=(const LoadedLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    // Why loading failed, in the system's words.
    const std::string& error() const { return error_; }
    void* symbol(const char* name) const;

private:
    void* handle_ = nullptr;
    std::string error_;
};

