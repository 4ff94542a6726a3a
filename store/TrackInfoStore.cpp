#include "store/TrackInfoStore.h"

#include "platform/RelaxedBytes.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Paths.h"
#include "log/DebugLog.h"

namespace {
const char* const headerName = "sharedMemTrakVoxInfos";
const char* const errorCaption = "tunedeck: track store";
constexpr size_t headerBytes = sizeof(TrackInfoHeader) + platform::SharedLock::bytes;

std::string recordName(int32_t index) {
    char name[64];
    std::snprintf(name, sizeof name, "sharedMemTrakVoxInfosDet%d", index);
    return name;
}

const char* fileNamePart(const char* path) {
    return path + platform::paths::directoryOf(path).size();
}

// The users counter is changed without the store's lock, by several
// instances: an atomic add keeps it right.
int32_t addUsers(TrackInfoHeader* header, int32_t delta) {
    return __atomic_add_fetch(&header->users, delta, __ATOMIC_SEQ_CST);
}

// Instances of this process attached to the shared store. Where the store is
// shared between processes (Windows), a record lives only while some process
// has it mapped: one this process learned and no other has mapped yet goes
// with this process's last instance.
std::atomic<int32_t> instancesInProcess{0};
} // namespace

TrackInfoStore::TrackInfoStore(const std::string& path, const std::string& seed)
    : storePath(path), seedPath(seed), recordBlocks(capacity) {
    bool existed = false;
    headerBlock = platform::SharedMemory::open(headerName, headerBytes, existed);
    if (!headerBlock) {
        platform::dialogs().showMessage("The track store could not be opened: not enough shared memory. Tracks still "
                                        "play; their facts (length, tempo, overview) will not be kept.",
                                        errorCaption);
        return;
    }
    header = reinterpret_cast<TrackInfoHeader*>(headerBlock->data());
    void* lockPlace = headerBlock->data() + sizeof(TrackInfoHeader);
    addUsers(header, 1);
    ++instancesInProcess;
    if (existed) {
        lock = std::make_unique<platform::SharedLock>(lockPlace, false);
        mapNewRecords();
    } else {
        lock = std::make_unique<platform::SharedLock>(lockPlace, true);
        const bool read = readStoreFile();
        __atomic_store_n(&header->loaded, read ? 1 : 0, __ATOMIC_SEQ_CST);
        if (!read && memoryFailed) {
            // Not every record of the file fits the shared memory: the store
            // stays out of use, and the file is never written from a part of it.
            for (int32_t i = 0; i < capacity; ++i)
                if (recordBlocks[i]) platform::SharedMemory::remove(recordName(i));
            recordBlocks.assign(capacity, nullptr);
            lock->destroy();
            lock.reset();
            --instancesInProcess;
            platform::SharedMemory::remove(headerName);
            header = nullptr;
            headerBlock.reset();
            return;
        }
    }
    refreshThread.start([this] { refresh(); }, platform::Thread::Priority::Lowest);
}

TrackInfoStore::~TrackInfoStore() {
    {
        std::lock_guard<std::mutex> guard(stopMutex);
        stopFlag = true;
    }
    stopSignal.notify_all();
    if (!refreshThread.waitFor(1000)) writeLog("Store refresher slow to stop\n");
    refreshThread.join();
    if (!header) return;
    const bool lastInProcess = --instancesInProcess == 0;
    const bool lastUser = addUsers(header, -1) == 0;
    // The last instance writes the store; so does a process's last one while
    // other processes go on, since what only it has mapped ends with it. The
    // write merges with the file, so no writer loses another's facts.
    if (lastUser || lastInProcess) {
        // Nothing may leave a host's close: a write that runs out of memory
        // leaves the file as it was.
        try {
            writeStoreFile();
        } catch (...) {
            writeLog("store file not written\n");
        }
    }
    if (lastUser) {
        lock->destroy();
        // The last instance ends the shared store: the next one to attach
        // reads the file afresh, as after a new start of the host.
        for (int32_t i = 0; i < capacity; ++i)
            if (recordBlocks[i]) platform::SharedMemory::remove(recordName(i));
        platform::SharedMemory::remove(headerName);
    }
}

void TrackInfoStore::refresh() {
    std::unique_lock<std::mutex> guard(stopMutex);
    while (!stopFlag) {
        guard.unlock();
        mapNewRecords();
        guard.lock();
        stopSignal.wait_for(guard, std::chrono::milliseconds(1000), [this] { return stopFlag.load(); });
    }
}

int32_t TrackInfoStore::recordCount() const {
    return header ? std::clamp(__atomic_load_n(&header->count, __ATOMIC_SEQ_CST), 0, capacity) : 0;
}

bool TrackInfoStore::isLoaded() const { return header && __atomic_load_n(&header->loaded, __ATOMIC_SEQ_CST) != 0; }

int32_t TrackInfoStore::userCount() const { return header ? __atomic_load_n(&header->users, __ATOMIC_SEQ_CST) : 0; }

