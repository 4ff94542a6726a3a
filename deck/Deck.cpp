#include "deck/Deck.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "mpeg/MpegSource.h"
#include "deck/FrameMath.h"
#include "deck/PlaylistText.h"
#include "platform/Paths.h"
#include "platform/Clock.h"
#include "log/DebugLog.h"
#include "platform/RelaxedBytes.h"
#include "flac/FlacSource.h"
#include "sources/ResamplingKernel.h"
#include "sources/WavSource.h"
#include "store/TrackStore.h"

// The store keeps the very picture the sources draw.
static_assert(TrackInfoRecord::bitmapBytes == TrackSource::overviewBytes);

Deck::Deck(DeckHost& host, const BuildProfile& buildProfile, const std::function<PlayerView*(Deck&)>& makeView)
    : profile(buildProfile), deckHost(host) {
    editorView = makeView(*this);
    sources[0] = new MpegSource(this);
    sources[1] = new WavSource(this);
    sources[2] = new FlacSource(this);
    currentSource = nullptr; // no track yet
    decodeAhead.serveAlso(&keyShifter);
    opener.start([this] { openerLoop(); }, platform::Thread::Priority::Normal);
    writeLog("constructor ended()\n");
}

Deck::~Deck() {
    // A host may close the plug-in with its window open: the window goes
    // while the deck it shows is still whole.
    if (editorView) editorView->close();
    openerQuit = true;
    openerWake.release();
    opener.join();
    // A read stalled on a share must not hold the worker or a loader.
    for (TrackSource* source : sources)
        if (source) source->abandonReads();
    decodeAhead.stop();
    // The loaders report to the deck and the keeper: they end first. Then
    // the keeper keeps what was learned last, while the sources and the
    // view its answers touch are still whole.
    for (TrackSource* source : sources)
        if (source) source->endLoading();
    if (keeper) keeper->settle();
    keeper.reset();
    for (TrackSource*& source : sources) {
        delete source;
        source = nullptr;
    }
    currentSource = nullptr;
}

void Deck::start() {
    writeLog("open()...");
    std::vector<std::string> legacy{storeFolder(deckHost.hostFolder()) + "trakvox.dat"};
    const std::string data = platform::paths::userDataDirectory();
    if (!data.empty()) legacy.push_back(data + "tunedeck" + platform::paths::separator + "trakvox.dat");
    keeper = std::make_unique<StoreKeeper>(storePath(), std::move(legacy),
                                           [this](const StoreKeeper::Found& found) { factsFound(found); },
                                           [this](const char* problem) { editorView->showStoreProblem(problem); });
    writeLog("ok\n");
}

void Deck::showState() {
    refreshList();
    editorView->showTempo(tempo * (pitch * 0.01f + 1.0f));
    showTrackFactsAndTime();
}

void Deck::requestOpen(int32_t direction) {
    openDirection = direction;
    openGeneration.fetch_add(1);
    // Only the request that finds none pending wakes the opener, so the
    // semaphore never counts past one.
    if (openRequests.fetch_add(1) == 0) openerWake.release();
}

void Deck::openerLoop() {
    while (!openerQuit) {
        const bool woken = openerWake.acquireFor(500);
        // The audio thread cannot write the log; the guard's work is told here.
        if (const uint32_t guarded = outputGuard.takeCount()) {
            char line[96];
            std::snprintf(line, sizeof line, "Output guard: %u samples out of range or not a number were held\n",
                          static_cast<unsigned>(guarded));
            writeLog(line);
        }
        // A host that changes its rate is served within one wait.
        prepareResampling();
        if (!woken) continue;
        if (openerQuit) break;
        std::vector<AddJob> adds;
        {
            platform::MutexLock guard(addMutex);
            adds.swap(addJobs);
        }
        for (const AddJob& job : adds) {
            if (!openerQuit) addFilesNow(job.buffer, job.openAfter);
            addsPending.fetch_sub(1);
        }
        int32_t seen = openRequests.load();
        while (seen > 0) {
            // Nobody is there to answer questions for an opening asked for
            // by MIDI or by the end of the previous track.
            finishRestore(openTrackOrStep(openDirection));
            if (openRequests.compare_exchange_strong(seen, 0)) break;
        }
    }
    openRequests = 0;
}

