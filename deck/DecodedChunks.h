#pragma once
// Decoded audio in fixed chunks of frames, for the audio thread to read
// without a lock and without ever waiting while another thread fills them.
//
// Threads: one writer (the decode-ahead worker) stores chunks; any thread
// copies from them. Each slot is a sequence lock: the writer makes its
// version odd, writes, and makes it even again; a reader that saw an odd
// version, another chunk's label or a version that changed while it
// copied counts the chunk as missing. Samples are copied as relaxed
// atomics, so a copy that races a store is discarded, never undefined.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>

class DecodedChunks {
public:
    static constexpr int32_t chunkFrames = 4096;
    static constexpr int32_t slotCount = 256; // 8 MiB of stereo floats: 24 s at 44.1 kHz

    // A chunk's label: the track's generation and the chunk's number.
    static int64_t labelOf(uint32_t generation, int64_t chunk) {
        return static_cast<int64_t>(generation & 0xFFFFFu) << 40 | (chunk & 0xFFFFFFFFFFll);
    }
    static int32_t slotOf(int64_t label) { return static_cast<int32_t>((label & 0xFFFFFFFFFFll) % slotCount); }

    DecodedChunks() : slots_(new Slot[slotCount]) {}

    // Frames offset .. offset + n - 1 of the chunk labelled label into left
    // and right; false (and zeros) when the chunk is not there whole.
    bool copy(int64_t label, int32_t offset, int32_t n, float* left, float* right) const {
        const Slot& slot = slots_[slotOf(label)];
        const uint32_t before = slot.version.load(std::memory_order_acquire);
        bool ok = (before & 1) == 0 && slot.label.load(std::memory_order_relaxed) == label;
        if (ok) {
            for (int32_t j = 0; j < n; ++j) {
                left[j] = std::atomic_ref<float>(slot.rows[0][offset + j]).load(std::memory_order_relaxed);
                right[j] = std::atomic_ref<float>(slot.rows[1][offset + j]).load(std::memory_order_relaxed);
            }
            std::atomic_thread_fence(std::memory_order_acquire);
            ok = slot.version.load(std::memory_order_relaxed) == before;
        }
        if (!ok) {
            std::fill_n(left, n, 0.0f);
            std::fill_n(right, n, 0.0f);
        }
        return ok;
    }

    bool holds(int64_t label) const {
        const Slot& slot = slots_[slotOf(label)];
        return (slot.version.load(std::memory_order_acquire) & 1) == 0 &&
               slot.label.load(std::memory_order_relaxed) == label;
    }
    // The label of the chunk in label's slot (-1: none); the writer's view.
    int64_t occupant(int64_t label) const { return slots_[slotOf(label)].label.load(std::memory_order_relaxed); }

    // Writer only: a whole chunk of frames into its slot.
    void store(int64_t label, const float* left, const float* right) {
        Slot& slot = slots_[slotOf(label)];
        const uint32_t version = slot.version.load(std::memory_order_relaxed);
        slot.version.store(version + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        slot.label.store(label, std::memory_order_relaxed);
        for (int32_t j = 0; j < chunkFrames; ++j) {
            std::atomic_ref<float>(slot.rows[0][j]).store(left[j], std::memory_order_relaxed);
            std::atomic_ref<float>(slot.rows[1][j]).store(right[j], std::memory_order_relaxed);
        }
        slot.version.store(version + 2, std::memory_order_release);
    }

private:
    struct Slot {
        std::atomic<uint32_t> version{0};
        std::atomic<int64_t> label{-1};
        alignas(64) mutable float rows[2][chunkFrames];
    };
    std::unique_ptr<Slot[]> slots_;
};
