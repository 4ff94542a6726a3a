#pragma once
// The one place that knows how paths are formed on this platform: the
// separator, what makes a path complete (absolute), and how a path splits into
// its folder, name and extension. Every other module forms, splits and
// compares paths through these functions. Paths are UTF-8 everywhere in the
// deck; the Windows backend speaks UTF-16 to the system.
#include <string>
#include <string_view>

namespace platform::paths {

extern const char separator;

// A complete path names a file without reference to a current folder.
bool isComplete(std::string_view path);

struct PathParts {
    std::string directory; // everything up to and including the last separator
    std::string name;      // the file name without its extension
    std::string extension; // from the last dot of the file name on, dot included
};
PathParts split(std::string_view path);

// Folder of a path with its trailing separator ("" when it has none).
std::string directoryOf(std::string_view path);

// The step to the parent folder, separator included ("../").
std::string parentStep();

// base followed by relative, with one separator between them.
std::string join(std::string_view base, std::string_view relative);

// The path with "." steps and "folder/.." pairs taken out, as a list read
// from its own folder names its tracks.
std::string normalised(std::string_view path);

// An entry of a track list in folder as a path: complete paths stand for
// themselves, others go from folder; on Windows "\\x" goes from the root of
// folder's drive or share, and "Z:x" from folder when it is on Z:.
std::string resolved(std::string_view folder, std::string_view entry);

// The path of a file:// URL's host (empty for this machine) and its decoded
// path; "" when the system cannot reach it.
std::string fromFileUrl(std::string_view host, std::string_view path);

// Text in the encoding the system uses for file names when they are not
// UTF-8, as UTF-8: the ANSI code page on Windows.
std::string fromSystemCodePage(std::string_view bytes);

// Whether the system takes file names in UTF-8 where a file does not say
// (false on Windows with a national code page).
bool systemCodePageIsUtf8();

// Whether two complete paths are on one drive or share (always on Linux),
// so that one can be named relative to the other.
bool sameVolume(std::string_view a, std::string_view b);

bool isDirectory(const std::string& path);
// Whether anything is there (a file, a folder, ...).
bool exists(const std::string& path);
// Creates a folder and the folders above it; false when it cannot.
bool makeDirectories(const std::string& path);

// Whether this process may create files in folder.
bool takesNewFiles(const std::string& folder);

// The process's current folder ("" when it cannot be read).
std::string currentDirectory();

// Folder of the shared library that holds this code, separator included.
std::string libraryDirectory();

// The user's own folder for programs' data, separator included ("" when
// there is none): $XDG_DATA_HOME or ~/.local/share on Linux, the roaming
// application data folder the shell names on Windows.
std::string userDataDirectory();

} // namespace platform::paths