void Deck::prepareResampling() {
    const float trackRate = trackRateOrZero();
    if (trackRate <= 0) return;
    const double ratio = trackRate / hostRate();
    if (resamplingPreparedFor.exchange(ratio) == ratio) return;
    ResamplingKernel::prepareFor(trackRate, ratio * (1.0 - pitchRange * 0.01), ratio * (1.0 + pitchRange * 0.01));
}

void Deck::waitForOpenings() {
    for (int i = 0; i < 10000 && (isOpening() || addsPending > 0); ++i) platform::sleepMs(1);
}

bool Deck::openingSuperseded(uint32_t generation) const {
    return openerQuit || openGeneration.load() != generation;
}

bool Deck::openTrack() { return openTrackOrStep(0); }

bool Deck::openTrackOrStep(int32_t direction) {
    // Each entry is tried at most once, whichever way the list is walked.
    for (int32_t tries = 0; tries <= TrackList::capacity; ++tries) {
        const Opening result = openCurrentEntry();
        if (result == Opening::Opened) return true;
        // A newer request takes over, or the plug-in closes: nothing else changes.
        if (result == Opening::GivenUp) return false;
        if (direction == 0 || !(direction > 0 ? nextFile() : previousFile())) break;
    }
    // The deck does not stay "playing" in silence.
    if (playing) setPlaying(false);
    return false;
}

Deck::Opening Deck::openCurrentEntry() {
    platform::MutexLock oneAtATime(openMutex);
    const uint32_t generation = openGeneration.load();
    char path[TrackList::pathRoom];
    {
        platform::ScopedLock guard(listMutex);
        std::snprintf(path, sizeof path, "%s", tracks.empty() ? "" : tracks.current());
    }
    writeLog("startOpening\n");
    writeLog(*path ? path : "(none)");
    // The file is opened before anything of the deck changes, by a reading
    // thread this opening leaves behind when the plug-in closes or another
    // track is asked for: a stalled network share holds nobody.
    const char* problem = nullptr;
    TrackFile::Opened file;
    auto superseded = [this, generation] { return openingSuperseded(generation); };
    if (!*path) {
        problem = "no track";
    } else if (!isPlayable(path)) {
        problem = "not audio this deck plays";
    } else {
        file = TrackFile::open(path, superseded);
        if (file.problem == TrackFile::Problem::GivenUp) {
            writeLog("opening given up\n");
            return Opening::GivenUp;
        }
        if (!file.file) problem = platform::describe(file.problem);
    }
    if (problem) return failOpening(problem);
    // Nothing of the previous track plays from here on: the worker leaves it.
    decodeAhead.switchTo(nullptr, 0);
    position = 0.0;
    hostPosition = -1.0f;
    // A new loader's first report must not be taken for the old track's.
    lengthKnown = false;
    overviewKnown = false;
    for (TrackSource* source : sources) {
        if (!source) break;
        // The loader waits until this opening is complete: its reports then
        // belong to the track that is current.
        if (!source->acceptsFile(path)) continue;
        const bool opened = source->setFile(path, file.file, false);
        if (superseded()) {
            writeLog("opening given up\n");
            return Opening::GivenUp;
        }
        if (!opened) continue;
        // The track is the deck's now: its reads wait for the file alone.
        file.file->setGiveUp(nullptr);
        // Another kind of source may still hold the previous track: it stops
        // drawing into the overview and reporting its length, and lets its
        // file go at once.
        for (TrackSource* other : sources)
            if (other && other != source) {
                other->setBitmap(nullptr);
                other->stopLoading();
                other->closeFile();
            }
        currentSource = source;
        syncAnchored = false;
        trackOpenings = trackOpenings + 1;
        decodeAhead.switchTo(source, source->getLength());
        source->setBitmap(editorView->overviewPixels());
        // A length the source knows on opening plays at once; the loader's
        // reports arrive later, on its own thread.
        if (source->getLength() > 0) setSize(source->getLength(), false);
        getInfos();
        writeLog("opening ok\n");
        tapCount = 0;
        editorView->showTitle();
        refreshList();
        source->beginLoading();
        prepareResampling();
        // The track starts with its first frame, not with a fade in.
        decodeAhead.waitFor(0.0, 1000);
        return Opening::Opened;
    }
    return failOpening("not audio this deck plays");
}

