// The track store with 200,000 tracks, as a DJ's library grows: how long a
// host process's first open and a lookup take, how long keeping a fact
// takes (on the store keeper's thread, never the host's), and the resident
// memory the store costs. Baseline in the same run: the same lookups in a
// store of 1,000 tracks.
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "store/TrackInfoRecord.h"
#include "store/TrackStore.h"

namespace {

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

TrackIdentity identityOf(uint32_t n) {
    TrackIdentity identity;
    for (int i = 0; i < 16; ++i) identity.fingerprint[i] = static_cast<uint8_t>((n * 2654435761u) >> (i % 4 * 8) ^ i);
    identity.frames = 44100 * 180 + n;
    identity.sampleRate = 44100;
    return identity;
}

// Fills a new store with count tracks, each with a tempo, a length and an overview.
void fill(const std::string& path, uint32_t count) {
    { TrackStore create(path); }
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO tracks(fingerprint, frames, rate, name, path, tempo, length, overview, "
                           "learned, played) VALUES(?1, ?2, ?3, ?4, ?4, 120.0, ?2, ?5, 0, 0)", -1, &insert, nullptr);
    std::vector<uint8_t> overview(TrackInfoRecord::bitmapBytes, 0x40);
    for (uint32_t n = 0; n < count; ++n) {
        const TrackIdentity identity = identityOf(n);
        const std::string name = "/music/artist " + std::to_string(n % 977) + "/track " + std::to_string(n) + ".mp3";
        overview[n % overview.size()] = static_cast<uint8_t>(n);
        sqlite3_bind_blob(insert, 1, identity.fingerprint.data(), 16, SQLITE_STATIC);
        sqlite3_bind_int64(insert, 2, identity.frames);
        sqlite3_bind_int(insert, 3, identity.sampleRate);
        sqlite3_bind_text(insert, 4, name.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(insert, 5, overview.data(), static_cast<int>(overview.size()), SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
}

struct Figures {
    double open, worstLookup, meanLookup, worstKeep;
    long residentKb;
};

Figures measure(const std::string& path, uint32_t count) {
    Figures f{};
    const long before = residentKb();
    auto start = Clock::now();
    TrackStore store(path);
    f.open = msSince(start);
    std::mt19937 random(5);
    double total = 0;
    for (int i = 0; i < 1000; ++i) {
        TrackFacts facts;
        start = Clock::now();
        store.find(identityOf(random() % count), facts);
        const double ms = msSince(start);
        total += ms;
        f.worstLookup = std::max(f.worstLookup, ms);
    }
    f.meanLookup = total / 1000;
    for (int i = 0; i < 50; ++i) {
        TrackFacts facts;
        facts.hasTempo = true;
        facts.tempo = 126.0f;
        start = Clock::now();
        store.learn(identityOf(random() % count), facts);
        f.worstKeep = std::max(f.worstKeep, msSince(start));
    }
    f.residentKb = residentKb() - before;
    return f;
}

} // namespace

int main() {
    const auto folder = std::filesystem::temp_directory_path() / "tunedeck-store-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const std::string small = (folder / "small.db").string(), large = (folder / "large.db").string();
    fill(small, 1000);
    auto start = Clock::now();
    fill(large, 200000);
    std::printf("filled 200,000 tracks in %.1f s (%.0f MB)\n", msSince(start) / 1000,
                static_cast<double>(std::filesystem::file_size(large)) / 1e6);
    const Figures base = measure(small, 1000);
    const Figures big = measure(large, 200000);
    std::printf("%-16s %10s %12s %12s %12s %12s\n", "store", "open ms", "lookup ms", "worst ms", "keep ms", "resident MB");
    for (const auto& [name, f] : {std::pair{"1,000 tracks", base}, std::pair{"200,000 tracks", big}})
        std::printf("%-16s %10.2f %12.3f %12.3f %12.2f %12.1f\n", name, f.open, f.meanLookup, f.worstLookup, f.worstKeep,
                    static_cast<double>(f.residentKb) / 1024);
    std::printf("200,000 against 1,000: open %.1fx, lookup %.1fx\n", big.open / std::max(base.open, 1e-3),
                big.meanLookup / std::max(base.meanLookup, 1e-6));
    std::filesystem::remove_all(folder);
    return 0;
}
