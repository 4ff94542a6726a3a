#pragma once
// A bounded queue of editor commands that any thread may push to without
// waiting or allocating (one sequence number per slot). Commands that reach
// the editor while the GUI thread holds its controls wait here until the GUI
// thread, or the next command's thread, takes them in order.
#include <array>
#include <atomic>
#include <cstdint>

class CommandQueue {
public:
    struct Command {
        int32_t tag;
        float value;
    };

    CommandQueue() {
        for (uint32_t i = 0; i < capacity; ++i) slots[i].sequence.store(i, std::memory_order_relaxed);
    }

    // False when the queue is full: the command is dropped.
    bool push(Command command) {
        uint32_t at = tail.load(std::memory_order_relaxed);
        for (;;) {
            Slot& slot = slots[at % capacity];
            uint32_t sequence = slot.sequence.load(std::memory_order_acquire);
            auto lag = static_cast<int32_t>(sequence - at);
            if (lag == 0) {
                if (tail.compare_exchange_weak(at, at + 1, std::memory_order_relaxed)) {
                    slot.tag.store(command.tag, std::memory_order_relaxed);
                    slot.value.store(command.value, std::memory_order_relaxed);
                    slot.sequence.store(at + 1, std::memory_order_release);
                    return true;
                }
            } else if (lag < 0) {
                return false;
            } else {
                at = tail.load(std::memory_order_relaxed);
            }
        }
    }

    // One consumer at a time: the caller holds the editor's controls.
    bool pop(Command& command) {
        uint32_t at = head.load(std::memory_order_relaxed);
        Slot& slot = slots[at % capacity];
        if (slot.sequence.load(std::memory_order_acquire) != at + 1) return false;
        command = {slot.tag.load(std::memory_order_relaxed), slot.value.load(std::memory_order_relaxed)};
        head.store(at + 1, std::memory_order_relaxed);
        slot.sequence.store(at + capacity, std::memory_order_release);
        return true;
    }

    bool empty() const {
        const uint32_t at = head.load(std::memory_order_relaxed);
        return slots[at % capacity].sequence.load(std::memory_order_acquire) != at + 1;
    }

    void clear() {
        Command ignored{};
        while (pop(ignored)) {
        }
    }

private:
    static constexpr uint32_t capacity = 256;
    struct Slot {
        std::atomic<uint32_t> sequence{0};
        std::atomic<int32_t> tag{0};
        std::atomic<float> value{0.0f};
    };
    std::array<Slot, capacity> slots;
    std::atomic<uint32_t> head{0};
    std::atomic<uint32_t> tail{0};
};
