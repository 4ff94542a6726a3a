#include "deck/FileReader.h"

#include <memory>
#include <new>

#include "log/DebugLog.h"
#include "platform/LibraryPin.h"
#include "platform/Mutex.h"
#include "platform/Thread.h"

namespace {
struct Job {
    platform::Mutex mutex;
    platform::Condition finished;
    bool done = false;
    platform::FileBytes::Read result;
    std::atomic<bool> abandoned{false};
};
constexpr uint32_t pollMs = 5;
std::atomic<FileReader::ReadFunction> readFunction{nullptr};
} // namespace

void FileReader::useReadFunction(ReadFunction function) { readFunction = function; }

platform::FileBytes::Read FileReader::read(const std::string& path, uint64_t most,
                                           const std::function<bool()>& giveUp) {
    using Problem = platform::FileBytes::Problem;
    if (giveUp && giveUp()) return {nullptr, Problem::GivenUp};
    auto job = std::make_shared<Job>();
    try {
        ReadFunction function = readFunction.load();
        if (!function) function = &platform::FileBytes::read;
        platform::Thread reader;
        const bool started = reader.start(
            [job, path, most, function] {
                platform::FileBytes::Read result = function(path.c_str(), most, &job->abandoned);
                platform::MutexLock guard(job->mutex);
                job->result = std::move(result);
                job->done = true;
                job->finished.notifyAll();
            },
            platform::Thread::Priority::Normal);
        if (!started) return {nullptr, Problem::Unreadable};
        // The job is the thread's own: it may end after this call returns.
        reader.detach();
    } catch (const std::bad_alloc&) {
        return {nullptr, Problem::Unreadable};
    }
    platform::MutexLock lock(job->mutex);
    while (!job->done) {
        job->finished.waitFor(lock, pollMs);
        if (!job->done && giveUp && giveUp()) {
            job->abandoned = true;
            // The reading thread may outlive this instance, and the library.
            platform::keepLibraryLoaded();
            writeLog("File read left behind: ");
            writeLog(path.c_str());
            writeLog("\n");
            return {nullptr, Problem::GivenUp};
        }
    }
    return std::move(job->result);
}
