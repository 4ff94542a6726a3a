// The time each host block takes on the rendering thread, in the scenarios
// a DJ plays, for every kind of track, block size and host rate: the worst
// block, the 99.9th percentile and the mean, as a share of the block's
// duration and as a multiple of one bare libmad frame decode measured in
// the same run. Times are the rendering thread's CPU time
// (CLOCK_THREAD_CPUTIME_ID), so a busy machine neither hides nor excuses a
// slow block. Blocks are paced in real time, as a host plays, so the deck's
// decoding worker runs beside them as it would there (faster, the deck
// would take the run for an export and wait for its decoding).
//   tunedeck_block_times [--quick]   (--quick: 64-frame blocks at 44.1 kHz only)
#include <sys/resource.h>

#include <atomic>
#include <mad.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "bench/BenchTrack.h"
#include "platform/Clock.h"
#include "vst2/TrackPlayer.h"

namespace {

// Page faults this thread has taken so far: a block that takes one waits
// for the kernel, however quick its own work.
long threadFaults() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

intptr_t realTimeHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    switch (opcode) {
    case audioMasterVersion: return 2400;
    case audioMasterGetCurrentProcessLevel: return kVstProcessLevelRealtime;
    default: return 0;
    }
}

uint32_t simulatedMs = 0;
uint32_t simulatedTick() { return simulatedMs; }

// One bare decode and synthesis of an MPEG frame, the mean over a file.
double bareFrameSeconds(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bytes.resize(bytes.size() + MAD_BUFFER_GUARD, 0);
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, bytes.data(), bytes.size());
    int frames = 0;
    const double start = threadSeconds();
    while (frames < 3000) {
        if (mad_frame_decode(&frame, &stream) != 0) {
            if (MAD_RECOVERABLE(stream.error)) continue;
            break;
        }
        mad_synth_frame(&synth, &frame);
        ++frames;
    }
    const double took = threadSeconds() - start;
    mad_synth_finish(&synth);
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return frames ? took / frames : 0.0;
}

struct Scenario {
    const char* name;
    // Called before each block with the block's index and its seconds into the run.
    std::function<void(TrackPlayer&, int block, double seconds, std::mt19937&)> step;
};

double blockSeconds = 0.0; // of the run under way

// True for the first block at or after each multiple of period seconds.
bool every(double period, double seconds) {
    return seconds > 0 && std::floor(seconds / period) != std::floor((seconds - blockSeconds) / period);
}

void key(TrackPlayer& player, int note) {
    const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(note), 100};
    player.takeMidi(AudioThread::claim(), 0, bytes);
}

const std::vector<Scenario>& scenarios() {
    static const std::vector<Scenario> all = {
        {"play", [](TrackPlayer&, int, double, std::mt19937&) {}},
        {"pitch +6 %",
         [](TrackPlayer& p, int b, double, std::mt19937&) {
             if (b == 0) p.setPitch(0.5f + 6.0f / 64.0f);
         }},
        {"pitch moved every block",
         [](TrackPlayer& p, int, double, std::mt19937& r) { p.setPitch(static_cast<float>(r() % 1000) / 1000.0f); }},
        {"Position jump every 0.5 s",
         [](TrackPlayer& p, int, double s, std::mt19937& r) {
             if (every(0.5, s)) p.setParameter(TrackPlayer::Position, static_cast<float>(r() % 900) / 1000.0f);
         }},
        {"MIDI cue every 0.5 s",
         [](TrackPlayer& p, int, double s, std::mt19937& r) {
             static const int white[] = {60, 62, 64, 65, 67, 69, 71};
             if (every(0.5, s)) key(p, white[r() % 7]);
         }},
        {"jumps right after opening",
         [](TrackPlayer& p, int, double s, std::mt19937& r) {
             if (every(0.5, s)) p.playRow(0);
             if (!p.isOpening() && every(0.1, s)) p.seek(static_cast<float>(r() % 900) / 1000.0f);
         }},
        {"one-beat loop",
         [](TrackPlayer& p, int b, double, std::mt19937&) {
             if (b == 0) p.setLoop(true, 1.0f, 3);
         }},
        {"reverse",
         [](TrackPlayer& p, int, double, std::mt19937&) {
             static float value = 0.5f;
             value -= 0.00625f * 2; // -200 % of bend at 2 ms a block: ratio -1
             if (value < 0) value += 1.0f;
             p.jog(value);
         }},
        {"jog scratching",
         [](TrackPlayer& p, int, double s, std::mt19937&) {
             static float value = 0.5f;
             value += 0.02f * static_cast<float>(std::sin(s * 2 * M_PI * 3));
             value -= std::floor(value);
             p.jog(value);
         }},
        {"EQ moved every block",
         [](TrackPlayer& p, int, double, std::mt19937& r) {
             p.setGain(static_cast<int32_t>(r() % 3), static_cast<float>(r() % 1000) / 1000.0f);
             p.setCrossover(static_cast<int32_t>(r() % 2), static_cast<float>(r() % 1000) / 1000.0f);
         }},
        {"kill", [](TrackPlayer& p, int, double s, std::mt19937&) { p.setCut(1, std::fmod(s, 0.5) < 0.25); }},
        {"next track by MIDI",
         [](TrackPlayer& p, int, double s, std::mt19937&) {
             if (every(0.5, s)) key(p, 56);
         }},
    };
    return all;
}

