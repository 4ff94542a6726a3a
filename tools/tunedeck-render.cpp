// tunedeck-render: a command-line VST 2 host for one tunedeck instance. It
// fills the track list as the add-files button does, presses Play, drives
// host parameters and MIDI notes on a timeline and renders through
// processReplacing into a WAV file. Like a host that shows the plug-in's
// window, it keeps the editor open (drawn off-screen) and idles it, and it
// can write a picture of the window at the end. Notes reach the deck at
// their own frame within the block, as a host sends them; parameter values
// at the start of the block they fall in, as VST 2 allows.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "analysis/KeyAnalyser.h"
#include "deck/PlaylistText.h"
#include "platform/Clock.h"
#include "platform/Paths.h"
#include "log/DebugLog.h"
#include "vst2/EffectFactory.h"
#include "gui/WindowView.h"
#include "editor/PlayerEditor.h"
#include "vst2/TrackPlayer.h"
#include "tools/PngWriter.h"
#include "tools/WavWriter.h"
#include "store/StoreSummary.h"
#include "store/TrackStore.h"

namespace {

const char* usageText =
    "       tunedeck-render --store-summary   (the track store, in the first store's summary form)\n"
    "       tunedeck-render --analyse FILE... (tempo, first beat and key of each track, kept in the store)\n"
    "usage: tunedeck-render [--build full|compact] [--rate HZ] [--block FRAMES] [--seconds S]\n"
    "                       [--set NAME=VALUE@T]... [--note KEY@T]... [--paused] [--pcm16] [--no-wait]\n"
    "                       [--host-dir DIR] [--out FILE.wav] [--editor-closed]\n"
    "                       [--host-tempo BPM[@T]]... [--host-locate BEAT@T]... [--host-stop T] [--host-roll T]\n"
    "                       [--screenshot FILE.png [--page N] [--scale S] [--select N]]\n"
    "                       [--state-in FILE] [--state-out FILE] FILE...\n"
    "  FILE        tracks (.mp1 .mp2 .mp3 .wav .flac) or .m3u and .m3u8 track lists, added as one selection\n"
    "              (none needed with --state-in)\n"
    "  --build     which build to host (default full)\n"
    "  --rate      host sample rate in Hz (default 44100)\n"
    "  --block     frames per processReplacing call (default 512)\n"
    "  --seconds   how long to render (default: until playback stops, at most 600)\n"
    "  --set       set host parameter NAME (as the host sees it) to VALUE at T seconds\n"
    "  --note      send a note-on of KEY, velocity 100, at T seconds\n"
    "  --paused    do not press Play\n"
    "  --pcm16     write 16-bit PCM instead of 32-bit float\n"
    "  --no-wait   start at once, before the track's analysis, and do not let the loader\n"
    "              finish its walk before closing\n"
    "  --host-dir  what the host answers when asked for the plug-in's directory\n"
    "  --host-tempo  the host tells a tempo and musical time (4/4, from beat 0 at the start,\n"
    "              its transport rolling): BPM from the start, or from the block at T seconds\n"
    "  --host-locate  the host's position jumps to quarter note BEAT at T seconds\n"
    "  --host-stop, --host-roll  the host's transport stops or rolls at T seconds\n"
    "  --out       output file (default out.wav)\n"
    "  --log FILE  write the plug-in's debug log to FILE\n"
    "  --editor-closed  never open the editor window (host parameters and MIDI keys act\n"
    "              all the same)\n"
    "  --screenshot  write the editor window as drawn after the render to FILE.png\n"
    "  --select    select list row N (from 0) before the picture, as a click on it does\n"
    "  --scale     draw the editor at scale S (1 to 3), as a host at that scale asks\n"
    "  --page      the compact build's page to picture: 0 transport, 1 equaliser,\n"
    "              2 track list, 3 jog and loops (default 0)\n"
    "  --state-in  start from a deck state saved with --state-out (or by a host): its list,\n"
    "              track, position, controls and tempo; it opens stopped, and Play is\n"
    "              pressed as in any run unless --paused\n"
    "  --state-out save the deck's state after the render, as a host saves it in a project\n";

struct TimedEvent {
    double seconds;
    bool isNote;
    int32_t index; // parameter index or key
    float value;
};

// The host's own clock, for a deck that follows it: changes take effect at
// the first block starting at or after their time, as a host's per-block
// time does.
struct HostEvent {
    enum Kind { Tempo, Locate, Stop, Roll } kind;
    double seconds;
    double value;
};

struct Options {
    const BuildProfile* profile = &fullProfile;
    double rate = 44100;
    int32_t block = 512;
    double seconds = -1;
    bool paused = false, pcm16 = false, wait = true, editorOpen = true;
    int32_t page = 0;
    double scale = 0.0; // 0: the desktop's
    int32_t select = -1;
    std::string hostDir, out = "out.wav", log, screenshot, stateIn, stateOut;
    std::vector<TimedEvent> events;
    std::vector<HostEvent> hostEvents;
    std::vector<std::string> files;
};

std::string hostDirectory;
VstTimeInfo hostClock{};
bool hostTells = false;

intptr_t hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
    case audioMasterGetTime: return hostTells ? reinterpret_cast<intptr_t>(&hostClock) : 0;
    case audioMasterVersion: return 2400;
    case audioMasterGetDirectory: return hostDirectory.empty() ? 0 : reinterpret_cast<intptr_t>(hostDirectory.c_str());
    case audioMasterWantMidi: return 1;
    case audioMasterGetCurrentProcessLevel: return kVstProcessLevelOffline; // a file, not a room
    case audioMasterSetTime:
    case audioMasterIdle:
    default: return 0;
    }
}

