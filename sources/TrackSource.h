#pragma once
// The base of every track source: file name, stream facts, the loader thread
// that learns the exact length and draws the overview, and the lock.
//
// Threads: the deck's decode-ahead worker calls getSound; the deck's opener thread calls
// setFile and reads the stream facts; the loader thread runs loadFunc,
// reports to the owner and draws into the overview bitmap. Fields that cross
// threads are Relaxed words; each file's bytes are shared with the loader
// that walks them, so a loader that outlives a file switch still reads a
// live file (abandoned: its reads return nothing).
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/RecursiveLock.h"
#include "platform/Relaxed.h"
#include "platform/Semaphore.h"
#include "platform/Thread.h"
#include "sources/SourceOwner.h"
#include "sources/TrackFile.h"
#include "analysis/BeatAnalyser.h"
#include "analysis/KeyAnalyser.h"

class TrackSource;

// One run of a loader over one open file.
class LoaderRun {
public:
    LoaderRun(TrackSource& source, std::shared_ptr<const void> data);
    ~LoaderRun();
    LoaderRun(const LoaderRun&) = delete;
    LoaderRun& operator=(const LoaderRun&) = delete;
    // True once this run, or every read of the source, has been asked to stop.
    bool stopped() const;
    void stop() {
        stop_.store(true, std::memory_order_relaxed);
        begin();
    }
    // Lets the loader start its walk; it waits for this so that its first
    // report reaches an owner that knows which track it belongs to.
    void begin() {
        if (!begun_.exchange(true)) go_.release();
    }
    void waitForBegin() { go_.acquire(); }
    // The track's fingerprint, fed by the walk (the loader's alone).
    Fingerprint& fingerprint() const { return fingerprint_; }
    // The analysis of tempo, beats and key, fed by the walk while the track
    // is not known yet; any thread may end it (the store knew the track).
    bool analysing() const;
    // The walk's own: made at its first sound, let go once told.
    void analyse(const float* left, const float* right, int32_t frames) const;
    bool finishAnalysis(BeatGrid& grid, MusicalKey& key) const;
    // Whether the walk needs the sound of its frames, not just their count:
    // for the overview, the fingerprint or the analysis.
    bool wantsSound(bool drawing) const { return drawing || !fingerprint_.isComplete() || analysing(); }
    template <typename T>
    const T& data() const { return *static_cast<const T*>(data_.get()); }
    template <typename T>
    std::shared_ptr<T> pointer() const { return std::static_pointer_cast<T>(std::const_pointer_cast<void>(data_)); }

private:
    TrackSource& source_;
    std::shared_ptr<const void> data_; // keeps the file's view alive for the walk
    std::atomic<bool> stop_{false};
    std::atomic<bool> begun_{false};
    mutable Fingerprint fingerprint_;
    mutable std::unique_ptr<BeatAnalyser> beats_;
    mutable std::unique_ptr<KeyAnalyser> keys_;
    int32_t sampleRate_;
    platform::Semaphore go_{0};
};

class TrackSource {
public:
    static constexpr int overviewWidth = 248;
    static constexpr int overviewHeight = 16;
    static constexpr int overviewBytes = overviewWidth * overviewHeight * 3;
    static constexpr int maxPath = 1024;
    static constexpr uint32_t loaderWaitMs = 500;

    TrackSource() = default;
    virtual ~TrackSource();
    TrackSource(const TrackSource&) = delete;
    TrackSource& operator=(const TrackSource&) = delete;

    virtual void init(SourceOwner* owner);
    virtual bool acceptsFile(const char* path) = 0;
    // Opens path and starts its loader; with beginAtOnce clear the loader
    // waits for beginLoading.
    virtual bool setFile(const char* path) { return setFile(path, true); }
    bool setFile(const char* path, bool beginAtOnce);
    // The same with the file already opened (by a thread that may give up
    // on a stalled share): the source then opens nothing itself.
    bool setFile(const char* path, std::shared_ptr<TrackFile> file, bool beginAtOnce);
    void beginLoading();
    // Writes (replace) or adds count values to out[0] and out[1]: value j is
    // the track at the fractional frame position + j * ratio (ratio may be
    // negative: the track backwards). Frames past the end are silence, or
    // with wrap the track from its start again, where the source can.
    virtual bool getSound(float* const* out, int32_t count, double position, double ratio, bool replace,
                          bool wrap) = 0;
    virtual bool getSignature(int32_t out[4]) = 0;
    virtual void loadFunc(const LoaderRun& run) = 0;
    virtual bool openFile() = 0;
    virtual void closeFile() = 0;
    // The length the open file's header gives exactly (WAV, FLAC); 0 when
    // it gives none. The track store tells tracks apart by it.
    virtual int32_t headerLength() const { return 0; }
    // True when getLength is exact from the opening on (a header, or an
    // MPEG frame scan); false while only a walk through the file can tell.
    virtual bool lengthIsExact() const { return headerLength() > 0; }

