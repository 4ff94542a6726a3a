#include "deck/BeatList.h"

#include <algorithm>
#include <cmath>

BeatList::BeatList() : frames_(new Relaxed<double>[capacity]) {}

void BeatList::assign(const std::vector<double>& seconds, double rate, double origin) {
    clear();
    const size_t n = std::min(seconds.size(), static_cast<size_t>(capacity));
    if (n < 2 || !(rate > 0)) return;
    for (size_t k = 0; k < n; ++k)
        if (!std::isfinite(seconds[k]) || (k > 0 && seconds[k] <= seconds[k - 1])) return;
    size_t nearest = 0;
    for (size_t k = 0; k < n; ++k) {
        frames_[k] = seconds[k] * rate;
        if (std::fabs(seconds[k] * rate - origin) < std::fabs(seconds[nearest] * rate - origin)) nearest = k;
    }
    originIndex_ = static_cast<double>(nearest);
    count_.store(static_cast<int32_t>(n), std::memory_order_release);
}

void BeatList::setOrigin(double frame) {
    if (empty()) return;
    originIndex_ = std::round(beatAt(frame) + originIndex_);
}

std::vector<double> BeatList::seconds(double rate) const {
    const int32_t n = count_.load(std::memory_order_acquire);
    std::vector<double> out;
    if (n < 2 || !(rate > 0)) return out;
    out.reserve(static_cast<size_t>(n));
    for (int32_t k = 0; k < n; ++k) out.push_back(frames_[k] / rate);
    return out;
}

double BeatList::beatAt(double frame) const {
    const int32_t n = count_.load(std::memory_order_acquire);
    if (n < 2) return 0.0;
    const double first = frames_[0], last = frames_[n - 1];
    double index;
    if (frame <= first) {
        const double gap = std::max(frames_[1] - first, 1.0);
        index = (frame - first) / gap;
    } else if (frame >= last) {
        const double gap = std::max(last - frames_[n - 2], 1.0);
        index = (n - 1) + (frame - last) / gap;
    } else {
        // The last beat at or before the frame.
        int32_t low = 0, high = n - 1;
        while (high - low > 1) {
            const int32_t mid = low + (high - low) / 2;
            (frames_[mid] <= frame ? low : high) = mid;
        }
        const double gap = std::max(frames_[high] - frames_[low], 1.0);
        index = low + (frame - frames_[low]) / gap;
    }
    return index - originIndex_;
}

double BeatList::frameAt(double beat) const {
    const int32_t n = count_.load(std::memory_order_acquire);
    if (n < 2 || !std::isfinite(beat)) return 0.0;
    const double index = beat + originIndex_;
    if (index <= 0) return frames_[0] + index * (frames_[1] - frames_[0]);
    if (index >= n - 1) return frames_[n - 1] + (index - (n - 1)) * (frames_[n - 1] - frames_[n - 2]);
    const auto low = static_cast<int32_t>(index);
    return frames_[low] + (index - low) * (frames_[low + 1] - frames_[low]);
}
