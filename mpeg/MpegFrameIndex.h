#pragma once
// Where each frame of an MPEG track begins: its byte offset, its first
// sample as a straight decode from the start counts it, and the byte offset
// where decoding must begin for that frame to come out exactly as in the
// straight decode (earlier frames refill Layer III's bit reservoir).
//
// Threads: one writer, the loader, appends; any reader (the audio thread)
// sees the entries below size() without a lock. Entries live in chunks that
// never move: the directory of chunks has a fixed size, a new chunk is
// allocated by the writer before the count that reveals it is published.
#include <atomic>
#include <cstdint>
#include <new>

class MpegFrameIndex {
public:
    struct Entry {
        int64_t offset = 0;
        int64_t restart = 0;
        int64_t firstSample = 0;
    };
    static constexpr int32_t chunkEntries = 4096;
    static constexpr int32_t maxChunks = 2048; // 8 million frames: more than any int32 length holds

    MpegFrameIndex() = default;
    ~MpegFrameIndex() {
        for (auto& chunk : chunks) delete[] chunk.load(std::memory_order_relaxed);
    }
    MpegFrameIndex(const MpegFrameIndex&) = delete;
    MpegFrameIndex& operator=(const MpegFrameIndex&) = delete;

    // Writer only. False when the index is full.
    bool append(const Entry& entry) {
        const int32_t n = count.load(std::memory_order_relaxed);
        const int32_t chunk = n / chunkEntries;
        if (chunk >= maxChunks) return false;
        Entry* entries = chunks[chunk].load(std::memory_order_relaxed);
        if (!entries) {
            entries = new (std::nothrow) Entry[chunkEntries];
            if (!entries) return false;
            chunks[chunk].store(entries, std::memory_order_release);
        }
        entries[n % chunkEntries] = entry;
        count.store(n + 1, std::memory_order_release);
        return true;
    }
    // Writer only: the walk reached the end; total is the track's length.
    void finish(int64_t totalSamples) {
        total.store(totalSamples, std::memory_order_relaxed);
        complete.store(true, std::memory_order_release);
    }

    int32_t size() const { return count.load(std::memory_order_acquire); }
    bool isComplete() const { return complete.load(std::memory_order_acquire); }
    int64_t totalSamples() const { return total.load(std::memory_order_relaxed); }
    // i must be below a size() this thread has read.
    const Entry& at(int32_t i) const {
        return chunks[i / chunkEntries].load(std::memory_order_acquire)[i % chunkEntries];
    }

    // The entry of the frame that holds sample, among the first n entries
    // (the last one whose first sample is at or before it); -1 when none.
    int32_t frameHolding(int64_t sample, int32_t n) const {
        int32_t low = 0, high = n - 1, found = -1;
        while (low <= high) {
            const int32_t mid = low + (high - low) / 2;
            if (at(mid).firstSample <= sample) {
                found = mid;
                low = mid + 1;
            } else {
                high = mid - 1;
            }
        }
        return found;
    }
    // The entry of the frame that begins at offset among the first n; -1 when none does.
    int32_t frameAt(int64_t offset, int32_t n) const {
        int32_t low = 0, high = n - 1;
        while (low <= high) {
            const int32_t mid = low + (high - low) / 2;
            const int64_t o = at(mid).offset;
            if (o == offset) return mid;
            if (o < offset)
                low = mid + 1;
            else
                high = mid - 1;
        }
        return -1;
    }

private:
    std::atomic<Entry*> chunks[maxChunks] = {};
    std::atomic<int32_t> count{0};
    std::atomic<bool> complete{false};
    std::atomic<int64_t> total{0};
};
