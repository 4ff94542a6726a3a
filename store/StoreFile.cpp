// The store file (a count, then every record byte for byte) and the plain
// text summary beside it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "plugin/DebugLog.h"
#include "store/TrackInfoStore.h"

namespace {

bool writeWhole(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

// Replaces path with bytes only once they are all on disk: a crash or a full
// disk during the write leaves the old file as it was.
bool replaceFile(const std::string& path, const std::string& bytes) {
    const std::string fresh = path + ".new";
    if (!writeWhole(fresh, bytes)) {
        std::remove(fresh.c_str());
        return false;
    }
    if (std::rename(fresh.c_str(), path.c_str()) != 0) {
        std::remove(fresh.c_str());
        return false;
    }
    return true;
}

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

bool TrackInfoStore::readStoreFile() {
    FILE* file = std::fopen(storePath.c_str(), "rb");
    if (!file) return false;
    int32_t count = 0;
    if (std::fread(&count, 1, sizeof count, file) != sizeof count) count = 0;
    // A count the store cannot hold means the file is not one of ours, or is
    // damaged: it is left alone, and never overwritten.
    if (count < 0 || count > capacity) {
        std::fclose(file);
        return false;
    }
    __atomic_store_n(&header->count, count, __ATOMIC_SEQ_CST);
    for (int32_t i = 0; i < count && !std::feof(file); ++i) {
        if (!mapRecord(i)) {
            std::fclose(file);
            return false;
        }
        std::fread(record(i), 1, sizeof(TrackInfoRecord), file);
    }
    std::fclose(file);
    loaded = true;
    return true;
}

std::string TrackInfoStore::summaryText(const std::vector<const TrackInfoRecord*>& records) {
    std::string text;
    appendf(text,
            "mp3Infos dat file summary\n=========================\nTo modify this file is useless\n\nThere are %d files "
            "registered : \n\n/------- bpm recorded\n| /----- length recorded\n| | /--- bitmap recorded\n| | |\n| | "
            "|    /------ bpm\n| | |    |    /- length (s)\n| | |    |    |      /- last played\n| | |    |    |      "
            "|\n\n",
            static_cast<int>(records.size()));
    for (const TrackInfoRecord* r : records) {
        char date[32];
        std::time_t when = r->stored;
        std::tm local{};
        if (localtime_r(&when, &local) && std::strftime(date, sizeof date, "%d-%m-%y", &local) > 0) {
        } else {
            std::snprintf(date, sizeof date, "Error   ");
        }
        appendf(text, "%d %d %d %5.1f %4d %s %.1023s \n   -- %.1023s\n",
                (r->flags & TrackInfoRecord::TempoRecorded) && r->tempo > 0 ? 1 : 0,
                (r->flags & TrackInfoRecord::LengthRecorded) && r->length > 0 ? 1 : 0,
                (r->flags & TrackInfoRecord::BitmapRecorded) ? 1 : 0, static_cast<double>(r->tempo),
                lengthSeconds(r->length), date, r->name, r->path);
    }
    text += "\nHere are the same files in bpm order :\n\n";
    std::vector<const TrackInfoRecord*> byTempo;
    for (const TrackInfoRecord* r : records)
        if (r->flags & TrackInfoRecord::TempoRecorded) byTempo.push_back(r);
    std::stable_sort(byTempo.begin(), byTempo.end(),
                     [](const TrackInfoRecord* a, const TrackInfoRecord* b) { return a->tempo < b->tempo; });
    for (const TrackInfoRecord* r : byTempo)
        appendf(text, "%5.1f  %4d    %.1023s \n", static_cast<double>(r->tempo), lengthSeconds(r->length), r->name);
    text += "\n=== end of summary ===\n";
    return withCrLf(text);
}

void TrackInfoStore::writeStoreFile() {
    if (!loaded || !header) return;
    const int32_t count = recordCount();
    std::string bytes(reinterpret_cast<const char*>(&count), sizeof count);
    std::vector<const TrackInfoRecord*> records;
    static const TrackInfoRecord empty{};
    for (int32_t i = 0; i < count; ++i) {
        mapRecord(i);
        const TrackInfoRecord* r = record(i);
        if (!r) r = &empty;
        records.push_back(r);
        bytes.append(reinterpret_cast<const char*>(r), sizeof(TrackInfoRecord));
    }
    if (!replaceFile(storePath, bytes)) {
        writeLog("store file not written\n");
        return;
    }
    replaceFile(storePath + ".txt", summaryText(records));
}
