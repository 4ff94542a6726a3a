#pragma once
// The track information store shared by every instance of the process: a
// header and one record per track in named shared memory, guarded by one
// lock, loaded from the store file by the first instance to attach and
// written back by the last to detach.
//
// Threads: lookups run on the thread that opens a track (the GUI or the
// player's opener thread), stores also on loader threads; all take the
// shared lock. The refresher maps records that other instances added, on its
// own thread, under this instance's view lock.
#include <atomic>
#include <cstdio>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/SharedMemory.h"
#include "platform/Thread.h"
#include "store/TrackInfoRecord.h"

class TrackInfoStore {
public:
    static constexpr int32_t capacity = 16384;

    // seedPath: a store file to read when storePath holds none yet (the
    // facts of a folder the store can no longer be written in).
    explicit TrackInfoStore(const std::string& storePath, const std::string& seedPath = std::string());
    virtual ~TrackInfoStore();
    TrackInfoStore(const TrackInfoStore&) = delete;
    TrackInfoStore& operator=(const TrackInfoStore&) = delete;

    // False when the shared memory could not be had: the store is then inert.
    bool usable() const { return header != nullptr; }

    // A signature whose four words are all alike (silence, a constant) says
    // nothing of the track: it finds and stores nothing.
    static bool identifies(const int32_t signature[4]);
    // exactLength: the length a track's own header gives (WAV, FLAC), 0 when
    // none; a record that knows another length is another track's.
    int32_t findRecord(const int32_t signature[4], int32_t exactLength = 0);
    void putRecord(const int32_t signature[4], const char* path, float tempo, int32_t length, const uint8_t* pixels,
                   bool hasTempo, bool hasLength, bool hasBitmap, int32_t exactLength = 0);
    // A copy of the signature's record, flags 0 when there is none. With a
    // path and mayAsk, a record of the same file name is offered to the user.
    TrackInfoRecord getRecord(const int32_t signature[4], const char* path, bool mayAsk, int32_t exactLength = 0);
    void mapNewRecords();
    bool mapRecord(int32_t index);

    int32_t recordCount() const;
    int32_t userCount() const;
    const std::string& path() const { return storePath; }

    // The store file and its summary. readStoreFile is false when the file
    // cannot be read (it is then never written); writeStoreFile merges this
    // store's records with the file as it is now.
    bool readStoreFile();
    bool writeStoreFile();
    struct SummaryLine {
        int32_t flags;
        float tempo;
        int32_t length;
        int32_t stored;
        std::string name, path;
    };
    static std::string summaryText(const std::vector<const TrackInfoRecord*>& records);
    static std::string summaryText(const std::vector<SummaryLine>& records);
    // Whether the store file was read whole when the shared store was made:
    // the store's own state, the same for every instance.
    bool isLoaded() const;

private:
    TrackInfoRecord* record(int32_t index);
    void refresh();
    // The count of a store file, checked against its size; -1 when the file
    // cannot be one of ours.
    static int32_t checkedCount(FILE* file);

    std::string storePath;
    std::string seedPath;
    std::shared_ptr<platform::SharedMemory> headerBlock;
    TrackInfoHeader* header = nullptr;
    std::unique_ptr<platform::SharedLock> lock;
    std::vector<std::shared_ptr<platform::SharedMemory>> recordBlocks;
    std::mutex viewMutex; // this instance's record views: refresher and lookups
    bool memoryFailed = false; // a block could not be made
    std::atomic<bool> stopFlag{false};
    std::mutex stopMutex;
    std::condition_variable stopSignal; // wakes the refresher at once on detaching
    platform::Thread refreshThread;
};