bool TrackInfoStore::mapRecord(int32_t index) {
    if (index < 0 || index >= capacity) return false;
    {
        std::lock_guard<std::mutex> guard(viewMutex);
        if (recordBlocks[index]) return true;
    }
    bool existed = false;
    std::string name = recordName(index);
    auto block = platform::SharedMemory::open(name, sizeof(TrackInfoRecord), existed);
    if (!block) {
        // Said once: every later track would say it again.
        if (!memoryFailed)
            platform::dialogs().showMessage("The track store has run out of shared memory. Tracks still play; the "
                                            "facts of tracks not yet known will not be kept.",
                                            errorCaption);
        memoryFailed = true;
        return false;
    }
    std::lock_guard<std::mutex> guard(viewMutex);
    if (!recordBlocks[index]) recordBlocks[index] = std::move(block);
    return true;
}

void TrackInfoStore::mapNewRecords() {
    const int32_t count = recordCount();
    for (int32_t i = 0; i < count; ++i) {
        bool mapped;
        {
            std::lock_guard<std::mutex> guard(viewMutex);
            mapped = recordBlocks[i] != nullptr;
        }
        if (!mapped && !mapRecord(i)) break;
    }
}

TrackInfoRecord* TrackInfoStore::record(int32_t index) {
    if (index < 0 || index >= capacity) return nullptr;
    std::lock_guard<std::mutex> guard(viewMutex);
    return recordBlocks[index] ? reinterpret_cast<TrackInfoRecord*>(recordBlocks[index]->data()) : nullptr;
}

bool TrackInfoStore::identifies(const int32_t signature[4]) {
    return signature && !(signature[0] == signature[1] && signature[1] == signature[2] && signature[2] == signature[3]);
}

int32_t TrackInfoStore::findRecord(const int32_t signature[4], int32_t exactLength) {
    mapNewRecords();
    const int32_t count = recordCount();
    for (int32_t i = 0; i < count; ++i) {
        const TrackInfoRecord* r = record(i);
        if (!r || std::memcmp(r->signature, signature, sizeof r->signature) != 0) continue;
        if (exactLength > 0 && (r->flags & TrackInfoRecord::LengthRecorded) && r->length != exactLength) continue;
        return i;
    }
    return count;
}

void TrackInfoStore::putRecord(const int32_t signature[4], const char* path, float tempo, int32_t length,
                               const uint8_t* pixels, bool hasTempo, bool hasLength, bool hasBitmap,
                               int32_t exactLength) {
    if (!header || !identifies(signature) || !(hasTempo || hasLength || hasBitmap)) return;
    lock->lock();
    int32_t i = findRecord(signature, exactLength);
    TrackInfoRecord* r = nullptr;
    if (i == recordCount()) {
        if (i >= capacity || !mapRecord(i)) {
            lock->unlock();
            return;
        }
        r = record(i);
        r->flags = 0;
        __atomic_store_n(&header->count, i + 1, __ATOMIC_SEQ_CST);
    } else {
        r = record(i);
    }
    if (!r) {
        lock->unlock();
        return;
    }
    std::memcpy(r->signature, signature, sizeof r->signature);
    const char* fullPath = path ? path : "";
    std::snprintf(r->path, sizeof r->path, "%s", fullPath);
    std::snprintf(r->name, sizeof r->name, "%s", fileNamePart(fullPath));
    r->stored = static_cast<int32_t>(std::time(nullptr));
    r->bitmapWidth = TrackInfoRecord::bitmapWide;
    r->bitmapHeight = TrackInfoRecord::bitmapHigh;
    if (hasTempo) {
        r->tempo = tempo;
        r->flags |= TrackInfoRecord::TempoRecorded;
    }
    if (hasLength) {
        r->length = length;
        r->flags |= TrackInfoRecord::LengthRecorded;
    }
    if (hasBitmap && pixels) {
        relaxedBytes::copyOut(r->bitmap, pixels, sizeof r->bitmap);
        r->flags |= TrackInfoRecord::BitmapRecorded;
    }
    lock->unlock();
}

TrackInfoRecord TrackInfoStore::getRecord(const int32_t signature[4], const char* path, bool mayAsk,
                                          int32_t exactLength) {
    TrackInfoRecord copy{};
    if (!header || !identifies(signature)) return copy;
    lock->lock();
    int32_t i = findRecord(signature, exactLength);
    const int32_t count = recordCount();
    const TrackInfoRecord* found = i < count ? record(i) : nullptr;
    if (!found && path && count > 0) {
        const char* name = fileNamePart(path);
        for (int32_t j = 0; j < count && !found; ++j) {
            TrackInfoRecord* r = record(j);
            if (!r || strncmp(r->name, name, sizeof r->name) != 0) continue;
            char text[1400];
            std::snprintf(text, sizeof text,
                          "%s has the name of a track the store knows, but other contents.\nIt is probably the "
                          "same music encoded differently.\nUse what the store knows of it (length, tempo, overview)?",
                          path);
            // Without a person to ask (a track opened by MIDI or at the end of
            // the previous one) the answer is No.
            if (mayAsk && platform::dialogs().askYesNo(text, "tunedeck: track store")) {
                std::memcpy(r->signature, signature, sizeof r->signature);
                found = r;
            }
        }
    }
    if (found) std::memcpy(&copy, found, sizeof copy);
    lock->unlock();
    return copy;
}
