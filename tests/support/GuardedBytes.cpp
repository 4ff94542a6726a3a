#include "tests/support/GuardedBytes.h"

#include <cstring>
#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {
size_t pageSize() {
#if defined(_WIN32)
    SYSTEM_INFO info{};
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
#endif
}
} // namespace

GuardedBytes::GuardedBytes(const std::vector<uint8_t>& bytes) : size_(bytes.size()) {
    const size_t page = pageSize();
    const size_t dataPages = (bytes.size() + page - 1) / page;
    regionSize_ = (dataPages + 1) * page;
#if defined(_WIN32)
    region_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, regionSize_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD before = 0;
    if (!region_ || !VirtualProtect(region_ + dataPages * page, page, PAGE_NOACCESS, &before))
        throw std::runtime_error("no guard page");
#else
    void* region = mmap(nullptr, regionSize_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED) throw std::runtime_error("no guard page");
    region_ = static_cast<uint8_t*>(region);
    if (mprotect(region_ + dataPages * page, page, PROT_NONE) != 0) throw std::runtime_error("no guard page");
#endif
    data_ = region_ + dataPages * page - bytes.size();
    if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
}

GuardedBytes::~GuardedBytes() {
#if defined(_WIN32)
    VirtualFree(region_, 0, MEM_RELEASE);
#else
    munmap(region_, regionSize_);
#endif
}