[[noreturn]] void usage(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "tunedeck-render: %s\n", problem.c_str());
    std::fputs(usageText, stderr);
    std::exit(2);
}

double number(const std::string& text, const char* what) {
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end || !std::isfinite(v)) usage(std::string("bad ") + what + ": " + text);
    return v;
}

// "LEFT@SECONDS" into its two parts.
std::pair<std::string, double> timed(const std::string& text, const char* what) {
    size_t at = text.rfind('@');
    if (at == std::string::npos) usage(std::string(what) + " needs @T: " + text);
    double t = number(text.substr(at + 1), "time");
    if (t < 0) usage(std::string("negative time: ") + text);
    return {text.substr(0, at), t};
}

int32_t parameterIndex(const std::string& name) {
    for (int32_t i = 0; i < Deck::parameterCount; ++i) {
        char text[Deck::parameterTextRoom] = {};
        Deck::valueName(i, text);
        if (name == text) return i;
    }
    usage("no parameter named " + name);
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) usage(a + " needs a value");
            return argv[++i];
        };
        if (a == "--build") {
            std::string b = value();
            if (b == "full") o.profile = &fullProfile;
            else if (b == "compact") o.profile = &compactProfile;
            else usage("unknown build " + b);
        } else if (a == "--rate") {
            o.rate = number(value(), "rate");
            if (o.rate < 1000 || o.rate > 768000) usage("rate out of range");
        } else if (a == "--block") {
            double b = number(value(), "block");
            if (b < 1 || b > 65536 || b != std::floor(b)) usage("block out of range");
            o.block = static_cast<int32_t>(b);
        } else if (a == "--seconds") {
            o.seconds = number(value(), "seconds");
            if (o.seconds < 0 || o.seconds > 24 * 3600) usage("seconds out of range");
        } else if (a == "--set") {
            auto [left, t] = timed(value(), "--set");
            size_t eq = left.find('=');
            if (eq == std::string::npos) usage("--set needs NAME=VALUE@T");
            o.events.push_back({t, false, parameterIndex(left.substr(0, eq)),
                                static_cast<float>(number(left.substr(eq + 1), "value"))});
        } else if (a == "--note") {
            auto [left, t] = timed(value(), "--note");
            double key = number(left, "key");
            if (key < 0 || key > 127 || key != std::floor(key)) usage("key out of range: " + left);
            o.events.push_back({t, true, static_cast<int32_t>(key), 0});
        } else if (a == "--host-tempo") {
            const std::string text = value();
            auto [bpm, t] = text.find('@') == std::string::npos ? std::pair(text, 0.0) : timed(text, "--host-tempo");
            const double tempo = number(bpm, "tempo");
            if (tempo < 10 || tempo > 999) usage("tempo out of range: " + bpm);
            o.hostEvents.push_back({HostEvent::Tempo, t, tempo});
        } else if (a == "--host-locate") {
            auto [beat, t] = timed(value(), "--host-locate");
            o.hostEvents.push_back({HostEvent::Locate, t, number(beat, "beat")});
        } else if (a == "--host-stop" || a == "--host-roll") {
            const double t = number(value(), "time");
            if (t < 0) usage("negative time");
            o.hostEvents.push_back({a == "--host-stop" ? HostEvent::Stop : HostEvent::Roll, t, 0});
        } else if (a == "--paused") {
            o.paused = true;
        } else if (a == "--pcm16") {
            o.pcm16 = true;
        } else if (a == "--no-wait") {
            o.wait = false;
        } else if (a == "--host-dir") {
            o.hostDir = value();
        } else if (a == "--log") {
            o.log = value();
        } else if (a == "--editor-closed") {
            o.editorOpen = false;
        } else if (a == "--screenshot") {
            o.screenshot = value();
        } else if (a == "--select") {
            double r = number(value(), "row");
            if (r < 0 || r > 255 || r != std::floor(r)) usage("row out of range");
            o.select = static_cast<int32_t>(r);
        } else if (a == "--scale") {
            o.scale = number(value(), "scale");
            if (!(o.scale >= 1 && o.scale <= 3)) usage("scale out of range");
        } else if (a == "--page") {
            double p = number(value(), "page");
            if (p < 0 || p > 3 || p != std::floor(p)) usage("page out of range");
            o.page = static_cast<int32_t>(p);
        } else if (a == "--state-in") {
            o.stateIn = value();
        } else if (a == "--state-out") {
            o.stateOut = value();
        } else if (a == "--out") {
            o.out = value();
        } else if (a == "--help" || a == "-h") {
            std::fputs(usageText, stdout);
            std::exit(0);
        } else if (a.size() > 1 && a[0] == '-') {
            usage("unknown option " + a);
        } else {
            o.files.push_back(a);
        }
    }
    if (o.files.empty() && o.stateIn.empty()) usage("no FILE given");
    if (!o.screenshot.empty() && !o.editorOpen) usage("--screenshot needs the editor open");
    return o;
}

