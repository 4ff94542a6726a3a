// Files an unlucky or hostile world hands the deck: FIFOs and devices named
// like tracks and lists, lists that never end, a share that stalls. Every
// call returns, the deck says why, and closing never waits for a read.
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "deck/DeckState.h"
#include "deck/FileReader.h"
#include "tests/support/PlayerFixture.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

using namespace std::chrono_literals;

// Turns a hang into a failure: the test program stops if call has not
// returned within 10 s. (It detects hangs; it does not time anything.)
template <typename Call>
void mustReturn(const char* what, Call&& call) {
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 1000 && !done; ++i) std::this_thread::sleep_for(10ms);
        if (!done) {
            std::fprintf(stderr, "%s did not return\n", what);
            std::abort();
        }
    });
    call();
    done = true;
    watchdog.join();
}

std::string fifo(const std::string& name) {
    const std::string path = testdata::tempPath(name);
    std::remove(path.c_str());
    EXPECT_EQ(mkfifo(path.c_str(), 0600), 0) << path;
    return path;
}

class HostileFiles : public PlayerFixture {
protected:
    std::string lastReason() {
        std::lock_guard<std::mutex> guard(editor().mutex);
        return editor().openReasons.empty() ? "" : editor().openReasons.back();
    }
    ScriptedDialogs dialogs;
};

TEST_F(HostileFiles, FifosFoldersAndMissingFilesNamedAsTracksAreRefusedWithTheReason) {
    const std::string folder = testdata::tempPath("folder.wav");
    std::filesystem::create_directories(folder);
    const struct {
        std::string path;
        const char* reason;
    } cases[] = {{fifo("pipe.mp3"), "not a file"},
                 {folder, "not a file"},
                 {testdata::tempPath("gone.flac"), "not found"},
                 {"/dev/zero", "not audio this deck plays"}};
    for (const auto& c : cases) {
        setEntries({c.path});
        mustReturn("opening a track", [&] { EXPECT_FALSE(player->openTrack()) << c.path; });
        EXPECT_EQ(lastReason(), c.reason) << c.path;
    }
}

TEST_F(HostileFiles, ListsThatAreFifosDevicesOrTooLargeAreNotReadAndTheAddSaysSo) {
    const std::string zero = testdata::tempPath("zero.m3u");
    std::remove(zero.c_str());
    ASSERT_EQ(symlink("/dev/zero", zero.c_str()), 0);
    const std::string huge = testdata::tempPath("huge.m3u");
    {
        std::ofstream out(huge);
        const std::string line(1000, 'x');
        for (int i = 0; i < 5000; ++i) out << "#" << line << "\n"; // 5 MB of comments
    }
    const std::string good = rampTrack("listed.wav", 500);
    const struct {
        std::string list;
        const char* reason;
    } cases[] = {{fifo("pipe.m3u"), "not a file"}, {zero, "not a file"}, {huge, "larger than a track list can be"}};
    for (const auto& c : cases) {
        dialogs.messages.clear();
        mustReturn("adding a list", [&] {
            player->addPaths({c.list, good}, false);
            player->waitForOpenings();
        });
        EXPECT_EQ(dialogs.messages, std::vector<std::string>{std::string("Track list: 1 track list was not read: ") +
                                                             c.reason})
            << c.list;
    }
    EXPECT_EQ(player->trackList().count, 3) << "the track beside each list was added";
}

TEST_F(HostileFiles, ASessionNamingAFifoRestoresTellsWhyAndCloses) {
    DeckState state;
    state.entries = {{fifo("session.mp3"), false}};
    state.playing = true;
    state.parameters[TrackPlayer::Vol] = 1.0f;
    const std::vector<uint8_t> chunk = state.write();
    mustReturn("a session's chunk", [&] {
        EXPECT_EQ(player->setChunk(const_cast<uint8_t*>(chunk.data()), static_cast<int32_t>(chunk.size()), false), 1);
        player->waitForOpenings();
    });
    EXPECT_EQ(lastReason(), "not a file");
    EXPECT_FALSE(player->isPlaying());
    mustReturn("closing", [&] { player.reset(); });
}

// A network share that stalls: a call on a file whose name says "stalled"
// does not return until the test lets it.
struct StalledShare {
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline bool released = false;
    static inline bool armed = true; // with it clear, the share answers
    static inline int waiting = 0;
    static void stall(const char* path) {
        if (!std::strstr(path, "stalled")) return;
        {
            std::lock_guard<std::mutex> guard(mutex);
            if (!armed) return;
        }
        std::unique_lock<std::mutex> lock(mutex);
        ++waiting;
        changed.notify_all();
        changed.wait(lock, [] { return released; });
        --waiting;
        changed.notify_all();
    }
    static void waitUntil(int readers) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [readers] { return waiting == readers; });
    }
    static void release() {
        std::lock_guard<std::mutex> guard(mutex);
        released = true;
        changed.notify_all();
    }
    static void arm(bool on) {
        std::lock_guard<std::mutex> guard(mutex);
        armed = on;
        released = false;
    }
};

