#pragma once
// A person's edits on their way from the editor's thread to the thread that
// tells the host (in formats whose hosts hear of edits through the audio
// thread's events). One writer, one reader at a time, no lock: the reader
// may be the audio thread. A full queue drops the edit: the deck has taken
// it, only the host's record of it is lost.
#include <array>
#include <atomic>
#include <cstdint>

struct Gesture {
    enum Kind : int32_t { Begin, Value, End };
    Kind kind;
    int32_t index;
    float value;
};

class GestureQueue {
public:
    bool push(const Gesture& gesture) {
        const uint32_t tail = written.load(std::memory_order_relaxed);
        if (tail - read.load(std::memory_order_acquire) == slots.size()) return false;
        slots[tail % slots.size()] = gesture;
        written.store(tail + 1, std::memory_order_release);
        return true;
    }
    bool pop(Gesture& gesture) {
        const uint32_t head = read.load(std::memory_order_relaxed);
        if (head == written.load(std::memory_order_acquire)) return false;
        gesture = slots[head % slots.size()];
        read.store(head + 1, std::memory_order_release);
        return true;
    }
    bool empty() const { return read.load(std::memory_order_acquire) == written.load(std::memory_order_acquire); }

private:
    std::array<Gesture, 256> slots{};
    std::atomic<uint32_t> written{0};
    std::atomic<uint32_t> read{0};
};