// An MPEG source reads nothing until its loader has found the first frame,
// about a millisecond after the opening; a host rendering in real time does
// not notice, a faster one waits for it.
void waitUntilReadable(TrackPlayer& player) {
    for (int i = 0; i < 5000 && player.isPlaying(); ++i) {
        TrackSource* source = player.getCurrentSource();
        if (!source || source->getLength() > 0 || !source->isLoading()) return;
        usleep(1000);
    }
}

intptr_t dispatch(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                  float opt = 0) {
    return e->dispatcher(e, opcode, index, value, ptr, opt);
}

// The off-screen window has been shown once, as a host's window is: from
// then on the editor draws what changes at each idle.
void showWindow(PlayerEditor& editor) {
    WindowView* frame = editor.windowView();
    if (!frame) return;
    if (auto* window = dynamic_cast<platform::OffscreenWindow*>(&frame->native()))
        window->queuePaint(0, 0, frame->pixels().width() - 1, frame->pixels().height() - 1);
}

bool writeScreenshot(PlayerEditor& editor, const Options& o) {
    editor.setPage(o.page);
    editor.idle();
    WindowView* frame = editor.windowView();
    if (!frame) return false;
    frame->drawView(nullptr);
    return writePng(o.screenshot, frame->pixels());
}

} // namespace

