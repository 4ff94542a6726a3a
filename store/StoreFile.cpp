// The store file (a count, then every record byte for byte) and the plain
// text summary beside it. Every host process keeps its own shared store and
// writes the file when its last instance closes: the writer takes a lock on
// the file, reads what is there now, merges it with its own records and
// replaces the file through a temporary file of its own, so that processes
// closing together never lose each other's facts or leave a broken file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <map>
#include <random>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/DurableFiles.h"
#include "log/DebugLog.h"
#include "store/TrackInfoStore.h"

namespace {

constexpr uint64_t recordBytes = sizeof(TrackInfoRecord);

// A temporary name no other writer uses.
std::string temporaryBeside(const std::string& path) {
    static thread_local std::mt19937_64 random(std::random_device{}() ^ platform::processId());
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".new.%u.%016llx", static_cast<unsigned>(platform::processId()),
                  static_cast<unsigned long long>(random()));
    return path + suffix;
}

// Replaces path with what write puts into a fresh temporary file, once it is
// all on disk: a crash or a full disk during the write leaves the old file.
template <typename Write>
bool replaceFile(const std::string& path, Write&& write) {
    const std::string fresh = temporaryBeside(path);
    FILE* file = std::fopen(fresh.c_str(), "wb");
    if (!file) return false;
    bool ok = write(file);
    ok = std::fflush(file) == 0 && ok;
    ok = platform::syncToDisk(file) && ok;
    ok = std::fclose(file) == 0 && ok;
    if (!ok || !platform::replaceFileWith(fresh, path)) {
        std::remove(fresh.c_str());
        return false;
    }
    return true;
}

// Temporary files of writers that died while writing. A writer makes its
// temporary file only while it holds the lock, so whatever is there while
// this writer holds it is left over.
void removeLeftoverTemporaries(const std::string& storePath) {
    std::error_code error;
    const std::filesystem::path store(storePath);
    const std::string prefixes[2] = {store.filename().string() + ".new.", store.filename().string() + ".txt.new."};
    for (const auto& entry : std::filesystem::directory_iterator(store.parent_path(), error)) {
        const std::string name = entry.path().filename().string();
        for (const std::string& prefix : prefixes)
            if (name.compare(0, prefix.size(), prefix) == 0) std::filesystem::remove(entry.path(), error);
    }
}

bool writeBytes(FILE* file, const void* bytes, size_t size) { return std::fwrite(bytes, 1, size, file) == size; }

// A record of the file on disk: where it is, and what identifies it.
struct DiskRecord {
    int32_t signature[4];
    int32_t flags;
    int32_t length;
    int32_t stored;
    uint64_t offset;
};

// Two records hold facts of one track when their signatures agree and they
// do not know different lengths (tracks that begin alike differ there).
bool sameTrack(const int32_t a[4], int32_t aFlags, int32_t aLength, const int32_t b[4], int32_t bFlags,
               int32_t bLength) {
    if (std::memcmp(a, b, 4 * sizeof(int32_t)) != 0) return false;
    const bool bothKnow = (aFlags & TrackInfoRecord::LengthRecorded) && (bFlags & TrackInfoRecord::LengthRecorded);
    return !bothKnow || aLength == bLength;
}

// The facts of both records of one track: each fact from the record that
// knows it, the newer one where both do.
TrackInfoRecord merged(const TrackInfoRecord& mine, const TrackInfoRecord& theirs) {
    const bool mineNewer = mine.stored >= theirs.stored;
    TrackInfoRecord out = mineNewer ? mine : theirs;
    const TrackInfoRecord& older = mineNewer ? theirs : mine;
    if (!(out.flags & TrackInfoRecord::TempoRecorded) && (older.flags & TrackInfoRecord::TempoRecorded)) {
        out.tempo = older.tempo;
        out.flags |= TrackInfoRecord::TempoRecorded;
    }
    if (!(out.flags & TrackInfoRecord::LengthRecorded) && (older.flags & TrackInfoRecord::LengthRecorded)) {
        out.length = older.length;
        out.flags |= TrackInfoRecord::LengthRecorded;
    }
    if (!(out.flags & TrackInfoRecord::BitmapRecorded) && (older.flags & TrackInfoRecord::BitmapRecorded)) {
        std::memcpy(out.bitmap, older.bitmap, sizeof out.bitmap);
        out.flags |= TrackInfoRecord::BitmapRecorded;
    }
    return out;
}

} // namespace

