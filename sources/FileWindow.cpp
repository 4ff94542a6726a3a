#include "sources/FileWindow.h"

#include <algorithm>
#include <cstring>

FileWindow::FileWindow(std::shared_ptr<TrackFile> file, int64_t capacity)
    : file_(std::move(file)), capacity_(std::max<int64_t>(capacity, 64)),
      bytes_(static_cast<size_t>(capacity_ + guard), 0) {}

const uint8_t* FileWindow::at(int64_t offset, int64_t need, int64_t* held) {
    offset = std::max<int64_t>(offset, 0);
    need = std::clamp<int64_t>(need, 0, capacity_);
    const int64_t size = fileSize();
    const int64_t wanted = std::min(offset + need, size);
    if (offset < start_ || offset + need > start_ + capacity_ || wanted > start_ + held_ ||
        (held_ == 0 && offset < size)) {
        start_ = offset;
        const int64_t n = std::clamp<int64_t>(size - offset, 0, capacity_);
        const int64_t got = n > 0 ? file_->read(static_cast<uint64_t>(offset), bytes_.data(), n) : 0;
        // What could not be read reads as zeros: the window still holds it.
        std::fill(bytes_.begin() + std::max<int64_t>(got, 0), bytes_.end(), uint8_t{0});
        held_ = n;
    }
    if (held) *held = std::max<int64_t>(start_ + held_ - offset, 0);
    return bytes_.data() + (offset - start_);
}

void FileWindow::copy(int64_t offset, int64_t n, uint8_t* into) {
    while (n > 0) {
        const int64_t piece = std::min(n, capacity_);
        std::memcpy(into, at(offset, piece), static_cast<size_t>(piece));
        into += piece;
        offset += piece;
        n -= piece;
    }
}