bool loadState(AEffect* effect, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> block((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) block.clear();
    if (block.empty() || dispatch(effect, effSetChunk, 0, static_cast<intptr_t>(block.size()), block.data()) != 1) {
        std::fprintf(stderr, "tunedeck-render: %s is not a deck state this plug-in reads\n", path.c_str());
        return false;
    }
    return true;
}

bool saveState(AEffect* effect, const std::string& path) {
    void* data = nullptr;
    const intptr_t size = dispatch(effect, effGetChunk, 0, 0, &data);
    std::ofstream out(path, std::ios::binary);
    if (size <= 0 || !data || !out.write(static_cast<const char*>(data), size)) {
        std::fprintf(stderr, "tunedeck-render: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

// The user's track store as text: every track, then the tempo order.
int storeSummaryCommand() {
    const std::string path = Deck::storePath();
    if (path.empty() || !std::filesystem::exists(path)) {
        std::fprintf(stderr, "tunedeck-render: no track store yet (%s)\n", path.empty() ? "no data folder" : path.c_str());
        return 1;
    }
    TrackStore store(path);
    if (!store.usable()) {
        std::fprintf(stderr, "tunedeck-render: the track store: %s\n", store.problem());
        return 1;
    }
    const std::string text = storeSummary(store.summaryLines());
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

// A crate analysed before a gig: every track the files name (lists
// included), opened in turn in a deck of its own, its tempo, first beat and
// key printed as the deck found them (or as the store knew them) and kept.
int analyseCommand(const std::vector<std::string>& files) {
    namespace paths = platform::paths;
    AEffect* effect = createPlayerEffect(hostCallback, fullProfile);
    if (!effect) return 1;
    auto* player = static_cast<TrackPlayer*>(EffectBase::fromRecord(effect));
    dispatch(effect, effOpen);
    TrackSource::pauseLoaders(false); // nothing plays meanwhile: walks at full speed
    std::vector<std::string> complete;
    for (const std::string& file : files)
        complete.push_back(paths::normalised(paths::isComplete(file) ? file : paths::join(paths::currentDirectory(), file)));
    player->addPaths(complete, false);
    player->waitForOpenings();
    const int32_t count = player->trackList().count;
    const bool terminal = isatty(STDERR_FILENO) != 0;
    int failed = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (terminal) {
            const int done = count > 0 ? 30 * i / count : 0;
            std::fprintf(stderr, "\r[%.*s%*s] %d/%d", done, "##############################", 30 - done, "", i, count);
        }
        player->trackList().currentIndex = i;
        const std::string path = player->trackList().entries[i];
        if (!player->openTrack()) {
            std::printf("%s: cannot be opened\n", path.c_str());
            ++failed;
            continue;
        }
        // The walk tells its analysis at its end; a track the store knows at once.
        for (int k = 0; k < 60000 && !player->isAnalysed(); ++k) platform::sleepMs(2);
        if (player->storeKeeper()) player->storeKeeper()->settle();
        const TrackSource* source = player->getCurrentSource();
        const double rate = source ? source->getSampleRate() : 0.0;
        const int32_t key = player->getKey();
        MusicalKey named;
        named.tonic = key >= 0 ? key % 12 : -1;
        named.minor = key >= 12;
        if (terminal) std::fprintf(stderr, "\r%*s\r", 44, "");
        if (!player->isAnalysed() || rate <= 0) {
            std::printf("%s: not analysed\n", path.c_str());
            ++failed;
            continue;
        }
        if (player->isTempoKnown())
            std::printf("%s: bpm %.3f first_beat_s %.4f key %s\n", path.c_str(), static_cast<double>(player->getTempo()),
                        player->getBeatOrigin() / rate, named.found() ? named.camelot().c_str() : "-");
        else // too short, or no beat to find (silence, noise)
            std::printf("%s: bpm - first_beat_s - key %s\n", path.c_str(), named.found() ? named.camelot().c_str() : "-");
        std::fflush(stdout);
    }
    if (terminal) std::fprintf(stderr, "\r%*s\r", 44, "");
    dispatch(effect, effClose);
    return failed == 0 ? 0 : 1;
}

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--store-summary") return storeSummaryCommand();
    if (argc >= 2 && std::string(argv[1]) == "--analyse") return analyseCommand(std::vector<std::string>(argv + 2, argv + argc));
    Options o = parse(argc, argv);
    hostDirectory = o.hostDir;
    if (!o.log.empty()) DebugLog::create(o.log.c_str(), false);

    AEffect* effect = createPlayerEffect(hostCallback, *o.profile);
    if (!effect) {
        std::fprintf(stderr, "tunedeck-render: the plug-in did not start\n");
        return 1;
    }
    auto* player = static_cast<TrackPlayer*>(EffectBase::fromRecord(effect));
    dispatch(effect, effOpen);
    dispatch(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(o.rate));
    dispatch(effect, effSetBlockSize, 0, o.block);
    dispatch(effect, effMainsChanged, 0, 1);
    PlayerEditor& editor = editorOf(*player);
    if (o.editorOpen) {
        if (o.scale > 0)
            dispatch(effect, effVendorSpecific, fourCharCode('P', 'r', 'e', 'S'), fourCharCode('A', 'e', 'C', 's'),
                     nullptr, static_cast<float>(o.scale));
        if (dispatch(effect, effEditOpen) == 0) {
            std::fprintf(stderr, "tunedeck-render: the editor did not open\n");
            dispatch(effect, effClose);
            return 1;
        }
        showWindow(editor);
        dispatch(effect, effEditIdle);
    }

    if (!o.stateIn.empty() && !loadState(effect, o.stateIn)) {
        dispatch(effect, effClose);
        return 1;
    }
    player->waitForOpenings();

    std::vector<std::string> accepted;
    for (const std::string& file : o.files) {
        bool list = playlist::namesList(file);
        bool playable = false;
        for (int32_t s = 0; player->sourceAt(s); ++s) playable = playable || player->sourceAt(s)->acceptsFile(file.c_str());
        if ((!list && !playable) || access(file.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "tunedeck-render: skipping %s: %s\n", file.c_str(),
                         access(file.c_str(), R_OK) != 0 ? "cannot be read" : "no source plays it");
            continue;
        }
        // A saved state must find the file again from wherever it is loaded.
        namespace paths = platform::paths;
        accepted.push_back(paths::normalised(paths::isComplete(file) ? file : paths::join(paths::currentDirectory(), file)));
    }
    if (!accepted.empty()) player->addPaths(accepted, true);
    player->waitForOpenings();
    // The track's beat grid before the first block, as a person hears the
    // track open before pressing a loop: a render runs many times faster
    // than the analysis reports.
    // Nothing plays meanwhile: the loader walks at full speed, and at a
    // host's pace again once the render starts.
    TrackSource::pauseLoaders(false);
    for (int k = 0; k < 30000 && o.wait && player->getCurrentSource() && !player->isAnalysed(); ++k)
        platform::sleepMs(2);
    TrackSource::pauseLoaders(true);
    if (!o.paused && !player->trackList().empty()) player->setPlaying(true);
    if (o.editorOpen) dispatch(effect, effEditIdle);

    WavWriter out(o.out, static_cast<int>(o.rate), o.pcm16);
    if (!out.ok()) {
        std::fprintf(stderr, "tunedeck-render: cannot write %s\n", o.out.c_str());
        dispatch(effect, effClose);
        return 1;
    }

    const double limitSeconds = o.seconds >= 0 ? o.seconds : 600.0;
    const auto limitFrames = static_cast<int64_t>(limitSeconds * o.rate);
    std::vector<float> left(o.block), right(o.block);
    float* outs[2] = {left.data(), right.data()};
    std::vector<bool> done(o.events.size(), false);
    const bool terminal = isatty(STDERR_FILENO);
    const auto started = std::chrono::steady_clock::now();
    auto lastProgress = started;
    int64_t frame = 0;
    // Hosts idle the editor about every 40 ms.
    const auto idleFrames = static_cast<int64_t>(o.rate * 0.04);
    int64_t nextIdle = idleFrames;

    std::vector<bool> hostDone(o.hostEvents.size(), false);
    hostTells = !o.hostEvents.empty();
    bool hostRolling = true;
    hostClock.sampleRate = o.rate;
    hostClock.tempo = 120.0;
    hostClock.timeSigNumerator = hostClock.timeSigDenominator = 4;
    while (frame < limitFrames) {
        const int32_t n = static_cast<int32_t>(std::min<int64_t>(o.block, limitFrames - frame));
        for (size_t i = 0; i < o.hostEvents.size(); ++i) {
            if (hostDone[i] || static_cast<int64_t>(std::ceil(o.hostEvents[i].seconds * o.rate)) > frame) continue;
            hostDone[i] = true;
            const HostEvent& ev = o.hostEvents[i];
            if (ev.kind == HostEvent::Tempo) hostClock.tempo = ev.value;
            if (ev.kind == HostEvent::Locate) hostClock.ppqPos = ev.value;
            if (ev.kind == HostEvent::Stop || ev.kind == HostEvent::Roll) hostRolling = ev.kind == HostEvent::Roll;
        }
        hostClock.samplePos = static_cast<double>(frame);
        hostClock.barStartPos = 4.0 * std::floor(hostClock.ppqPos / 4.0);
        hostClock.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid |
                          (hostRolling ? kVstTransportPlaying : 0);
        bool eventsLeft = false;
        for (size_t i = 0; i < o.events.size(); ++i) {
            if (done[i]) continue;
            if (static_cast<int64_t>(o.events[i].seconds * o.rate) >= frame + n) {
                eventsLeft = true;
                continue;
            }
            done[i] = true;
            const TimedEvent& ev = o.events[i];
            if (ev.isNote) {
                const auto at = static_cast<int32_t>(
                    std::clamp<int64_t>(static_cast<int64_t>(ev.seconds * o.rate) - frame, 0, n - 1));
                VstMidiEvent note{kVstMidiType, sizeof(VstMidiEvent), at, 0, 0, 0,
                                  {static_cast<char>(0x90), static_cast<char>(ev.index), 100, 0}, 0, 0, 0, 0};
                VstEvents list{1, 0, {reinterpret_cast<VstEvent*>(&note), nullptr}};
                dispatch(effect, effProcessEvents, 0, 0, &list);
            } else {
                effect->setParameter(effect, ev.index, ev.value);
            }
        }
        // "Until playback stops" ends once nothing plays, nothing is being
        // opened and no timed event is left to start it again.
        // A host renders in real time and the opener is done within a block;
        // rendering faster than that, wait for it so the output does not
        // depend on the machine's speed.
        player->waitForOpenings();
        waitUntilReadable(*player);
        if (o.seconds < 0 && !player->isPlaying() && !eventsLeft) break;
        effect->processReplacing(effect, nullptr, outs, n);
        out.write(left.data(), right.data(), n);
        frame += n;
        if (hostRolling) hostClock.ppqPos += n * hostClock.tempo / 60.0 / o.rate;
        if (o.editorOpen && frame >= nextIdle) {
            nextIdle = frame + idleFrames;
            dispatch(effect, effEditIdle);
        }
        auto now = std::chrono::steady_clock::now();
        if (terminal && now - lastProgress > std::chrono::milliseconds(250)) {
            lastProgress = now;
            std::fprintf(stderr, "\rrendered %.1f s", static_cast<double>(frame) / o.rate);
        }
    }
    if (terminal) std::fprintf(stderr, "\r");

    if (o.wait) {
        for (int i = 0; i < 3000; ++i) {
            TrackSource* source = player->getCurrentSource();
            if (!source || !source->isLoading()) break;
            usleep(10000);
        }
    }
    bool pictured = true;
    if (!o.screenshot.empty()) {
        player->waitForOpenings();
        if (o.select >= 0) player->toggleSelection(o.select);
        dispatch(effect, effEditIdle);
        pictured = writeScreenshot(editor, o);
        if (!pictured) std::fprintf(stderr, "tunedeck-render: cannot write %s\n", o.screenshot.c_str());
    }
    if (!o.stateOut.empty() && !saveState(effect, o.stateOut)) pictured = false;
    if (o.editorOpen) dispatch(effect, effEditClose);
    dispatch(effect, effMainsChanged, 0, 0);
    dispatch(effect, effClose);
    bool written = out.finish();

    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    double audio = static_cast<double>(frame) / o.rate;
    std::printf("rendered %lld frames (%.2f s) to %s in %.2f s, %.1fx real time\n", static_cast<long long>(frame),
                audio, o.out.c_str(), elapsed, elapsed > 0 ? audio / elapsed : 0.0);
    DebugLog::destroy();
    return written && pictured ? 0 : 1;
}
