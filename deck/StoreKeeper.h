#pragma once
// The deck's keeper of the track store: a thread of its own that asks the
// store about the track just identified and keeps each fact the moment it
// is learned, so that neither the host's audio thread nor its GUI thread
// ever waits for the database. The first time, the first store's files
// ("trakvox.dat") are carried into it.
//
// Threads: any thread but the audio thread queues work; the keeper's thread
// alone uses the store and calls onFound. The destructor finishes what is
// queued, then ends the thread.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Mutex.h"
#include "platform/Thread.h"
#include "store/TrackStore.h"

class StoreKeeper {
public:
    struct Found {
        uint32_t generation = 0;
        bool known = false;
        TrackFacts facts;
    };
    using OnFound = std::function<void(const Found&)>;
    // Called on the keeper's thread when the store's problem changes.
    using OnProblem = std::function<void(const char*)>;

    StoreKeeper(std::string databasePath, std::vector<std::string> legacyFiles, OnFound onFound,
                OnProblem onProblem = nullptr);
    ~StoreKeeper();
    StoreKeeper(const StoreKeeper&) = delete;
    StoreKeeper& operator=(const StoreKeeper&) = delete;

    // Asks what the store knows of the track; onFound answers with generation.
    void lookUp(uint32_t generation, const TrackIdentity& identity);
    // Keeps the facts of the track.
    void keep(const TrackIdentity& identity, TrackFacts facts);
    // The lengths in seconds the store knows for paths (-1 where none), or
    // all -1 when the store has not answered within waitMs.
    std::vector<int64_t> secondsAt(const std::vector<std::string>& paths, uint32_t waitMs);
    // Waits until all queued work is done (tests and tools).
    void settle();
    // The store's last problem in the user's words; null while it has none.
    const char* problem();

private:
    struct Lengths {
        std::vector<std::string> paths;
        std::vector<int64_t> seconds;
        bool done = false;
    };
    struct Job {
        bool lookUp = false;
        uint32_t generation = 0;
        TrackIdentity identity;
        TrackFacts facts;
        std::shared_ptr<Lengths> lengths; // a question of lengths instead
    };
    void run();

    std::string databasePath_;
    std::vector<std::string> legacyFiles_;
    OnFound onFound_;
    OnProblem onProblem_;
    platform::Mutex mutex_;
    platform::Condition changed_;
    std::deque<Job> jobs_;
    bool busy_ = false;
    bool quit_ = false;
    const char* problem_ = nullptr;
    platform::Thread thread_;
};