Deck::Opening Deck::failOpening(const char* problem) {
    writeLog("opening not found: ");
    writeLog(problem);
    writeLog("\n");
    // Nothing of the previous track may play on, nor stay on screen as if
    // it were the track the title names.
    currentSource = nullptr;
    decodeAhead.switchTo(nullptr, 0);
    for (TrackSource* source : sources)
        if (source) {
            source->setBitmap(nullptr);
            source->stopLoading();
            source->closeFile();
        }
    length = 0;
    position = 0.0;
    lengthKnown = false;
    overviewKnown = false;
    if (uint8_t* pixels = editorView->overviewPixels()) relaxedBytes::fill(pixels, 0, TrackSource::overviewBytes);
    editorView->refreshOverview(true);
    editorView->showTrackFacts(0, 0.0f, true);
    editorView->showTime(0.0f, 0, 0);
    editorView->showOpenError(problem);
    return Opening::Failed;
}

void Deck::getTrackName(char* text, size_t room) const {
    if (!text || room == 0) return;
    std::snprintf(text, room, "%s", tracks.empty() ? "No file loaded" : tracks.current());
}

void Deck::getTrackCounter(char* text, size_t room) const {
    if (!text || room == 0) return;
    std::snprintf(text, room, " %d/%d", static_cast<int>(tracks.currentIndex + 1), static_cast<int>(tracks.count));
}

float Deck::trackRateOrZero() const {
    TrackSource* source = currentSource;
    return source ? static_cast<float>(source->getSampleRate()) : 0.0f;
}

void Deck::showTrackFactsAndTime() {
    TrackSource* source = currentSource;
    int32_t frames = length;
    float rate = trackRateOrZero();
    if (!source || frames <= 0 || rate <= 0) return;
    int32_t at = getPosition();
    editorView->showTrackFacts(source->getBitRate(), frames / rate, source->getChannels() >= 2);
    editorView->showTime(static_cast<float>(at) / frames, static_cast<int32_t>(at / rate),
                         static_cast<int32_t>(frames / rate));
}

bool Deck::takeLength(int32_t frames, bool final) {
    // A length known stays, but for the loader's exact count, which
    // corrects a stored one.
    if (lengthKnown && (!final || frames == length)) return false;
    length = frames;
    decodeAhead.setLength(frames);
    showTrackFactsAndTime();
    if (!final) return false;
    lengthKnown = true;
    return true;
}

void Deck::setSize(int32_t frames, bool final) {
    writeLogf("setSize(%d,%d)\n", frames, final ? 1 : 0);
    if (!takeLength(frames, final)) return;
    // A track whose length only its walk tells is looked up now, by it.
    TrackIdentity track;
    uint32_t generation = 0;
    bool lookUp = false;
    {
        platform::MutexLock guard(identityMutex);
        if (identityAwaitsLength) {
            identityAwaitsLength = false;
            identity.frames = frames;
            track = identity;
            generation = identityGeneration;
            lookUp = true;
        }
    }
    if (lookUp && keeper) keeper->lookUp(generation, track);
    setInfos();
}

void Deck::loadProgress(int32_t frames) {
    if (lengthKnown && frames == length) {
        overviewKnown = true;
        setInfos();
    }
    editorView->refreshOverview(overviewKnown);
}