int32_t TrackInfoStore::checkedCount(FILE* file) {
    const uint64_t size = platform::fileSize(file);
    if (size == 0) return 0; // a new, empty store file
    int32_t count = 0;
    if (size < sizeof count || std::fread(&count, 1, sizeof count, file) != sizeof count) return -1;
    // A count the store cannot hold, or the bytes cannot, means the file is
    // not one of ours or is damaged: it is left alone, and never overwritten.
    if (count < 0 || count > capacity || sizeof count + static_cast<uint64_t>(count) * recordBytes > size) return -1;
    return count;
}

bool TrackInfoStore::readStoreFile() {
    FILE* file = std::fopen(storePath.c_str(), "rb");
    if (file && platform::fileSize(file) == 0 && !seedPath.empty()) {
        std::fclose(file);
        file = std::fopen(seedPath.c_str(), "rb");
    }
    if (!file) return true; // no file yet: nothing to lose
    const int32_t count = checkedCount(file);
    if (count < 0) {
        std::fclose(file);
        return false;
    }
    __atomic_store_n(&header->count, count, __ATOMIC_SEQ_CST);
    for (int32_t i = 0; i < count; ++i) {
        if (!mapRecord(i) || std::fread(record(i), 1, recordBytes, file) != recordBytes) {
            std::fclose(file);
            return false;
        }
    }
    std::fclose(file);
    return true;
}