    // Loaders pause a moment between blocks so as not to compete with the
    // audio thread; fuzzers, which walk thousands of files, turn that off.
    static void pauseLoaders(bool on);

    // Stops the loader of the open file (its walk is left unfinished).
    void stopLoading();
    // The open track needs no analysis (the store knows it); any thread.
    void stopAnalysing() { analysisWanted_.store(false, std::memory_order_relaxed); }
    bool analysisWanted() const { return analysisWanted_.load(std::memory_order_relaxed); }
    // Every read of the open file, under way or to come, returns at once:
    // a deck that closes is never held by a stalled share.
    void abandonReads() {
        if (TrackFile* file = openTrackFile()) file->abandon();
    }
    // Ends every loader of this source, the open file's and earlier ones
    // that were still winding down: none reports after this returns.
    void endLoading() {
        abandonReads();
        stopLoader();
    }

    // The loader's decoded frames, in order from the track's start (the
    // music's, for MPEG): they make the track's fingerprint, which goes to
    // the owner as soon as it is complete, or at the end with ended.
    void noteSamples(const LoaderRun& run, const float* left, const float* right, int32_t n);
    void noteEnd(const LoaderRun& run);

    // Draws frames start..end of a track of total frames into the overview.
    void drawOverview(int32_t start, int32_t end, int32_t total, const float* left, const float* right);

    int32_t getLength() const { return length; }
    int32_t getChannels() const { return channels; }
    int32_t getSampleRate() const { return sampleRate; }
    int32_t getBitRate() const { return bitRate; }
    const char* getFileName() const { return fileName; }
    void setBitmap(uint8_t* pixels) { bitmap = pixels; }
    uint8_t* getBitmap() const { return bitmap; }
    bool isStopping() const { return stopFlag; }
    // True while the loader of the open file is still walking it.
    bool isLoading() const { return loaderThread && !loaderThread->waitFor(0); }

protected:
    // The data the loader walks; it is kept alive until the loader ends.
    virtual std::shared_ptr<const void> loaderData() const = 0;
    // The open file (null when none), on the thread that opens and closes.
    virtual TrackFile* openTrackFile() const = 0;
    // The first steps every openFile shares: the stream facts' defaults and
    // fileName opened for reading, with their log lines. Null when the file
    // cannot be opened.
    std::shared_ptr<TrackFile> readFileWithDefaults(int32_t defaultBitRate);
    // The loaders' pause between blocks.
    static void loaderPause();
    // Ends the running loader before the derived source goes away.
    void stopLoader();
    // True when path ends with extension, whatever the case.
    static bool hasExtension(const char* path, const char* extension);
    // The signature: four words of the file, at word 17,000 and then every
    // step words (the last words of a shorter file). False under 16 bytes.
    static bool sampleSignature(TrackFile& file, int64_t step, int32_t out[4]);

    Relaxed<int32_t> length{0};
    Relaxed<int32_t> channels{2};
    Relaxed<int32_t> sampleRate{44100};
    Relaxed<int32_t> bitRate{0};
    char fileName[maxPath] = {};
    Relaxed<uint8_t*> bitmap{nullptr};
    SourceOwner* player = nullptr;
    std::unique_ptr<platform::Thread> loaderThread;
    Relaxed<bool> stopFlag{false};
    std::unique_ptr<platform::RecursiveLock> lock;

private:
    // Asks the loader to stop and waits up to limit; false on a time-out.
    bool stopRunningLoader(uint32_t limitMs);
    void reapRetiredLoaders();

    std::shared_ptr<LoaderRun> currentRun;
    std::atomic<bool> analysisWanted_{true}; // for the walk of the open file
    std::shared_ptr<TrackFile> offered; // the file handed to the opening under way
    // Loaders that did not stop within the wait; joined once they have ended.
    std::vector<std::unique_ptr<platform::Thread>> retiredLoaders;
};
