#include "deck/FileReader.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "log/DebugLog.h"
#include "platform/LibraryPin.h"

namespace {
struct Job {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    platform::FileBytes::Read result;
    std::atomic<bool> abandoned{false};
};
constexpr auto pollEvery = std::chrono::milliseconds(5);
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
        std::thread([job, path, most, function] {
            platform::FileBytes::Read result = function(path.c_str(), most, &job->abandoned);
            std::lock_guard<std::mutex> guard(job->mutex);
            job->result = std::move(result);
            job->done = true;
            job->finished.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return {nullptr, Problem::Unreadable};
    }
    std::unique_lock<std::mutex> lock(job->mutex);
    while (!job->done) {
        job->finished.wait_for(lock, pollEvery);
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
