#include "platform/Paths.h"

#include <dlfcn.h>
#include <pwd.h>

#include <cstdlib>
#include <filesystem>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::paths {

const char separator = '/';

bool isComplete(std::string_view path) { return !path.empty() && path.front() == separator; }

PathParts split(std::string_view path) {
    PathParts parts;
    size_t slash = path.rfind(separator);
    size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    parts.directory = std::string(path.substr(0, nameStart));
    std::string_view file = path.substr(nameStart);
    size_t dot = file.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        parts.name = std::string(file);
    } else {
        parts.name = std::string(file.substr(0, dot));
        parts.extension = std::string(file.substr(dot));
    }
    return parts;
}

std::string directoryOf(std::string_view path) { return split(path).directory; }

std::string parentStep() { return std::string("..") + separator; }

std::string join(std::string_view base, std::string_view relative) {
    std::string result(base);
    if (!result.empty() && result.back() != separator) result += separator;
    result += relative;
    return result;
}

std::string normalised(std::string_view path) {
    if (path.empty()) return {};
    return std::filesystem::path(path).lexically_normal().string();
}

std::string resolved(std::string_view folder, std::string_view entry) {
    if (entry.empty()) return {};
    return normalised(isComplete(entry) ? std::string(entry) : join(folder, entry));
}

// Another machine's files are reached through a mount, which a URL cannot name.
std::string fromFileUrl(std::string_view host, std::string_view path) {
    return host.empty() && isComplete(path) ? normalised(path) : std::string();
}

// File names here are bytes: the bytes name the file as they stand.
std::string fromSystemCodePage(std::string_view bytes) { return std::string(bytes); }

bool systemCodePageIsUtf8() { return true; }

bool sameVolume(std::string_view, std::string_view) { return true; }

bool isDirectory(const std::string& path) {
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

bool exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && stat(path.c_str(), &info) == 0;
}

bool takesNewFiles(const std::string& folder) { return access(folder.c_str(), W_OK | X_OK) == 0; }

bool makeDirectories(const std::string& path) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return isDirectory(path);
}

std::string currentDirectory() {
    char buffer[PATH_MAX];
    if (!getcwd(buffer, sizeof buffer)) return {};
    return buffer;
}

std::string userDataDirectory() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return join(data, "");
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user ? user->pw_dir : nullptr;
    }
    return home && home[0] == '/' ? join(join(home, ".local/share"), "") : std::string();
}

std::string libraryDirectory() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&libraryDirectory), &info) == 0 || !info.dli_fname) return {};
    std::string dir = directoryOf(info.dli_fname);
    if (!isComplete(dir)) dir = join(currentDirectory(), dir);
    return dir;
}

} // namespace platform::paths