namespace {

std::string withCrLf(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

int32_t lengthSeconds(int32_t frames) {
    const float k = 1.0f / 44100.0f;
    float seconds = static_cast<float>(frames) * k;
    return seconds >= 2147483520.0f || seconds <= -2147483520.0f ? 0 : static_cast<int32_t>(seconds);
}

template <typename... Args>
void appendf(std::string& out, const char* format, Args... args) {
    char line[3200];
    int n = std::snprintf(line, sizeof line, format, args...);
    if (n > 0) out.append(line, std::min<size_t>(static_cast<size_t>(n), sizeof line - 1));
}

} // namespace

std::string TrackInfoStore::summaryText(const std::vector<const TrackInfoRecord*>& records) {
    std::vector<SummaryLine> lines;
    for (const TrackInfoRecord* r : records)
        lines.push_back({r->flags, r->tempo, r->length, r->stored, r->name, r->path});
    return summaryText(lines);
}

std::string TrackInfoStore::summaryText(const std::vector<SummaryLine>& records) {
    std::string text;
    appendf(text,
            "mp3Infos dat file summary\n=========================\nTo modify this file is useless\n\nThere are %d files "
            "registered : \n\n/------- bpm recorded\n| /----- length recorded\n| | /--- bitmap recorded\n| | |\n| | "
            "|    /------ bpm\n| | |    |    /- length (s)\n| | |    |    |      /- last played\n| | |    |    |      "
            "|\n\n",
            static_cast<int>(records.size()));
    for (const SummaryLine& r : records) {
        char date[32];
        std::time_t when = r.stored;
        std::tm local{};
        if (platform::localTime(when, local) && std::strftime(date, sizeof date, "%d-%m-%y", &local) > 0) {
        } else {
            std::snprintf(date, sizeof date, "Error   ");
        }
        appendf(text, "%d %d %d %5.1f %4d %s %.1023s \n   -- %.1023s\n",
                (r.flags & TrackInfoRecord::TempoRecorded) && r.tempo > 0 ? 1 : 0,
                (r.flags & TrackInfoRecord::LengthRecorded) && r.length > 0 ? 1 : 0,
                (r.flags & TrackInfoRecord::BitmapRecorded) ? 1 : 0, static_cast<double>(r.tempo),
                lengthSeconds(r.length), date, r.name.c_str(), r.path.c_str());
    }
    text += "\nHere are the same files in bpm order :\n\n";
    std::vector<const SummaryLine*> byTempo;
    for (const SummaryLine& r : records)
        if (r.flags & TrackInfoRecord::TempoRecorded) byTempo.push_back(&r);
    std::stable_sort(byTempo.begin(), byTempo.end(),
                     [](const SummaryLine* a, const SummaryLine* b) { return a->tempo < b->tempo; });
    for (const SummaryLine* r : byTempo)
        appendf(text, "%5.1f  %4d    %.1023s \n", static_cast<double>(r->tempo), lengthSeconds(r->length),
                r->name.c_str());
    text += "\n=== end of summary ===\n";
    return withCrLf(text);
}

bool TrackInfoStore::writeStoreFile() {
    if (!header || !isLoaded()) return false;
    platform::FileLock oneWriter(storePath + ".lock");
    removeLeftoverTemporaries(storePath);
    // The file as it is now: another process may have written it since.
    std::vector<DiskRecord> onDisk;
    FILE* disk = std::fopen(storePath.c_str(), "rb");
    if (disk) {
        const int32_t count = checkedCount(disk);
        if (count < 0) {
            std::fclose(disk);
            writeLog("store file unreadable: not written\n");
            return false;
        }
        for (int32_t i = 0; i < count; ++i) {
            TrackInfoRecord head;
            const uint64_t offset = sizeof(int32_t) + static_cast<uint64_t>(i) * recordBytes;
            if (std::fseek(disk, static_cast<long>(offset), SEEK_SET) != 0 ||
                std::fread(&head, 1, recordBytes, disk) != recordBytes)
                break;
            DiskRecord d{};
            std::memcpy(d.signature, head.signature, sizeof d.signature);
            d.flags = head.flags;
            d.length = head.length;
            d.stored = head.stored;
            d.offset = offset;
            onDisk.push_back(d);
        }
    }

    // What goes into the file: this store's records (merged with the disk's
    // record of the same track), then the records only the disk has.
    struct Entry {
        int32_t mine = -1;
        int64_t disk = -1;
        int32_t stored = 0;
    };
    std::vector<Entry> entries;
    std::vector<bool> diskTaken(onDisk.size(), false);
    std::multimap<int32_t, size_t> diskBySignature;
    for (size_t d = 0; d < onDisk.size(); ++d) diskBySignature.emplace(onDisk[d].signature[0], d);
    const int32_t mineCount = recordCount();
    for (int32_t i = 0; i < mineCount; ++i) {
        mapRecord(i);
        const TrackInfoRecord* r = record(i);
        if (!r) continue; // a record this instance cannot see is the disk's to keep
        // A slot whose memory ended with the process that filled it (Windows)
        // comes back blank: it holds no fact, and the file has it if any.
        if (r->flags == 0 && !identifies(r->signature)) continue;
        Entry e{i, -1, r->stored};
        auto [first, last] = diskBySignature.equal_range(r->signature[0]);
        for (auto it = first; it != last; ++it) {
            const DiskRecord& d = onDisk[it->second];
            if (diskTaken[it->second] || !sameTrack(r->signature, r->flags, r->length, d.signature, d.flags, d.length))
                continue;
            diskTaken[it->second] = true;
            e.disk = static_cast<int64_t>(it->second);
            e.stored = std::max(e.stored, d.stored);
            break;
        }
        entries.push_back(e);
    }
    for (size_t d = 0; d < onDisk.size(); ++d)
        if (!diskTaken[d]) entries.push_back({-1, static_cast<int64_t>(d), onDisk[d].stored});
    if (entries.size() > static_cast<size_t>(capacity)) {
        // More tracks than a store holds: the ones stored most recently stay.
        std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.stored > b.stored; });
        entries.resize(static_cast<size_t>(capacity));
    }

    std::vector<SummaryLine> summary;
    auto readDisk = [&](int64_t d, TrackInfoRecord& into) {
        return std::fseek(disk, static_cast<long>(onDisk[static_cast<size_t>(d)].offset), SEEK_SET) == 0 &&
               std::fread(&into, 1, recordBytes, disk) == recordBytes;
    };
    // One record at a time: the file is never built whole in memory.
    const bool written = replaceFile(storePath, [&](FILE* out) {
        const auto count = static_cast<int32_t>(entries.size());
        if (!writeBytes(out, &count, sizeof count)) return false;
        TrackInfoRecord buffer, theirs;
        for (const Entry& e : entries) {
            if (e.mine >= 0) {
                std::memcpy(&buffer, record(e.mine), recordBytes);
                if (e.disk >= 0 && readDisk(e.disk, theirs)) buffer = merged(buffer, theirs);
            } else if (!readDisk(e.disk, buffer)) {
                return false;
            }
            if (!writeBytes(out, &buffer, recordBytes)) return false;
            summary.push_back({buffer.flags, buffer.tempo, buffer.length, buffer.stored,
                               std::string(buffer.name, strnlen(buffer.name, sizeof buffer.name)),
                               std::string(buffer.path, strnlen(buffer.path, sizeof buffer.path))});
        }
        // The old file is read to its end: closed before the new one takes
        // its place, which Windows refuses while it is open.
        if (disk) std::fclose(disk);
        disk = nullptr;
        return true;
    });
    if (disk) std::fclose(disk);
    if (!written) {
        writeLog("store file not written\n");
        platform::dialogs().showMessage("The track facts could not be saved in " + storePath +
                                            ": the folder may be read-only or the disk full. Nothing else is lost.",
                                        "tunedeck: track store");
        return false;
    }
    const std::string text = summaryText(summary);
    replaceFile(storePath + ".txt", [&](FILE* out) { return writeBytes(out, text.data(), text.size()); });
    return true;
}
