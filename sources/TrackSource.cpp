#include "sources/TrackSource.h"

#include "platform/Memory.h"
#include "platform/RelaxedBytes.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>

#include "log/DebugLog.h"
#include "platform/Clock.h"

LoaderRun::LoaderRun(TrackSource& source, std::shared_ptr<const void> data)
    : source_(source), data_(std::move(data)), fingerprint_(source.getSampleRate()),
      sampleRate_(source.getSampleRate()) {}

// An analysis left unfinished (the track closed, or the store knew it)
// hands its memory back as a finished one does.
LoaderRun::~LoaderRun() {
    if (!beats_ && !keys_) return;
    beats_.reset();
    keys_.reset();
    platform::returnFreeMemory();
}

bool LoaderRun::analysing() const { return source_.analysisWanted(); }

void LoaderRun::analyse(const float* left, const float* right, int32_t frames) const {
    if (!analysing()) {
        if (!beats_ && !keys_) return;
        beats_.reset();
        keys_.reset();
        platform::returnFreeMemory();
        return;
    }
    if (!beats_) beats_ = std::make_unique<BeatAnalyser>(sampleRate_);
    if (!keys_) keys_ = std::make_unique<KeyAnalyser>(sampleRate_);
    beats_->add(left, right, frames);
    keys_->add(left, right, frames);
}

bool LoaderRun::finishAnalysis(BeatGrid& grid, MusicalKey& key) const {
    const bool wanted = analysing() && beats_ && keys_;
    if (wanted) {
        grid = beats_->finish();
        key = keys_->finish();
    }
    const bool analysed = beats_ || keys_;
    beats_.reset();
    keys_.reset();
    if (analysed) platform::returnFreeMemory();
    return wanted;
}

bool LoaderRun::stopped() const { return stop_.load(std::memory_order_relaxed) || source_.isStopping(); }

namespace {
std::atomic<bool> loadersPause{true};
}

void TrackSource::pauseLoaders(bool on) { loadersPause = on; }

void TrackSource::loaderPause() {
    if (loadersPause.load(std::memory_order_relaxed)) platform::sleepMs(1);
}

TrackSource::~TrackSource() { stopLoader(); }

void TrackSource::init(SourceOwner* owner) {
    player = owner;
    bitmap = nullptr;
    loaderThread.reset();
    lock = std::make_unique<platform::RecursiveLock>();
}

bool TrackSource::sampleSignature(TrackFile& file, int64_t step, int32_t out[4]) {
    const auto size = static_cast<int64_t>(file.size());
    if (size < 16) return false;
    for (int i = 0; i < 4; ++i) {
        const int64_t word = std::min<int64_t>(size / 4 - i - 1, 17000 + step * i);
        uint8_t p[4] = {};
        if (file.read(static_cast<uint64_t>(4 * word), p, 4) != 4) return false;
        out[i] = static_cast<int32_t>(p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24);
    }
    return true;
}

bool TrackSource::hasExtension(const char* path, const char* extension) {
    if (!path || !extension) return false;
    size_t n = std::strlen(path), e = std::strlen(extension);
    if (n < e) return false;
    for (size_t i = 0; i < e; ++i)
        if (std::tolower(static_cast<unsigned char>(path[n - e + i])) !=
            std::tolower(static_cast<unsigned char>(extension[i])))
            return false;
    return true;
}

bool TrackSource::stopRunningLoader(uint32_t limitMs) {
    stopFlag = true;
    if (currentRun) currentRun->stop();
    bool ended = true;
    if (loaderThread) {
        ended = loaderThread->waitFor(limitMs);
        if (ended)
            loaderThread->join();
        else
            retiredLoaders.push_back(std::move(loaderThread));
        loaderThread.reset();
    }
    currentRun.reset();
    return ended;
}

void TrackSource::reapRetiredLoaders() {
    std::erase_if(retiredLoaders, [](const std::unique_ptr<platform::Thread>& thread) {
        if (!thread->waitFor(0)) return false;
        thread->join();
        return true;
    });
}

void TrackSource::stopLoader() {
    if (!stopRunningLoader(loaderWaitMs)) writeLog("Timeout Waiting thBitmap (delete)\n");
    // The loader reports to the player and reads this object: it must be gone
    // before either is. It was asked to stop, so it ends within one block.
    for (auto& thread : retiredLoaders) thread->join();
    retiredLoaders.clear();
}

std::shared_ptr<TrackFile> TrackSource::readFileWithDefaults(int32_t defaultBitRate) {
    channels = 2;
    sampleRate = 44100;
    bitRate = defaultBitRate;
    length = 0;
    writeLog("createfile, file = ");
    writeLog(fileName);
    writeLog("\n");
    writeLog("createfilemap\n");
    auto file = offered ? offered : TrackFile::open(fileName).file;
    writeLog("mapview\n");
    return file;
}