struct Result {
    double worst, p999, mean;
    int worstBlock;
    long worstFaults; // page faults in the worst block
    long faultedBlocks; // blocks that took any
};

Result run(const Scenario& scenario, const std::vector<std::string>& tracks, float hostRate, int32_t blockFrames) {
    TrackPlayer player(realTimeHost, fullProfile, TrackPlayer::makeEditor);
    TrackList& list = player.trackList();
    for (size_t i = 0; i < tracks.size(); ++i) std::snprintf(list.entries[i], TrackList::pathRoom, "%s", tracks[i].c_str());
    list.count = static_cast<int32_t>(tracks.size());
    list.currentIndex = 0;
    player.setSampleRate(hostRate);
    player.openTrack();
    player.setPlaying(true);
    std::mt19937 random(42);
    blockSeconds = blockFrames / static_cast<double>(hostRate);
    const int blocks = static_cast<int>(1.0 / blockSeconds);
    std::vector<float> left(blockFrames), right(blockFrames);
    float* outs[2] = {left.data(), right.data()};
    std::vector<double> times;
    std::vector<long> faults;
    times.reserve(blocks);
    faults.reserve(blocks);
    AEffect* effect = player.record();
    auto next = std::chrono::steady_clock::now();
    for (int b = 0; b < blocks; ++b) {
        const double seconds = b * blockSeconds;
        simulatedMs = static_cast<uint32_t>(seconds * 1000.0) + 1000;
        scenario.step(player, b, seconds, random);
        const long faultsBefore = threadFaults();
        const double start = threadSeconds();
        effect->processReplacing(effect, nullptr, outs, blockFrames);
        times.push_back(threadSeconds() - start);
        faults.push_back(threadFaults() - faultsBefore);
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(blockSeconds));
        std::this_thread::sleep_until(next);
    }
    std::vector<double> sorted = times;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double t : times) sum += t;
    const auto worstAt = static_cast<int>(std::max_element(times.begin(), times.end()) - times.begin());
    const long faulted = static_cast<long>(std::count_if(faults.begin(), faults.end(), [](long f) { return f > 0; }));
    return {sorted.back() / blockSeconds, sorted[static_cast<size_t>(sorted.size() * 0.999)] / blockSeconds,
            sum / times.size() / blockSeconds, worstAt, faults[static_cast<size_t>(worstAt)], faulted};
}

} // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    platform::setTickSource(simulatedTick);
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tunedeck-block-times";
    std::filesystem::create_directories(folder);
    struct Kind {
        const char* name;
        std::string path;
        std::string command;
    };
    std::vector<Kind> kinds = {{"MP3 CBR", (folder / "cbr.mp3").string(), "lame --quiet -b 192"},
                               {"MP3 VBR", (folder / "vbr.mp3").string(), "lame --quiet -V 2"},
                               {"FLAC", (folder / "music.flac").string(), "flac --silent -f -o"},
                               {"WAV 16", (folder / "music16.wav").string(), "cp"},
                               {"WAV 24", (folder / "music24.wav").string(), "sh -c 'exec sox \"$0\" -b 24 \"$1\"'"}};
    for (Kind& kind : kinds) {
        if (std::filesystem::exists(kind.path)) continue;
        if (!bench::encodeTenMinutes(kind.command, kind.path, kind.command.rfind("flac", 0) == 0)) std::fprintf(stderr, "could not make %s\n", kind.path.c_str());
    }
    const double frame = bareFrameSeconds(kinds[0].path);
    std::printf("one bare libmad frame: %.1f us\n", frame * 1e6);
    // The machine's own noise: a fixed piece of work, about what a quiet
    // block costs, timed the same way, paced like blocks, as often as one
    // track's scenarios time blocks. A virtual machine whose host takes the
    // processor away charges that time to the thread it interrupted, in a
    // block of the deck or in this loop alike.
    const int noiseBlocks = quick ? 30000 : 100000;
    double noiseWorst = 0.0;
    int noiseOver = 0;
    {
        constexpr double block64 = 64.0 / 44100.0;
        std::vector<double> times;
        std::atomic<double> sink{0.0};
        auto next = std::chrono::steady_clock::now();
        for (int b = 0; b < noiseBlocks; ++b) {
            const double start = threadSeconds();
            double x = 0.0;
            for (int i = 0; i < 4000; ++i) x += i * 0.5;
            sink.store(x, std::memory_order_relaxed);
            times.push_back(threadSeconds() - start);
            next += std::chrono::microseconds(360);
            std::this_thread::sleep_until(next);
        }
        std::sort(times.begin(), times.end());
        noiseWorst = times.back() / block64;
        noiseOver = static_cast<int>(times.end() - std::upper_bound(times.begin(), times.end(), 0.1 * block64));
        std::printf("the machine's noise, a fixed %.1f us of work timed %d times: worst %.2f %%, p99.9 %.2f %% of a "
                    "64-frame block at 44.1 kHz; %d times over 10 %%\n",
                    times[times.size() / 2] * 1e6, noiseBlocks, 100 * noiseWorst,
                    100 * times[times.size() * 999 / 1000] / block64, noiseOver);
    }
    std::printf("%-8s %6s %5s  %-27s %8s %8s %8s %9s %6s %7s %8s\n", "track", "host", "block", "scenario", "worst",
                "p99.9", "mean", "worst/frm", "at", "faults", "faulted");
    double worstOf64 = 0.0;
    for (const Kind& kind : kinds)
        for (const float rate : {44100.0f, 48000.0f}) {
            if (quick && rate != 44100.0f) continue;
            for (const int32_t block : {64, 128, 512}) {
                if (quick && block != 64) continue;
                for (const Scenario& scenario : scenarios()) {
                    const Result r = run(scenario, {kind.path, kinds[3].path, kinds[2].path}, rate, block);
                    std::printf("%-8s %6.0f %5d  %-27s %7.2f%% %7.2f%% %7.2f%% %8.2fx %6d %7ld %8ld\n", kind.name, rate,
                                block, scenario.name, 100 * r.worst, 100 * r.p999, 100 * r.mean,
                                r.worst * block / static_cast<double>(rate) / frame, r.worstBlock, r.worstFaults,
                                r.faultedBlocks);
                    std::fflush(stdout);
                    if (block == 64) worstOf64 = std::max(worstOf64, r.worst);
                }
            }
        }
    std::printf("worst 64-frame block: %.2f %% of its duration (the machine's noise alone: %.2f %%)\n",
                100 * worstOf64, 100 * noiseWorst);
    std::filesystem::remove_all(folder);
    return 0;
}
