// The track list: filling it from paths, multi-selections and ".m3u" and
// ".m3u8" lists, saving it as either, reordering, deleting, selecting, scrolling,
// and stepping through it. Everything here runs on the GUI thread except
// addFilesNow, which the opener thread runs for the GUI thread's addFiles
// (lists are files that may block), and nextFile and previousFile, which
// rendering and MIDI call and which touch only the two Relaxed counters.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/Dialogs.h"
#include "platform/DurableFiles.h"
#include "platform/Paths.h"
#include "deck/FileReader.h"
#include "deck/PlaylistText.h"
#include "log/DebugLog.h"
#include "deck/Deck.h"

namespace {

namespace paths = platform::paths;

constexpr int maxListDepth = 8;
constexpr size_t maxListsPerAdd = 256;
// A list of 256 entries of 1,024 characters and their comments stays far
// below this; anything larger is not a track list.
constexpr uint64_t largestList = uint64_t{4} << 20;

// Splits a multi-selection buffer (folder, zero, names each ended by a
// zero, one more zero) that is room bytes long at most.
std::vector<std::string> splitSelection(const char* buffer, size_t room) {
    std::vector<std::string> parts;
    size_t at = 0;
    while (at < room) {
        const char* start = buffer + at;
        size_t n = strnlen(start, room - at);
        if (n == 0 && !parts.empty()) break;
        parts.emplace_back(start, n);
        at += n + 1;
    }
    return parts;
}

std::vector<std::string> directoryNames(const std::string& directory) {
    std::vector<std::string> names;
    size_t start = 0;
    while (start < directory.size()) {
        size_t end = directory.find(paths::separator, start);
        if (end == std::string::npos) end = directory.size();
        if (end > start) names.push_back(directory.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string completed(const std::string& path) {
    return paths::isComplete(path) ? path : paths::join(paths::currentDirectory(), path);
}

} // namespace

bool Deck::isPlayable(const char* path) const {
    for (TrackSource* source : sources)
        if (source && source->acceptsFile(path)) return true;
    return false;
}

void Deck::insertEntry(const char* path) {
    writeLog("insert");
    writeLog(path);
    writeLog("\n");
    if (!path || std::strlen(path) >= static_cast<size_t>(TrackList::pathRoom)) return;
    platform::ScopedLock guard(listMutex);
    // A full list keeps what it holds; the caller tells the user.
    if (tracks.count >= TrackList::capacity) return;
    int32_t place = tracks.currentIndex;
    for (int32_t i = 0; i < TrackList::capacity; ++i)
        if (tracks.selected[i]) {
            place = i;
            break;
        }
    place = std::clamp(place, 0, static_cast<int32_t>(tracks.count));
    for (int32_t i = tracks.count - 1; i >= place; --i)
        std::memcpy(tracks.entries[i + 1], tracks.entries[i], TrackList::pathRoom);
    std::snprintf(tracks.entries[place], TrackList::pathRoom, "%s", path);
    tracks.count = tracks.count + 1;
}

const char* Deck::readListLines(const char* listPath, std::vector<std::string>& lines) const {
    platform::FileBytes::Read file =
        FileReader::read(listPath ? listPath : "", largestList, [this] { return openerQuit.load(); });
    if (file.problem == platform::FileBytes::Problem::TooLarge) return "larger than a track list can be";
    if (!file.bytes) return platform::describe(file.problem);
    // Entries that name neither a track a source plays nor another list are
    // skipped. Paths too long to be stored are kept, so that an add can
    // tell how many did not fit.
    for (std::string& entry : playlist::entries(file.bytes->data(), static_cast<size_t>(file.bytes->size())))
        if (isPlayable(entry.c_str()) || playlist::namesList(entry)) lines.push_back(std::move(entry));
    return nullptr;
}

bool Deck::readTrackList(const char* listPath, char* output, size_t room) {
    if (!listPath || !output || room < 2) return false;
    std::string directory = paths::directoryOf(listPath);
    if (directory.empty()) directory = paths::join(paths::currentDirectory(), "");
    size_t at = 0;
    auto put = [&](const std::string& text) {
        if (at + text.size() + 2 > room) return false; // keep room for the closing zero
        std::memcpy(output + at, text.c_str(), text.size() + 1);
        at += text.size() + 1;
        return true;
    };
    output[0] = 0;
    output[1] = 0;
    if (!put(directory)) return false;
    std::vector<std::string> lines;
    if (readListLines(listPath, lines)) return false;
    for (const std::string& line : lines)
        if (!put(line)) break;
    output[at] = 0;
    return true;
}

bool Deck::addFilesFrom(const char* buffer, size_t room, std::set<std::string>& listsRead, int depth) {
    // The files are gathered in the order the user chose them and the lists
    // name them before any is inserted, so that a list without room for all
    // of them takes the first ones and keeps every entry it had. Past a full
    // list's worth they are only counted.
    std::vector<std::string> found;
    size_t total = 0, tooLong = 0, listsUnread = 0;
    const char* listProblem = nullptr;
    auto takeTrack = [&](const std::string& path) {
        if (found.size() < static_cast<size_t>(TrackList::capacity)) found.push_back(path);
        ++total;
    };
    std::function<bool(const std::string&, int)> expandList;
    auto takeNamed = [&](const std::string& folder, const std::string& name, int level) {
        std::string path = paths::resolved(folder, name);
        // A Windows player's list on this system: names in its code page
        // where the files here are named in UTF-8.
        if (!playlist::isUtf8(path) && !paths::exists(path)) {
            std::string converted = paths::resolved(folder, playlist::fromWindows1252(name));
            if (paths::exists(converted)) path = std::move(converted);
        }
        if (path.size() >= static_cast<size_t>(TrackList::pathRoom)) {
            ++tooLong;
            return;
        }
        if (isPlayable(path.c_str()))
            takeTrack(path);
        else if (playlist::namesList(path))
            expandList(path, level);
    };
    // Expands a list once per add, however the lists name each other.
    expandList = [&](const std::string& listPath, int level) {
        if (level >= maxListDepth || listsRead.size() >= maxListsPerAdd) return false;
        if (!listsRead.insert(paths::normalised(completed(listPath))).second) return false;
        std::vector<std::string> lines;
        if (const char* problem = readListLines(listPath.c_str(), lines)) {
            ++listsUnread;
            listProblem = problem;
            return false;
        }
        std::string folder = paths::directoryOf(listPath);
        if (folder.empty()) folder = paths::join(paths::currentDirectory(), "");
        for (const std::string& line : lines) takeNamed(folder, line, level + 1);
        return true;
    };

    bool oneTrackOrList = false;
    std::vector<std::string> parts = splitSelection(buffer, room);
    if (parts.empty()) return false;
    const std::string& first = parts.front();
    if (isPlayable(first.c_str())) {
        if (first.size() < static_cast<size_t>(TrackList::pathRoom))
            takeTrack(first), oneTrackOrList = true;
        else
            ++tooLong;
    } else if (playlist::namesList(first)) {
        oneTrackOrList = expandList(first, depth);
    } else {
        for (size_t i = 1; i < parts.size(); ++i) takeNamed(first, parts[i], depth);
    }

    size_t added = 0;
    {
        platform::ScopedLock guard(listMutex);
        added = std::min(found.size(), static_cast<size_t>(TrackList::capacity - tracks.count));
        // Each goes where the first one goes, so the last goes in first.
        for (size_t i = added; i-- > 0;) insertEntry(found[i].c_str());
    }
    // One message says everything that was left out, and why.
    std::string text;
    auto files = [](size_t n) { return std::to_string(n) + (n == 1 ? " file was" : " files were"); };
    if (size_t leftOut = total - added; leftOut > 0)
        text += files(leftOut) + " not added: the track list holds " + std::to_string(TrackList::capacity) +
                " entries\n";
    if (tooLong > 0)
        text += files(tooLong) + " not added: a path is longer than " + std::to_string(TrackList::pathRoom - 1) +
                " characters\n";
    if (listsUnread > 0)
        text += std::to_string(listsUnread) + (listsUnread == 1 ? " track list was" : " track lists were") +
                " not read: " + listProblem + "\n";
    if (!text.empty()) platform::dialogs().showMessage(text.substr(0, text.size() - 1), "Track list");
    // A track or list that found no room is not opened in its stead.
    return oneTrackOrList && added > 0;
}

void Deck::addFiles(const char* buffer, size_t room, bool openAfter) {
    if (!buffer || room == 0) return;
    {
        platform::MutexLock guard(addMutex);
        addJobs.push_back({std::vector<char>(buffer, buffer + room), openAfter});
        addsPending.fetch_add(1);
    }
    openerWake.release();
}

void Deck::addFilesNow(const std::vector<char>& buffer, bool openAfter) {
    // New entries go in at the first selected entry or the current one. The
    // track that plays keeps playing and stays the current entry: adding
    // to the list in the middle of a set never cuts the mix.
    int32_t wasCurrent = 0, wasCount = 0, place = 0;
    {
        platform::ScopedLock guard(listMutex);
        wasCurrent = tracks.currentIndex;
        wasCount = tracks.count;
        place = wasCurrent;
        for (int32_t i = 0; i < TrackList::capacity; ++i)
            if (tracks.selected[i]) {
                place = i;
                break;
            }
    }
    const bool wasPlaying = playing && wasCount > 0;
    std::set<std::string> listsRead;
    bool oneTrackOrList = addFilesFrom(buffer.data(), buffer.size(), listsRead, 0);
    if (wasPlaying && place <= wasCurrent) {
        platform::ScopedLock guard(listMutex);
        tracks.currentIndex = std::min(wasCurrent + (tracks.count - wasCount), tracks.count - 1);
    }
    if (!openAfter || tracks.empty() || wasPlaying) {
        refreshList();
        return;
    }
    // An entry that cannot be opened is stepped over, as at a track's end.
    if (oneTrackOrList || !playing) requestOpen(+1);
    {
        platform::ScopedLock guard(listMutex);
        std::fill(std::begin(tracks.selected), std::end(tracks.selected), false);
    }
    refreshList();
}

void Deck::addPaths(const std::vector<std::string>& chosen, bool openAfter) {
    if (chosen.empty()) return;
    std::vector<char> buffer;
    auto append = [&buffer](const std::string& text) {
        buffer.insert(buffer.end(), text.begin(), text.end());
        buffer.push_back(0);
    };
    if (chosen.size() == 1) {
        append(chosen.front());
    } else {
        // A selection of one folder's files: the folder, then the names; a
        // name that is a complete path stands for itself.
        std::string folder = paths::directoryOf(completed(chosen.front()));
        append(folder);
        for (const std::string& path : chosen) {
            std::string full = completed(path);
            append(paths::directoryOf(full) == folder ? full.substr(folder.size()) : full);
        }
    }
    buffer.push_back(0);
    addFiles(buffer.data(), buffer.size(), openAfter);
}

namespace {
// An entry as a list at listPath names it: relative to the list's folder
// where the entry is a complete path.
std::string listEntry(const std::string& entry, const std::string& listFolder,
                      const std::vector<std::string>& listDirs) {
    // Another drive or share: only the complete path names it.
    if (!paths::isComplete(entry) || !paths::sameVolume(entry, listFolder)) return entry;
    auto parts = paths::split(entry);
    std::vector<std::string> entryDirs = directoryNames(parts.directory);
    size_t common = 0;
    while (common < listDirs.size() && common < entryDirs.size() && listDirs[common] == entryDirs[common]) ++common;
    std::string relative;
    for (size_t d = common; d < listDirs.size(); ++d) relative += paths::parentStep();
    for (size_t d = common; d < entryDirs.size(); ++d) relative += entryDirs[d] + paths::separator;
    return relative + parts.name + parts.extension;
}

bool isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}
} // namespace

// The list is written beside its place and then put there whole: a save
// that fails (a full disk, a folder that takes no files) leaves the old list
// as it was, and a pipe or device of that name is replaced, never opened.
bool Deck::saveTrackList(const char* listPath) {
    writeLog("Save :");
    writeLog(listPath ? listPath : "");
    writeLog("\n");
    if (!listPath || !*listPath) return false;
    std::vector<std::string> entries;
    {
        platform::ScopedLock guard(listMutex);
        for (int32_t i = 0; i < tracks.count; ++i) entries.emplace_back(tracks.entries[i]);
    }
    // Players show each track's length where the store knows it.
    std::vector<int64_t> seconds(entries.size(), -1);
    if (keeper) seconds = keeper->secondsAt(entries, 2000);
    const std::string listFolder = paths::directoryOf(completed(listPath));
    const std::vector<std::string> listDirs = directoryNames(listFolder);
    std::vector<playlist::Line> lines;
    bool ascii = true;
    for (size_t i = 0; i < entries.size(); ++i) {
        lines.push_back({listEntry(entries[i], listFolder, listDirs), paths::split(entries[i]).name, seconds[i]});
        ascii = ascii && isAscii(entries[i]);
    }
    // Where the system's code page is not UTF-8, players read a ".m3u" in
    // it unless a byte-order mark says otherwise; a ".m3u8" is UTF-8 to all.
    const std::string extension = paths::split(listPath).extension;
    const bool mark = !ascii && !paths::systemCodePageIsUtf8() && extension.size() == 4;
    const std::string text = playlist::text(lines, mark);
    const std::string fresh = std::string(listPath) + ".saving";
    FILE* file = platform::openForWriting(fresh);
    if (!file) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && platform::syncToDisk(file);
    const bool closed = std::fclose(file) == 0;
    if (written && closed && platform::replaceFileWith(fresh, listPath)) return true;
    platform::removeFile(fresh);
    return false;
}

void Deck::deleteSelected() {
    writeLog("Suppr\n");
    {
        platform::ScopedLock guard(listMutex);
        bool any = false;
        for (int32_t i = tracks.count - 1; i >= 0; --i) {
            if (!tracks.selected[i]) continue;
            any = true;
            for (int32_t j = i; j + 1 < tracks.count; ++j)
                std::memcpy(tracks.entries[j], tracks.entries[j + 1], TrackList::pathRoom);
            tracks.count = tracks.count - 1;
            tracks.selected[i] = false;
        }
        if (!any) {
            std::fill(std::begin(tracks.selected), std::end(tracks.selected), false);
            tracks.count = 0;
        }
        if (tracks.count == 0)
            tracks.currentIndex = 0;
        else if (tracks.currentIndex >= tracks.count)
            tracks.currentIndex = tracks.count - 1;
        int32_t lastTop = tracks.count - (profile.listRows - 1);
        if (tracks.viewTop > lastTop) {
            tracks.viewFraction = 0.0f;
            tracks.viewTop = std::max(0, lastTop);
        }
    }
    refreshList();
}

void Deck::moveSelectedUp() {
    platform::ScopedLock guard(listMutex);
    bool any = std::any_of(tracks.selected, tracks.selected + tracks.count, [](bool s) { return s; });
    if (any) {
        for (int32_t i = 1; i < tracks.count; ++i) {
            // An entry moves up past an unselected neighbour; a selected run
            // at the top stays where it is.
            if (!tracks.selected[i] || tracks.selected[i - 1]) continue;
            char held[TrackList::pathRoom];
            std::memcpy(held, tracks.entries[i - 1], TrackList::pathRoom);
            std::memcpy(tracks.entries[i - 1], tracks.entries[i], TrackList::pathRoom);
            std::memcpy(tracks.entries[i], held, TrackList::pathRoom);
            std::swap(tracks.selected[i - 1], tracks.selected[i]);
            if (tracks.currentIndex == i)
                tracks.currentIndex = i - 1;
            else if (tracks.currentIndex == i - 1)
                tracks.currentIndex = i;
        }
        refreshList();
    }
    if (tracks.viewTop > 0 || tracks.viewFraction > 0) {
        tracks.viewFraction = 0.0f;
        tracks.viewTop = std::max(0, tracks.viewTop - 1);
        refreshList();
    }
}

void Deck::moveSelectedDown() {
    platform::ScopedLock guard(listMutex);
    bool any = std::any_of(tracks.selected, tracks.selected + tracks.count, [](bool s) { return s; });
    if (any) {
        for (int32_t i = tracks.count - 2; i >= 0; --i) {
            if (!tracks.selected[i] || tracks.selected[i + 1]) continue;
            char held[TrackList::pathRoom];
            std::memcpy(held, tracks.entries[i + 1], TrackList::pathRoom);
            std::memcpy(tracks.entries[i + 1], tracks.entries[i], TrackList::pathRoom);
            std::memcpy(tracks.entries[i], held, TrackList::pathRoom);
            std::swap(tracks.selected[i + 1], tracks.selected[i]);
            if (tracks.currentIndex == i)
                tracks.currentIndex = i + 1;
            else if (tracks.currentIndex == i + 1)
                tracks.currentIndex = i;
        }
        refreshList();
    }
    if (tracks.viewTop < tracks.count - (profile.listRows - 1)) {
        tracks.viewTop = tracks.viewTop + 1;
        tracks.viewFraction = 0.0f;
        refreshList();
    }
}

void Deck::toggleSelection(int32_t row) {
    int32_t entry = tracks.viewTop + row;
    if (row < 0 || entry >= tracks.count) return;
    {
        platform::ScopedLock guard(listMutex);
        tracks.selected[entry] = !tracks.selected[entry];
    }
    refreshList();
}

void Deck::playRow(int32_t row) {
    int32_t entry = tracks.viewTop + row;
    if (row < 0 || entry >= tracks.count) return;
    {
        platform::ScopedLock guard(listMutex);
        tracks.currentIndex = entry;
        std::fill(std::begin(tracks.selected), std::end(tracks.selected), false);
        tracks.selected[entry] = true;
    }
    // The list shows the choice at once; the track follows from the opener.
    refreshList();
    requestOpen();
}

void Deck::scrollList(float x) {
    int32_t span = tracks.count - (profile.listRows - 1);
    if (tracks.count < profile.listRows - 1 || !(x >= 0.0f)) return;
    float p = static_cast<float>(span) * std::min(x, 1.0f);
    auto top = static_cast<int32_t>(p);
    float fraction = p - static_cast<float>(top);
    if (top == tracks.viewTop && fraction == tracks.viewFraction) return;
    tracks.viewTop = top;
    tracks.viewFraction = fraction;
    refreshList();
}

bool Deck::nextFile() {
    writeLog("next file\n");
    int32_t index = tracks.currentIndex, total = tracks.count;
    if (index + 1 < total) {
        tracks.currentIndex = index + 1;
        return true;
    }
    tracks.currentIndex = total > 0 ? total - 1 : 0;
    return false;
}

bool Deck::previousFile() {
    writeLog("previous file\n");
    int32_t index = tracks.currentIndex;
    if (index > 0) {
        tracks.currentIndex = index - 1;
        return true;
    }
    tracks.currentIndex = 0;
    return false;
}

namespace {
bool sameNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}
} // namespace

// A row shows the track's name; with its extension when another entry of
// that name is another kind of file ("intro.wav" and "intro.mp3").
std::string Deck::rowLabel(int32_t entry) const {
    const auto parts = paths::split(tracks.entries[entry]);
    for (int32_t i = 0; i < tracks.count; ++i) {
        if (i == entry) continue;
        const auto other = paths::split(tracks.entries[i]);
        if (sameNoCase(other.name, parts.name) && !sameNoCase(other.extension, parts.extension))
            return parts.name + parts.extension;
    }
    return parts.name;
}

void Deck::refreshList() {
    constexpr int maxRows = 7;
    std::string labels[maxRows];
    const char* rows[maxRows] = {};
    bool marks[maxRows] = {};
    platform::ScopedLock guard(listMutex);
    int32_t top = tracks.viewTop;
    int32_t rowCount = std::min(profile.listRows, maxRows);
    for (int32_t r = 0; r < rowCount; ++r) {
        int32_t entry = top + r;
        bool inside = entry >= 0 && entry < tracks.count;
        if (inside) labels[r] = rowLabel(entry);
        rows[r] = labels[r].c_str();
        marks[r] = inside && tracks.selected[entry];
    }
    float scroll = 0.0f, fraction = 0.0f;
    if (tracks.count >= profile.listRows) {
        scroll = (static_cast<float>(top) + tracks.viewFraction) / static_cast<float>(tracks.count - (profile.listRows - 1));
        fraction = tracks.viewFraction;
    }
    editorView->showList(rows, marks, tracks.currentIndex - top, scroll, fraction);
}

std::unique_ptr<platform::FileChoice> Deck::startChoosingTracks(uintptr_t parentWindow) {
    std::vector<platform::FileFilter> filters{
        {"All Supported Types", {"*.mp1", "*.mp2", "*.mp3", "*.wav", "*.flac", "*.m3u", "*.m3u8"}},
        {"MPEG Audio Files (.mp1;.mp2;.mp3)", {"*.mp1", "*.mp2", "*.mp3"}},
        {"Microsoft Wav Files (.wav)", {"*.wav"}},
        {"FLAC Files (.flac)", {"*.flac"}},
        {"Track lists (.m3u;.m3u8)", {"*.m3u", "*.m3u8"}},
        {"All Files (*.*)", {"*"}}};
    return platform::dialogs().startFileChoice("Open files", filters, false, parentWindow);
}

void Deck::addChosenFiles(const std::vector<std::string>& chosen) {
    if (chosen.empty()) return;
    // The same layout the add button hands to addFiles: one path, or a
    // folder followed by names; whatever does not fit is left out.
    std::vector<std::string> parts;
    if (chosen.size() == 1) {
        parts.push_back(chosen.front());
    } else {
        std::string folder = paths::directoryOf(chosen.front());
        parts.push_back(folder);
        for (const std::string& path : chosen)
            parts.push_back(paths::directoryOf(path) == folder ? path.substr(folder.size()) : path);
    }
    std::vector<char> buffer(static_cast<size_t>(TrackList::capacity) * TrackList::pathRoom, '\0');
    size_t at = 0;
    for (const std::string& part : parts) {
        if (at + part.size() + 2 > buffer.size()) break;
        std::memcpy(buffer.data() + at, part.c_str(), part.size() + 1);
        at += part.size() + 1;
    }
    if (at == 0) return;
    addFiles(buffer.data(), buffer.size(), true);
}

std::unique_ptr<platform::FileChoice> Deck::startChoosingListToSave(uintptr_t parentWindow) {
    std::vector<platform::FileFilter> filters{{"Track list (.m3u)", {"*.m3u"}},
                                              {"Track list in UTF-8 (.m3u8)", {"*.m3u8"}},
                                              {"All Files (*.*)", {"*"}}};
    return platform::dialogs().startFileChoice("Save track list", filters, true, parentWindow);
}

void Deck::saveChosenList(std::string path) {
    if (path.empty()) return;
    if (paths::split(path).extension.empty()) path += ".m3u";
    if (path.size() + 1 > static_cast<size_t>(TrackList::pathRoom) || !saveTrackList(path.c_str()))
        platform::dialogs().showMessage("The track list could not be saved there. Choose another folder, or "
                                        "check that the disk has room.",
                                        "Track list");
}