void TrackSource::stopLoading() {
    if (!stopRunningLoader(loaderWaitMs)) writeLog("Timeout waiting threadBitmap");
    reapRetiredLoaders();
    stopFlag = false;
}

void TrackSource::beginLoading() {
    if (currentRun) currentRun->begin();
}

bool TrackSource::setFile(const char* path, bool beginAtOnce) { return setFile(path, nullptr, beginAtOnce); }

bool TrackSource::setFile(const char* path, std::shared_ptr<TrackFile> file, bool beginAtOnce) {
    writeLog("SetFile\n");
    offered = std::move(file);
    // The loader of the file open now stops at once, even in a stalled read.
    abandonReads();
    if (!stopRunningLoader(loaderWaitMs)) writeLog("Timeout waiting threadBitmap");
    reapRetiredLoaders();
    stopFlag = false;
    if (!path || std::strlen(path) >= sizeof fileName) return false; // a cut path would name another file
    std::strcpy(fileName, path);
    const bool opened = openFile();
    offered.reset();
    if (!opened) return false;

    writeLog("CreateThread\n");
    analysisWanted_.store(true, std::memory_order_relaxed);
    auto run = std::make_shared<LoaderRun>(*this, loaderData());
    auto thread = std::make_unique<platform::Thread>();
    if (thread->start(
            [this, run] {
                run->waitForBegin();
                if (!run->stopped()) loadFunc(*run);
            },
            platform::Thread::Priority::Lowest)) {
        if (beginAtOnce) run->begin();
        currentRun = std::move(run);
        loaderThread = std::move(thread);
    }
    return true;
}

void TrackSource::noteSamples(const LoaderRun& run, const float* left, const float* right, int32_t n) {
    if (!left || !right || n <= 0) return;
    run.analyse(left, right, n);
    Fingerprint& print = run.fingerprint();
    if (print.isComplete()) return;
    if (print.add(left, right, n) && player && !run.stopped()) player->identified(this, print.value());
}

void TrackSource::noteEnd(const LoaderRun& run) {
    Fingerprint& print = run.fingerprint();
    if (!print.isComplete()) {
        print.finish();
        if (player && !run.stopped()) player->identified(this, print.value());
    }
    // The whole track was heard: what its analysis found is told once.
    BeatGrid grid;
    MusicalKey key;
    if (run.finishAnalysis(grid, key) && player && !run.stopped()) player->analysed(this, grid, key);
}

void TrackSource::drawOverview(int32_t start, int32_t end, int32_t total, const float* left, const float* right) {
    uint8_t* pixels = bitmap;
    if (!pixels || total <= 0) return;
    if (end == 0) {
        relaxedBytes::fill(pixels, 0, overviewBytes);
        return;
    }
    if (!left || !right) return;

    int64_t rate = sampleRate;
    int64_t interval = total < rate * 120 ? rate * 15 : total < rate * 1200 ? rate * 60 : rate * 600;
    if (interval <= 0) return;

    const float k = 1.0f / 248.0f;
    const double limit = static_cast<double>(end) * overviewWidth / total;
    int first = static_cast<int>(static_cast<int64_t>(start) * overviewWidth / total);
    for (int x = std::max(first, 0); x < limit && x < overviewWidth; ++x) {
        auto s0 = static_cast<int64_t>(static_cast<double>(total) * x * k);
        auto s1 = static_cast<int64_t>(static_cast<double>(total) * (x + 1) * k);
        if (s0 / interval != s1 / interval)
            for (int y = 0; y < overviewHeight; ++y) relaxedBytes::fill(pixels + (y * overviewWidth + x) * 3, 255, 3);

        int64_t span = std::min<int64_t>(s1 - s0, static_cast<int64_t>(end) - start);
        int64_t step = std::max<int64_t>(span / 10, 0);
        double sums[2] = {0.0, 0.0};
        for (int i = 0; i < 10; ++i) {
            double l = left[i * step], r = right[i * step];
            sums[0] += l * l;
            sums[1] += r * r;
        }
        // Samples past full scale (an MPEG frame may overshoot) would only
        // push the rows past the edges; the clamp keeps the conversions in range.
        double leftLevel = std::min(std::sqrt(sums[0] * 0.1) * 1.2, 4.0);
        double rightLevel = std::min(std::sqrt(sums[1] * 0.1) * 1.2, 4.0);
        int firstRow = std::max(0, static_cast<int>((1.0 - leftLevel) * 8));
        int lastRow = std::min(15, 1 - static_cast<int>(-(rightLevel + 1.0) * 8));
        for (int y = firstRow; y < lastRow; ++y) {
            uint8_t* pixel = pixels + (y * overviewWidth + x) * 3;
            int blue = std::abs(static_cast<int>((y * 0.125 + 0.0625 - 1.0) * 255));
            relaxedBytes::store(pixel, static_cast<uint8_t>(blue));
            relaxedBytes::store(pixel + 1, 255);
            relaxedBytes::store(pixel + 2, static_cast<uint8_t>(255 - blue));
        }
    }
}