TEST_F(HostileFiles, NeitherAnotherTrackNorClosingWaitsForAStalledRead) {
    TrackFile::useStallFunction(StalledShare::stall);
    const std::string good = rampTrack("after-stall.wav", 500);
    setEntries({testdata::tempPath("stalled.wav"), good});
    player->requestOpen();
    StalledShare::waitUntil(1);

    player->trackList().currentIndex = 1;
    mustReturn("another track", [&] {
        player->requestOpen();
        player->waitForOpenings();
    });
    EXPECT_EQ(player->getCurrentSource(), player->sourceAt(1)) << "the other track opened";
    EXPECT_EQ(player->getLength(), 500);

    player->trackList().currentIndex = 0;
    player->requestOpen();
    StalledShare::waitUntil(2);
    mustReturn("closing", [&] { player.reset(); });

    // The reads left behind end on their own, touching nothing of the deck.
    StalledShare::release();
    StalledShare::waitUntil(0);
    TrackFile::useStallFunction(nullptr);
}

// A share that stalls while its track plays: the deck plays on what it has
// decoded, and neither a change of track nor closing waits for the share.
TEST_F(HostileFiles, AShareThatStallsWhileItsTrackPlaysHoldsNeitherTheNextTrackNorClosing) {
    TrackFile::useStallFunction(StalledShare::stall);
    StalledShare::arm(false);
    for (const char* kind : {"wav", "flac", "mp3"}) {
        testdata::WavRecipe recipe;
        recipe.frames = 44100 * 30;
        const std::string track = testdata::encodedTrack(std::string("stalled-later-") + kind, recipe, kind);
        ASSERT_FALSE(track.empty());
        const std::string good = rampTrack("after-share-play.wav", 500);
        setEntries({track, good});
        unityLevels();
        ASSERT_TRUE(player->openTrack()) << kind;
        player->setPlaying(true);
        TestHost::processLevel = kVstProcessLevelRealtime;
        render(512);

        StalledShare::arm(true);
        player->seek(0.8f);
        StalledShare::waitUntil(1);
        mustReturn("blocks while the share stalls", [&] {
            for (int block = 0; block < 20; ++block) render(512);
        });
        player->trackList().currentIndex = 1;
        mustReturn("another track", [&] {
            player->requestOpen();
            player->waitForOpenings();
        });
        EXPECT_EQ(player->getLength(), 500) << kind;
        player->trackList().currentIndex = 0;
        StalledShare::release();
        StalledShare::waitUntil(0);
        StalledShare::arm(false);
        ASSERT_TRUE(player->openTrack()) << kind;
        render(512);
        StalledShare::arm(true);
        player->seek(0.5f);
        render(512);
        StalledShare::waitUntil(1);
        mustReturn("closing", [&] { player.reset(); });
        StalledShare::release();
        StalledShare::waitUntil(0);
        StalledShare::arm(false);
        player = std::make_unique<TrackPlayer>(TestHost::callback, profile(), editorFactory());
    }
    TrackFile::useStallFunction(nullptr);
}

// A list saved where a pipe lies, or where it cannot go: the save returns,
// a pipe gives way to the list, and a failed save says so and leaves
// nothing beside the list.
TEST_F(HostileFiles, SavingAListNeverHangsAndAFailedSaveLeavesNothingBehind) {
    setEntries({"/music/a.mp3", "/music/b.wav"});
    const std::string piped = fifo("saved-over-a-pipe.m3u");
    bool saved = false;
    mustReturn("saving over a pipe", [&] { saved = player->saveTrackList(piped.c_str()); });
    EXPECT_TRUE(saved);
    EXPECT_TRUE(std::filesystem::is_regular_file(piped));
    std::ifstream in(piped);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("music/b.wav\n"), std::string::npos) << text;

    const std::string folder = testdata::tempPath("failed-saves/");
    std::filesystem::create_directories(folder + "taken.m3u/inside");
    EXPECT_FALSE(player->saveTrackList((folder + "taken.m3u").c_str())) << "a folder of that name stays";
    EXPECT_TRUE(std::filesystem::is_directory(folder + "taken.m3u/inside"));
    EXPECT_FALSE(player->saveTrackList((folder + "no-such-folder/set.m3u").c_str()));
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename(), "taken.m3u") << "nothing left beside it";
}

} // namespace
