#pragma once
// The track store: what the deck learns about each track (its exact length,
// its tempo, its overview picture), kept in one SQLite database per user and
// shared by every instance in every host process of that user. Each fact is
// committed as soon as it is learned, so a host that dies loses at most the
// fact being written. A track is known by the fingerprint of its sound with
// its exact length and sample rate, so renaming, moving or retagging it
// keeps its facts and two tracks that begin alike stay two. Records carried
// over from the first store's "trakvox.dat" are found by that store's
// four-word signature, confirmed by length, and take the fingerprint when
// first met.
//
// Threads: one thread uses a store at a time (the deck's store keeper);
// other processes use the same database through SQLite's own locking.
#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include <array>
#include "store/StoreSummary.h"

struct TrackIdentity {
    std::array<uint8_t, 16> fingerprint{}; // of the track's sound (sources/Fingerprint.h)
    int64_t frames = 0; // the exact length when known as the track is identified; 0 otherwise
    int32_t sampleRate = 0;
    int32_t signature[4] = {};
    bool hasSignature = false; // the first store's words, to find what it knew
};

struct TrackFacts {
    std::string name, path;
    bool hasTempo = false;
    float tempo = 0.0f;
    bool tempoByUser = false;   // tapped or set by the user, not found by analysis
    bool hasFirstBeat = false;  // the beat grid's first beat
    double firstBeat = 0.0;     // seconds from the track's start
    bool hasKey = false;
    int32_t key = 0;            // tonic 0 (C) to 11 (B), plus 12 for minor
    // Every beat in seconds where the tempo moves; empty for a constant
    // tempo (the grid is then the tempo and the first beat).
    std::vector<double> beats;
    bool hasLength = false;
    int64_t length = 0;
    bool hasOverview = false;
    std::vector<uint8_t> overview;
};

class TrackStore {
public:
    // The database's name in the user's data folder.
    static constexpr const char* fileName = "tracks.db";

    // Opens path, making it and its tables when there are none; a damaged
    // database is moved aside (its name with ".damaged") and a new one made.
    explicit TrackStore(const std::string& path);
    ~TrackStore();
    TrackStore(const TrackStore&) = delete;
    TrackStore& operator=(const TrackStore&) = delete;

    bool usable() const { return db_ != nullptr; }
    // What went wrong last, in the user's words (a text that lives for the
    // whole program); null while nothing has.
    const char* problem() const { return problem_; }

    // The facts known of the track; false when none are.
    bool find(const TrackIdentity& identity, TrackFacts& facts);
    // Adds what facts know to the track's record (made when there is none)
    // and marks it played now. False when the database cannot be written.
    bool learn(const TrackIdentity& identity, const TrackFacts& facts);
    // The length in whole seconds of the track last learned at path; -1
    // when the store knows none.
    int64_t secondsAt(const std::string& path);
    // Whether the last failure was other processes holding the database
    // longer than the busy wait: worth another try.
    bool wasBusy() const { return busy_; }
    // Takes in the records of a first store's file, once for each file: the
    // number taken, 0 when the file was taken before or is missing, -1 when
    // it is not such a file or cannot be read.
    int carryOver(const std::string& legacyPath);

    int64_t recordCount();
    std::vector<SummaryLine> summaryLines();

private:
    bool exec(const char* sql);
    void failed(const char* what);

    sqlite3* db_ = nullptr;
    std::string path_;
    const char* problem_ = nullptr;
    bool busy_ = false;
};
