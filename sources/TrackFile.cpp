#include "sources/TrackFile.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "log/DebugLog.h"
#include "platform/LibraryPin.h"
#include "platform/Mutex.h"
#include "platform/RawFile.h"

namespace {
constexpr int64_t pieceBytes = 256 * 1024; // the largest read handed to the reading thread at once
constexpr uint32_t pollMs = 5;
std::atomic<TrackFile::StallFunction> stallFunction{nullptr};
} // namespace

// What the reading thread shares with the readers. The thread holds it too,
// so a thread left behind in a stalled call still owns everything it uses.
struct TrackFile::Channel {
    platform::Mutex mutex;
    platform::Condition changed;
    std::string path;
    std::unique_ptr<platform::RawFile> raw; // the reading thread's
    bool opened = false;                    // the open has returned
    Problem problem = Problem::None;
    uint64_t size = 0;
    bool slotTaken = false; // a reader's request is under way
    bool pending = false;   // ... and waits for the reading thread
    bool answered = false;  // ... and its bytes are in buffer
    bool dropped = false;   // ... and its reader gave up on it
    bool inCall = false;    // the reading thread is in a system call
    bool quit = false;
    uint64_t offset = 0;
    int64_t want = 0, got = 0;
    std::vector<uint8_t> buffer;
    std::atomic<bool> abandoned{false};
    std::function<bool()> giveUp; // under mutex

    bool givenUp() const { return abandoned.load() || (giveUp && giveUp()); }
    void stall() {
        if (StallFunction function = stallFunction.load()) function(path.c_str());
    }
    void run();
};

void TrackFile::Channel::run() {
    platform::MutexLock lock(mutex);
    inCall = true;
    lock.unlock();
    stall();
    Problem found = Problem::None;
    auto file = platform::RawFile::open(path.c_str(), found);
    lock.lock();
    inCall = false;
    raw = std::move(file);
    problem = found;
    size = raw ? raw->size() : 0;
    opened = true;
    changed.notifyAll();
    while (raw) {
        changed.wait(lock, [this] { return pending || quit; });
        if (quit) break;
        pending = false;
        inCall = true;
        lock.unlock();
        stall();
        const int64_t n = abandoned.load() ? 0 : raw->readAt(offset, buffer.data(), want);
        lock.lock();
        inCall = false;
        got = n;
        if (dropped) {
            // Its reader is gone: the slot is free for the next.
            dropped = false;
            slotTaken = false;
        } else {
            answered = true;
        }
        changed.notifyAll();
    }
    raw.reset();
}

void TrackFile::useStallFunction(StallFunction function) { stallFunction = function; }

TrackFile::Opened TrackFile::open(const char* path, std::function<bool()> giveUp) {
    if (!path || !*path) return {nullptr, Problem::Missing};
    auto channel = std::make_shared<Channel>();
    channel->path = path;
    channel->giveUp = std::move(giveUp);
    channel->buffer.resize(pieceBytes);
    auto reader = std::make_unique<platform::Thread>();
    if (!reader->start([channel] { channel->run(); }, platform::Thread::Priority::Normal))
        return {nullptr, Problem::Unreadable};
    platform::MutexLock lock(channel->mutex);
    while (!channel->opened) {
        channel->changed.waitFor(lock, pollMs);
        if (!channel->opened && channel->givenUp()) {
            channel->quit = true;
            channel->abandoned = true;
            // The reading thread may outlive this instance, and the library.
            platform::keepLibraryLoaded();
            reader->detach();
            writeLog("File open left behind: ");
            writeLog(path);
            writeLog("\n");
            return {nullptr, Problem::GivenUp};
        }
    }
    const Problem problem = channel->problem;
    lock.unlock();
    if (problem != Problem::None) {
        reader->join(); // it ends once the open failed
        return {nullptr, problem};
    }
    std::shared_ptr<TrackFile> file(new TrackFile());
    file->size_ = channel->size;
    file->channel_ = std::move(channel);
    file->reader_ = std::move(reader);
    return {std::move(file), Problem::None};
}

std::shared_ptr<TrackFile> TrackFile::copyOf(const uint8_t* data, size_t size) {
    auto bytes = platform::FileBytes::copyOf(data, size);
    if (!bytes) return nullptr;
    std::shared_ptr<TrackFile> file(new TrackFile());
    file->size_ = bytes->size();
    file->bytes_ = std::move(bytes);
    return file;
}

TrackFile::~TrackFile() {
    if (!channel_) return;
    platform::MutexLock lock(channel_->mutex);
    channel_->quit = true;
    channel_->abandoned = true;
    channel_->changed.notifyAll();
    // No reader is left, so the thread waits for work or is in a call that
    // has not returned (a stalled share): that one is left to end alone.
    const bool stalled = channel_->inCall;
    lock.unlock();
    if (stalled) {
        platform::keepLibraryLoaded();
        reader_->detach();
    } else {
        reader_->join();
    }
}

int64_t TrackFile::read(uint64_t offset, uint8_t* into, int64_t n) {
    if (!into || n <= 0 || offset >= size_) return 0;
    n = static_cast<int64_t>(std::min<uint64_t>(static_cast<uint64_t>(n), size_ - offset));
    if (bytes_) {
        std::memcpy(into, bytes_->data() + offset, static_cast<size_t>(n));
        return n;
    }
    Channel& c = *channel_;
    int64_t total = 0;
    platform::MutexLock lock(c.mutex);
    while (total < n) {
        while (c.slotTaken && !c.givenUp()) c.changed.waitFor(lock, pollMs);
        if (c.givenUp()) break;
        c.slotTaken = true;
        c.offset = offset + static_cast<uint64_t>(total);
        c.want = std::min(n - total, pieceBytes);
        c.pending = true;
        c.changed.notifyAll();
        while (!c.answered && !c.givenUp()) c.changed.waitFor(lock, pollMs);
        if (!c.answered) {
            // Given up: the reading thread frees the slot when its call returns.
            if (c.pending) {
                c.pending = false;
                c.slotTaken = false;
            } else {
                c.dropped = true;
            }
            c.changed.notifyAll();
            break;
        }
        const int64_t got = std::clamp<int64_t>(c.got, 0, c.want);
        std::memcpy(into + total, c.buffer.data(), static_cast<size_t>(got));
        total += got;
        c.answered = false;
        c.slotTaken = false;
        c.changed.notifyAll();
        if (got < c.want) break;
    }
    return total;
}

void TrackFile::abandon() {
    if (!channel_) return;
    platform::MutexLock guard(channel_->mutex);
    channel_->abandoned = true;
    channel_->changed.notifyAll();
}

bool TrackFile::isAbandoned() const { return channel_ && channel_->abandoned.load(); }

void TrackFile::setGiveUp(std::function<bool()> giveUp) {
    if (!channel_) return;
    platform::MutexLock guard(channel_->mutex);
    channel_->giveUp = std::move(giveUp);
}