std::string Deck::storeFolder(const char* hostDirectory) {
    namespace paths = platform::paths;
    std::string folder = hostDirectory && *hostDirectory ? hostDirectory : paths::libraryDirectory();
    // Hosts give their folder in the system's code page.
    if (!playlist::isUtf8(folder)) folder = paths::fromSystemCodePage(folder);
    if (folder.empty()) folder = paths::join(paths::currentDirectory(), "");
    // A path to the library file itself is cut back to its folder. A folder
    // whose own name has a dot (~/.vst) is kept whole.
    if (!paths::isDirectory(folder)) {
        size_t dot = folder.rfind('.'), slash = folder.rfind(paths::separator);
        if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
            folder = slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
    }
    if (folder.empty() || folder.back() != paths::separator) folder += paths::separator;
    return folder;
}

std::string Deck::storePath() {
    const std::string data = platform::paths::userDataDirectory();
    if (data.empty()) return {};
    const std::string folder = data + "tunedeck" + platform::paths::separator;
    platform::paths::makeDirectories(folder);
    return folder + TrackStore::fileName;
}

void Deck::getInfos() {
    writeLog("getInfos\n");
    std::string path;
    {
        platform::ScopedLock guard(listMutex);
        if (!tracks.empty()) path = tracks.current();
    }
    {
        // Facts of the track that was open are no longer this track's.
        platform::MutexLock guard(identityMutex);
        ++identityGeneration;
        identityKnown = false;
        identityAwaitsLength = false;
        identityPath = std::move(path);
        tempoKnown = false;
        tempoByUser = false;
        gridRestored = false;
        beatList.clear();
        keyIndex = -1;
        analysisDone = false;
        tempo = 120.0f;
        lengthKnown = false;
        overviewKnown = false;
    }
    editorView->showTempo(tempo * (1.0f + pitch * 0.01f));
    // A length the opening found exactly is the track's at once.
    TrackSource* source = currentSource;
    if (source && source->lengthIsExact()) setSize(source->getLength(), true);
}

void Deck::identified(TrackSource* source, const Fingerprint::Value& fingerprint) {
    if (!source || source != currentSource || !keeper) return;
    TrackIdentity track;
    track.fingerprint = fingerprint;
    track.frames = source->lengthIsExact() ? source->getLength() : 0;
    track.sampleRate = source->getSampleRate();
    track.hasSignature = source->getSignature(track.signature);
    uint32_t generation = 0;
    {
        platform::MutexLock guard(identityMutex);
        identity = track;
        generation = identityGeneration;
        // Tracks that begin alike differ in length: a track whose length is
        // not known exactly yet is looked up once its walk counts it.
        if (track.frames == 0 && !lengthKnown) {
            identityAwaitsLength = true;
            return;
        }
        if (track.frames == 0) identity.frames = track.frames = length;
    }
    keeper->lookUp(generation, track);
}

