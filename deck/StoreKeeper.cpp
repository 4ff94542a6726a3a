#include "deck/StoreKeeper.h"

#include "log/DebugLog.h"
#include "platform/Mutex.h"

StoreKeeper::StoreKeeper(std::string databasePath, std::vector<std::string> legacyFiles, OnFound onFound,
                         OnProblem onProblem)
    : databasePath_(std::move(databasePath)), legacyFiles_(std::move(legacyFiles)), onFound_(std::move(onFound)),
      onProblem_(std::move(onProblem)) {
    // Without a thread (the system has none to give) nothing is queued, so
    // nobody waits for work that would never be done.
    if (!thread_.start([this] { run(); }, platform::Thread::Priority::Normal)) quit_ = true;
}

StoreKeeper::~StoreKeeper() {
    {
        platform::MutexLock guard(mutex_);
        quit_ = true;
    }
    changed_.notifyAll();
    thread_.join();
}

void StoreKeeper::lookUp(uint32_t generation, const TrackIdentity& identity) {
    {
        platform::MutexLock guard(mutex_);
        if (quit_) return;
        jobs_.push_back({true, generation, identity, {}, nullptr});
    }
    changed_.notifyAll();
}

void StoreKeeper::keep(const TrackIdentity& identity, TrackFacts facts) {
    {
        platform::MutexLock guard(mutex_);
        if (quit_) return;
        jobs_.push_back({false, 0, identity, std::move(facts), nullptr});
    }
    changed_.notifyAll();
}

std::vector<int64_t> StoreKeeper::secondsAt(const std::vector<std::string>& paths, uint32_t waitMs) {
    auto question = std::make_shared<Lengths>();
    question->paths = paths;
    platform::MutexLock lock(mutex_);
    if (quit_) return std::vector<int64_t>(paths.size(), -1);
    Job job;
    job.lengths = question;
    jobs_.push_back(std::move(job));
    changed_.notifyAll();
    // The answer is the question's own: a keeper that answers late writes
    // into what this caller has already left.
    if (changed_.waitFor(lock, waitMs, [&] { return question->done; }))
        return question->seconds;
    return std::vector<int64_t>(paths.size(), -1);
}

void StoreKeeper::settle() {
    platform::MutexLock lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.empty() && !busy_; });
}

const char* StoreKeeper::problem() {
    platform::MutexLock guard(mutex_);
    return problem_;
}

void StoreKeeper::run() {
    // Opened here, off the host's threads: a first open may carry a large
    // first-store file over.
    TrackStore store(databasePath_);
    for (const std::string& legacy : legacyFiles_) store.carryOver(legacy);
    if (store.problem() && onProblem_) onProblem_(store.problem());
    platform::MutexLock lock(mutex_);
    problem_ = store.problem();
    while (true) {
        changed_.wait(lock, [this] { return quit_ || !jobs_.empty(); });
        if (jobs_.empty()) break; // quitting, with everything kept
        Job job = std::move(jobs_.front());
        jobs_.pop_front();
        busy_ = true;
        lock.unlock();
        Found found;
        if (job.lengths) {
            std::vector<int64_t> seconds;
            for (const std::string& path : job.lengths->paths) seconds.push_back(store.secondsAt(path));
            lock.lock();
            job.lengths->seconds = std::move(seconds);
            job.lengths->done = true;
            busy_ = false;
            changed_.notifyAll();
            continue;
        } else if (job.lookUp) {
            found.generation = job.generation;
            found.known = store.find(job.identity, found.facts);
        } else {
            // Other processes may hold the database a while: a fact is
            // tried again rather than lost.
            for (int attempt = 0; !store.learn(job.identity, job.facts) && store.wasBusy() && attempt < 3; ++attempt) {
            }
        }
        if (job.lookUp && onFound_) onFound_(found);
        // A new problem is told once, as it comes.
        const char* now = store.problem();
        if (now && now != problem() && onProblem_) onProblem_(now);
        lock.lock();
        problem_ = now;
        busy_ = false;
        changed_.notifyAll();
    }
}
