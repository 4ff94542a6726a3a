#pragma once
// Lets the audio thread read a source's open file without a lock and without
// ever waiting, and lets the thread that switches files wait until no read
// still uses the old one before it is released.
//
// A reader announces itself, then loads the pointer; the withdrawing thread
// clears the pointer, then waits for the announced readers to leave. With
// sequentially consistent order on both sides, a reader either sees null or
// is seen by the withdrawer, so a released view is never read.
#include <atomic>
#include <thread>

template <typename T>
class PublishedView {
public:
    class Reader {
    public:
        explicit Reader(PublishedView& owner) : owner_(owner) {
            owner_.readers_.fetch_add(1);
            view_ = owner_.current_.load();
        }
        ~Reader() { owner_.readers_.fetch_sub(1); }
        Reader(const Reader&) = delete;
        Reader& operator=(const Reader&) = delete;
        const T* get() const { return view_; }

    private:
        PublishedView& owner_;
        const T* view_;
    };

    void publish(const T* view) { current_.store(view); }

    // Clears the view and returns once no reader can still be using it. A read
    // is one host block, so the wait is short and bounded.
    void withdraw() {
        current_.store(nullptr);
        while (readers_.load() != 0) std::this_thread::yield();
    }

    const T* peek() const { return current_.load(); }

private:
    std::atomic<const T*> current_{nullptr};
    std::atomic<int> readers_{0};
};