void Deck::factsFound(const StoreKeeper::Found& found) {
    const TrackFacts& facts = found.facts;
    bool tempoFound = false;
    {
        // Under the lock an opening takes to start afresh: the facts are
        // this track's, or none are taken.
        platform::MutexLock guard(identityMutex);
        if (found.generation != identityGeneration) return; // another track is open now
        TrackSource* source = currentSource;
        if (found.known && source) {
            // A tempo the user set since the opening is newer than the stored
            // one; the user's stored tempo wins over this opening's analysis.
            const bool storedWins = !tempoKnown || (facts.tempoByUser && !tempoByUser);
            if (facts.hasTempo && storedWins && facts.tempo > 0 && facts.tempo < 10000) {
                tempo = facts.tempo;
                tempoKnown = true;
                tempoByUser = facts.tempoByUser;
                tempoFound = true;
                if (facts.hasFirstBeat && source->getSampleRate() > 0)
                    beatOrigin = saturatedFrames(facts.firstBeat * source->getSampleRate());
            }
            // Where the tempo moves, its beats: the grid in use, whatever
            // its first beat, unless the user set the tempo.
            if (!facts.beats.empty() && !tempoByUser)
                beatList.assign(facts.beats, source->getSampleRate(), beatOrigin);
            if (facts.hasKey && keyIndex < 0) keyIndex = facts.key;
            // A track is analysed once: what the store knows is not sought again.
            if (facts.hasTempo && facts.hasKey) {
                source->stopAnalysing();
                analysisDone = true;
            }
            if (facts.hasLength && facts.length > 0 && !lengthKnown)
                takeLength(static_cast<int32_t>(std::min<int64_t>(facts.length, INT32_MAX)), true);
            uint8_t* pixels = editorView->overviewPixels();
            if (facts.hasOverview && !overviewKnown && pixels && facts.overview.size() == TrackSource::overviewBytes) {
                source->setBitmap(nullptr);
                relaxedBytes::copyIn(pixels, facts.overview.data(), TrackSource::overviewBytes);
                overviewKnown = true;
                editorView->refreshOverview(true);
            }
        }
        identityKnown = true;
    }
    if (tempoFound) editorView->showTempo(tempo * (1.0f + pitch * 0.01f));
    // What this opening learned before the track was identified is kept now.
    setInfos();
}

void Deck::analysed(TrackSource* source, const BeatGrid& grid, const MusicalKey& key) {
    if (!source || source != currentSource) return;
    bool tempoFound = false;
    {
        platform::MutexLock guard(identityMutex);
        if (source != currentSource) return;
        if (key.found()) keyIndex = key.tonic + (key.minor ? 12 : 0);
        analysisDone = true;
        const double rate = source->getSampleRate();
        if (grid.found() && !tempoByUser && !gridRestored && rate > 0) {
            tempo = static_cast<float>(grid.bpm);
            beatOrigin = saturatedFrames(grid.firstBeatSeconds * rate);
            tempoKnown = true;
            tempoFound = true;
        }
        if (grid.found() && !tempoByUser && rate > 0) {
            if (grid.constant)
                beatList.clear();
            else
                beatList.assign(grid.beats, rate, beatOrigin);
        }
    }
    writeLogf("analysed: %.3f BPM, first beat %.4f s, key %d\n", grid.bpm, grid.firstBeatSeconds, keyIndex.load());
    if (tempoFound) editorView->showTempo(tempo * (1.0f + pitch * 0.01f));
    setInfos();
}

void Deck::setInfos() {
    writeLog("setInfos\n");
    if (!keeper) return;
    // Facts are taken and queued under one lock, so the keeper keeps them
    // in the order they were learned, whichever thread learned them.
    platform::MutexLock guard(identityMutex);
    if (!identityKnown) return; // kept once the track is identified
    const TrackIdentity track = identity;
    TrackFacts facts;
    // The list may have changed since: the track is where it was opened from.
    facts.path = identityPath;
    const size_t slash = facts.path.find_last_of("/\\");
    facts.name = slash == std::string::npos ? facts.path : facts.path.substr(slash + 1);
    facts.hasTempo = tempoKnown;
    facts.tempo = tempo;
    facts.tempoByUser = tempoByUser;
    TrackSource* source = currentSource;
    const double rate = source ? source->getSampleRate() : 0.0;
    facts.hasFirstBeat = tempoKnown && rate > 0;
    facts.firstBeat = facts.hasFirstBeat ? beatOrigin / rate : 0.0;
    facts.hasKey = keyIndex >= 0;
    facts.key = keyIndex;
    if (rate > 0) facts.beats = beatList.seconds(rate);
    facts.hasLength = lengthKnown;
    facts.length = length;
    const uint8_t* pixels = editorView->overviewPixels();
    facts.hasOverview = overviewKnown && pixels;
    if (facts.hasOverview) {
        facts.overview.resize(TrackSource::overviewBytes);
        relaxedBytes::copyOut(facts.overview.data(), pixels, TrackSource::overviewBytes);
    }
    keeper->keep(track, std::move(facts));
}
