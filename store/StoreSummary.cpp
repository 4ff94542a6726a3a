#include "store/StoreSummary.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "platform/Clock.h"
#include "store/TrackInfoRecord.h"

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

std::string storeSummary(const std::vector<SummaryLine>& records) {
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

