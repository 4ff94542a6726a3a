#include <sched.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "store/TrackInfoStore.h"
#include "tests/support/PlayerFixture.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestFiles.h"

namespace {

const int32_t sigA[4] = {1, 2, 3, 4};
const int32_t sigB[4] = {5, 6, 7, 8};

std::string freshStorePath(const std::string& name) {
    std::string path = testdata::tempPath(name);
    std::remove(path.c_str());
    testdata::writeFile(path, {});
    return path;
}

uint64_t fileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<uint64_t>(info.st_size) : 0;
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TrackInfoRecordLayout, FieldsLieWhereTheStoreFileHasThem) {
    std::vector<uint8_t> bytes(sizeof(TrackInfoRecord), 0);
    auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&bytes[at], &v, 4); };
    put32(0, 11), put32(12, 44), put32(16, 7);
    std::memcpy(&bytes[20], "name.mp3", 9);
    float tempo = 128.5f;
    std::memcpy(&bytes[1044], &tempo, 4);
    put32(1048, 8830000), put32(1052, 248), put32(1056, 16);
    bytes[1060] = 0xAB;
    bytes[1060 + 11903] = 0xCD;
    std::memcpy(&bytes[14992], "/music/name.mp3", 16);
    put32(16016, 1700000000);
    TrackInfoRecord record;
    std::memcpy(&record, bytes.data(), sizeof record);
    EXPECT_EQ(record.signature[0], 11);
    EXPECT_EQ(record.signature[3], 44);
    EXPECT_EQ(record.flags, 7);
    EXPECT_STREQ(record.name, "name.mp3");
    EXPECT_EQ(record.tempo, 128.5f);
    EXPECT_EQ(record.length, 8830000);
    EXPECT_EQ(record.bitmapWidth, 248);
    EXPECT_EQ(record.bitmap[0], 0xAB);
    EXPECT_EQ(record.bitmap[11903], 0xCD);
    EXPECT_STREQ(record.path, "/music/name.mp3");
    EXPECT_EQ(record.stored, 1700000000);
    EXPECT_EQ(sizeof(TrackInfoHeader), 32u);
}

TEST(TrackInfoStore, FactsAccumulateAndAreUpdatedInPlace) {
    TrackInfoStore store(freshStorePath("accumulate.dat"));
    ASSERT_TRUE(store.usable());
    EXPECT_EQ(store.recordCount(), 0);
    store.putRecord(sigA, "/music/a.mp3", 128.0f, 0, nullptr, true, false, false);
    EXPECT_EQ(store.recordCount(), 1);
    store.putRecord(sigA, "/music/a.mp3", 0.0f, 500000, nullptr, false, true, false);
    EXPECT_EQ(store.recordCount(), 1) << "storing again only updates";
    TrackInfoRecord r = store.getRecord(sigA, nullptr, false);
    EXPECT_EQ(r.flags, 3);
    EXPECT_EQ(r.tempo, 128.0f);
    EXPECT_EQ(r.length, 500000);
    EXPECT_STREQ(r.name, "a.mp3");
    EXPECT_STREQ(r.path, "/music/a.mp3");
    EXPECT_EQ(r.bitmapWidth, 248);
    store.putRecord(sigB, "/x.mp3", 1.0f, 1, nullptr, false, false, false);
    EXPECT_EQ(store.recordCount(), 1) << "nothing to store";
    EXPECT_EQ(store.getRecord(sigB, nullptr, false).flags, 0);
}

TEST(TrackInfoStore, ASameNamedFileIsOfferedAndYesMakesItTheSameTrack) {
    ScriptedDialogs dialogs;
    TrackInfoStore store(freshStorePath("question.dat"));
    store.putRecord(sigA, "/music/song.mp3", 100.0f, 0, nullptr, true, false, false);

    dialogs.answer = false;
    EXPECT_EQ(store.getRecord(sigB, "/elsewhere/song.mp3", true).flags, 0);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0],
              "tunedeck: track store: /elsewhere/song.mp3 has the name of a track the store knows, but other "
              "contents.\nIt is probably the same music encoded differently.\nUse what the store knows of it "
              "(length, tempo, overview)?");
    EXPECT_EQ(store.getRecord(sigB, "/elsewhere/other.mp3", true).flags, 0);
    EXPECT_EQ(dialogs.questions.size(), 1u) << "another name asks nothing";
    EXPECT_EQ(store.getRecord(sigB, "/elsewhere/song.mp3", false).flags, 0);
    EXPECT_EQ(dialogs.questions.size(), 1u) << "without a person to ask, the answer is No";

    dialogs.answer = true;
    TrackInfoRecord r = store.getRecord(sigB, "/elsewhere/song.mp3", true);
    EXPECT_EQ(r.flags, 1);
    EXPECT_EQ(r.tempo, 100.0f);
    EXPECT_EQ(store.findRecord(sigB), 0) << "the record took the new signature";
}

TEST(TrackInfoStore, AFullStoreRefusesNewTracksWithFourInstances) {
    std::string path = freshStorePath("full.dat");
    {
        // A store file with 16,384 records, each with its own signature.
        std::string bytes(4 + 16384 * sizeof(TrackInfoRecord), '\0');
        int32_t count = 16384;
        std::memcpy(&bytes[0], &count, 4);
        for (int32_t i = 0; i < count; ++i) {
            int32_t sig[4] = {i, -i, 7, 9};
            std::memcpy(&bytes[4 + i * sizeof(TrackInfoRecord)], sig, sizeof sig);
        }
        std::ofstream(path, std::ios::binary) << bytes;
    }
    TrackInfoStore first(path), second(path), third(path), fourth(path);
    EXPECT_EQ(fourth.recordCount(), 16384);
    EXPECT_EQ(first.userCount(), 4);
    fourth.putRecord(sigA, "/new.mp3", 120.0f, 0, nullptr, true, false, false);
    EXPECT_EQ(first.recordCount(), 16384);
    EXPECT_EQ(second.getRecord(sigA, nullptr, false).flags, 0);
    int32_t last[4] = {16383, -16383, 7, 9};
    EXPECT_EQ(third.findRecord(last), 16383);
}

TEST(StoreFile, ANewEmptyFileReadsAsNoRecordsAndOneTrackWritesOneRecord) {
    std::string path = freshStorePath("roundtrip.dat");
    {
        TrackInfoStore store(path);
        EXPECT_EQ(store.recordCount(), 0);
        std::vector<uint8_t> pixels(TrackSource::overviewBytes, 0x42);
        store.putRecord(sigA, "/music/a.mp3", 128.0f, 8830000, pixels.data(), true, true, true);
    }
    EXPECT_EQ(fileSize(path), 4u + 17044u);
    TrackInfoStore again(path);
    TrackInfoRecord r = again.getRecord(sigA, nullptr, false);
    EXPECT_EQ(r.flags, 7);
    EXPECT_EQ(r.bitmap[500], 0x42);
    EXPECT_EQ(r.length, 8830000);
}

TEST(StoreFile, UnreadableFilesAreNeverOverwrittenHoweverManyInstancesCloseInWhateverOrder) {
    std::vector<std::string> files;
    for (int32_t count : {-5, 16385, 0x7FFFFFFF, 3}) { // 3 records claimed, one record's bytes there
        std::string bytes(4 + 17044 + 100, 'x');
        std::memcpy(&bytes[0], &count, 4);
        files.push_back(bytes);
    }
    std::string random(5000, '\0');
    for (size_t i = 0; i < random.size(); ++i) random[i] = static_cast<char>((i * 2654435761u) >> 11);
    files.push_back(random);
    for (const std::string& bytes : files)
        for (int instances : {1, 2, 3})
            for (int order = 0; order < 2; ++order) {
                std::string path = freshStorePath("bad.dat");
                std::ofstream(path, std::ios::binary) << bytes;
                std::vector<std::unique_ptr<TrackInfoStore>> stores;
                for (int i = 0; i < instances; ++i) stores.push_back(std::make_unique<TrackInfoStore>(path));
                for (auto& store : stores) {
                    EXPECT_FALSE(store->isLoaded());
                    store->putRecord(sigA, "/a.mp3", 120.0f, 0, nullptr, true, false, false);
                }
                if (order) std::reverse(stores.begin(), stores.end());
                while (!stores.empty()) stores.erase(stores.begin());
                ASSERT_EQ(readText(path), bytes) << instances << " instances";
            }
}

TEST(StoreFile, TracksWhoseFourWordsAreAllAlikeAreNotStored) {
    std::string path = freshStorePath("alike.dat");
    const int32_t silence[4] = {0, 0, 0, 0}, constant[4] = {7, 7, 7, 7};
    {
        TrackInfoStore store(path);
        store.putRecord(silence, "/a.wav", 120.0f, 100, nullptr, true, true, false);
        store.putRecord(constant, "/b.wav", 120.0f, 100, nullptr, true, true, false);
        EXPECT_EQ(store.recordCount(), 0);
        EXPECT_EQ(store.getRecord(silence, "/a.wav", false).flags, 0);
    }
}

TrackInfoRecord summaryRecord(float tempo, int32_t length, int32_t flags, const char* name) {
    TrackInfoRecord r{};
    r.tempo = tempo;
    r.length = length;
    r.flags = flags;
    r.stored = 0;
    std::snprintf(r.name, sizeof r.name, "%s", name);
    std::snprintf(r.path, sizeof r.path, "/music/%s", name);
    return r;
}

TEST(StoreSummary, ListsEveryTrackThenTheTempoOrder) {
    setenv("TZ", "UTC", 1);
    tzset();
    TrackInfoRecord a = summaryRecord(128.0f, 8830000, 7, "a.mp3");
    TrackInfoRecord zero = summaryRecord(0.0f, 0, 1, "zero.mp3");
    TrackInfoRecord t140 = summaryRecord(140.0f, 44100, 1, "t140.mp3");
    TrackInfoRecord t90a = summaryRecord(90.0f, 44100, 1, "t90a.mp3");
    TrackInfoRecord t120 = summaryRecord(120.0f, 44100, 3, "t120.mp3");
    TrackInfoRecord t90b = summaryRecord(90.0f, 44100, 1, "t90b.mp3");
    std::string text = TrackInfoStore::summaryText({&a, &zero, &t140, &t90a, &t120, &t90b});
    EXPECT_EQ(text.find("mp3Infos dat file summary\r\n=========================\r\nTo modify this file is useless\r\n\r\n"
                        "There are 6 files registered : \r\n"),
              0u);
    EXPECT_NE(text.find("\r\n1 1 1 128.0  200 01-01-70 a.mp3 \r\n   -- /music/a.mp3\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n0 0 0   0.0    0 01-01-70 zero.mp3 \r\n"), std::string::npos);
    size_t second = text.find("\r\nHere are the same files in bpm order :\r\n\r\n");
    ASSERT_NE(second, std::string::npos);
    std::string order = text.substr(second);
    EXPECT_NE(order.find("  0.0     0    zero.mp3 \r\n 90.0     1    t90a.mp3 \r\n 90.0     1    t90b.mp3 \r\n"
                         "120.0     1    t120.mp3 \r\n128.0   200    a.mp3 \r\n140.0     1    t140.mp3 \r\n"),
              std::string::npos)
        << order;
    EXPECT_EQ(text.find('\n', 0), text.find("\r\n", 0) + 1) << "lines end with CR LF";
}

TEST(StoreFolder, TheHostsDirectoryIsNormalisedAndAFilePathCutBack) {
    std::string folder = testdata::tempPath("plugins.d");
    std::filesystem::create_directories(folder);
    EXPECT_EQ(TrackPlayer::storeFolder((folder + "/tunedeck.so").c_str()), folder + "/");
    EXPECT_EQ(TrackPlayer::storeFolder(folder.c_str()), folder + "/") << "a folder with a dot in its name";
    EXPECT_EQ(TrackPlayer::storeFolder("/usr/lib/vst"), "/usr/lib/vst/");
    EXPECT_EQ(TrackPlayer::storeFolder("/"), "/");
    std::string own = TrackPlayer::storeFolder(nullptr);
    EXPECT_EQ(own.front(), '/');
    EXPECT_EQ(own.back(), '/');
}

// A plug-in folder that cannot take a new file, holding a store file the
// user may write: the facts go to the user's data folder, read first from
// where they were found, and the old file is left as it was. Run as an
// unprivileged user (root writes any folder).
TEST(StoreFolder, AFolderThatTakesNoNewFilesSendsTheFactsToTheUsersFolder) {
    const std::string temp = std::filesystem::temp_directory_path().string();
    std::string folderTemplate = temp + "/tunedeck-ro-XXXXXX", homeTemplate = temp + "/tunedeck-home-XXXXXX";
    char* folderName = folderTemplate.data();
    char* homeName = homeTemplate.data();
    ASSERT_NE(mkdtemp(folderName), nullptr);
    ASSERT_NE(mkdtemp(homeName), nullptr);
    // Both folders go when the test ends, however it ends.
    struct Tidy {
        std::string a, b;
        ~Tidy() {
            chmod(a.c_str(), 0755);
            std::error_code ignored;
            std::filesystem::remove_all(a, ignored);
            std::filesystem::remove_all(b, ignored);
        }
    } tidy{folderName, homeName};
    const std::string folder = std::string(folderName) + "/", storePath = folder + "trakvox.dat";
    {
        TrackInfoStore store(storePath);
        store.putRecord(sigA, "/a.mp3", 120.0f, 777, nullptr, true, true, false);
    }
    const std::string before = readText(storePath);
    chmod(storePath.c_str(), 0666);
    chmod(folderName, 0555);
    chmod(homeName, 0777);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (getuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
        setenv("HOME", homeName, 1);
        // (No test-folder helpers here: they tidy folders this user may not touch.)
        TestHost::directory = folder;
        int code = 0;
        {
            TrackPlayer player(TestHost::callback, fullProfile, RecordingEditor::make);
            player.open();
            TrackInfoStore* store = player.getInfoStore();
            if (!store || store->path() != std::string(homeName) + "/.local/share/tunedeck/trakvox.dat") code = 11;
            else if (store->getRecord(sigA, nullptr, false).length != 777) code = 12;
            else store->putRecord(sigB, "/b.mp3", 90.0f, 0, nullptr, true, false, false);
        }
        _exit(code);
    }
    int status = 0;
    waitpid(child, &status, 0);
    chmod(folderName, 0755);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0) << "10: no unprivileged user, 11: not the user's folder, 12: facts not read";
    EXPECT_EQ(readText(storePath), before) << "the plug-in folder's file is left as it was";
    TrackInfoStore moved(std::string(homeName) + "/.local/share/tunedeck/trakvox.dat");
    EXPECT_EQ(moved.getRecord(sigA, nullptr, false).length, 777);
    EXPECT_EQ(moved.getRecord(sigB, nullptr, false).tempo, 90.0f);
}

class StoreWithPlayers : public PlayerFixture {};

TEST_F(StoreWithPlayers, TracksThatBeginAlikeEachKeepTheirOwnLengthAndRecord) {
    // Two pairs of files: one with the same music for its first second, one
    // with the same half second of digital silence; each pair of lengths differs.
    auto make = [](const std::string& name, int frames, bool silentStart) {
        testdata::WavRecipe recipe;
        recipe.frames = frames;
        recipe.sample = [silentStart](int frame, int) {
            return silentStart && frame < 22050 ? 0 : (frame * 7) % 20000 - 10000;
        };
        return testdata::writeWav(name, recipe);
    };
    for (bool silentStart : {false, true}) {
        const std::string shorter = make(silentStart ? "silent-4s.wav" : "alike-2s.wav", 44100 * 2, silentStart);
        const std::string longer = make(silentStart ? "silent-3s.wav" : "alike-3s.wav", 44100 * 3, silentStart);
        for (int round = 0; round < 2; ++round)
            for (const auto& [path, frames] : {std::pair{shorter, 44100 * 2}, std::pair{longer, 44100 * 3}}) {
                setEntries({path});
                player->openTrack();
                for (int i = 0; i < 400 && !player->isLengthKnown(); ++i) platform::sleepMs(5);
                EXPECT_EQ(player->getLength(), frames) << path << " round " << round;
            }
        // One record for each of the music pair; silent starts identify nothing.
        EXPECT_EQ(player->getInfoStore()->recordCount(), 2);
    }
}

TEST_F(StoreWithPlayers, ATrackOpenedAgainShowsItsRecordedFactsAtOnce) {
    std::string track = rampTrack("known.wav", 50000);
    setEntries({track});
    player->openTrack();
    for (int i = 0; i < 400 && !player->isOverviewKnown(); ++i) platform::sleepMs(5);
    ASSERT_TRUE(player->isOverviewKnown());
    player->setTempo(97.0f);
    ASSERT_EQ(player->getInfoStore()->recordCount(), 1);

    // A copy of the file elsewhere, opened by a second instance.
    std::string copy = testdata::tempPath("copy-of-known.wav");
    std::filesystem::copy_file(track, copy, std::filesystem::copy_options::overwrite_existing);
    TrackPlayer other(TestHost::callback, fullProfile, RecordingEditor::make);
    std::snprintf(other.trackList().entries[0], TrackList::pathRoom, "%s", copy.c_str());
    other.trackList().count = 1;
    other.openTrack();
    EXPECT_TRUE(other.isOverviewKnown());
    EXPECT_TRUE(other.isLengthKnown());
    EXPECT_EQ(other.getTempo(), 97.0f);
    EXPECT_EQ(other.getCurrentSource()->getBitmap(), nullptr) << "its loader does not draw";
    EXPECT_EQ(std::memcmp(editorOf(other).overviewPixels(), editorOf(*player).overviewPixels(),
                          TrackSource::overviewBytes),
              0);
    EXPECT_EQ(other.getInfoStore()->userCount(), 2);
}

TEST_F(StoreWithPlayers, OnlyTheLastInstanceToCloseWritesTheFile) {
    TestHost::directory = testdata::tempPath("last-closes/");
    std::filesystem::create_directories(TestHost::directory);
    std::string storePath = TestHost::directory + "trakvox.dat";
    std::remove(storePath.c_str());
    auto first = std::make_unique<TrackPlayer>(TestHost::callback, fullProfile);
    auto second = std::make_unique<TrackPlayer>(TestHost::callback, compactProfile);
    first->open();
    second->open();
    ASSERT_EQ(first->getInfoStore()->path(), storePath);
    first->getInfoStore()->putRecord(sigA, "/a.mp3", 120.0f, 0, nullptr, true, false, false);
    EXPECT_EQ(second->getInfoStore()->getRecord(sigA, nullptr, false).flags, 1) << "the second sees the first's";
    first.reset();
    EXPECT_EQ(fileSize(storePath), 0u) << "closing the first does not write";
    second.reset();
    EXPECT_EQ(fileSize(storePath), 4u + 17044u) << "closing the last does";
    EXPECT_EQ(fileSize(storePath + ".txt") > 0, true);
}

TEST(StoreCrash, AProcessKilledWhileWritingLeavesAWholeFile) {
    std::string path = freshStorePath("crash.dat");
    for (int round = 0; round < 6; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int32_t i = 0;; ++i) {
                TrackInfoStore store(path);
                int32_t sig[4] = {i, round, 1, 2};
                store.putRecord(sig, "/a.mp3", 120.0f, i, nullptr, true, true, false);
            }
        }
        usleep(30000 + round * 17000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        uint64_t size = fileSize(path);
        if (size == 0) continue; // killed before its first write: still the empty store
        {
            // The next writer clears what a killed writer left half written.
            TrackInfoStore cleaner(path);
            const int32_t sig[4] = {99, round, 7, 8};
            cleaner.putRecord(sig, "/c.mp3", 120.0f, 1, nullptr, true, true, false);
        }
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(path).parent_path()))
            ASSERT_EQ(entry.path().filename().string().find("crash.dat.new."), std::string::npos)
                << entry.path() << " left behind";
        size = fileSize(path);
        ASSERT_EQ((size - 4) % 17044, 0u) << "round " << round << ": " << size << " bytes";
        int32_t count = 0;
        std::ifstream(path, std::ios::binary).read(reinterpret_cast<char*>(&count), 4);
        ASSERT_EQ(4u + static_cast<uint64_t>(count) * 17044u, size);
        TrackInfoStore reader(path);
        EXPECT_EQ(reader.recordCount(), count);
    }
}

// Two host processes that each learn tracks and close at the same moment,
// fifty times: the file always holds every fact both learned.
TEST(StoreProcesses, HostsClosingTogetherKeepTheUnionOfWhatEachLearned) {
    std::string path = freshStorePath("two-hosts.dat");
    for (int round = 0; round < 50; ++round) {
        int ready[2], go[2];
        ASSERT_EQ(pipe(ready), 0);
        ASSERT_EQ(pipe(go), 0);
        pid_t children[2];
        for (int host = 0; host < 2; ++host) {
            children[host] = fork();
            ASSERT_GE(children[host], 0);
            if (children[host] == 0) {
                {
                    TrackInfoStore store(path);
                    for (int32_t track = 0; track < 2; ++track) {
                        const int32_t sig[4] = {round, host, track, 99};
                        store.putRecord(sig, "/t.mp3", 100.0f + round, 1000 + track, nullptr, true, true, false);
                    }
                    char c = 1;
                    if (write(ready[1], &c, 1) != 1 || read(go[0], &c, 1) != 1) _exit(2);
                } // both close here, at the same moment
                _exit(0);
            }
        }
        char c;
        for (int host = 0; host < 2; ++host) ASSERT_EQ(read(ready[0], &c, 1), 1);
        ASSERT_EQ(write(go[1], "gg", 2), 2);
        for (pid_t child : children) {
            int status = 0;
            waitpid(child, &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        for (int fd : {ready[0], ready[1], go[0], go[1]}) close(fd);
        TrackInfoStore reader(path);
        ASSERT_EQ(reader.recordCount(), 4 * (round + 1)) << "round " << round;
        for (int32_t r = 0; r <= round; ++r)
            for (int32_t host = 0; host < 2; ++host)
                for (int32_t track = 0; track < 2; ++track) {
                    const int32_t sig[4] = {r, host, track, 99};
                    ASSERT_EQ(reader.getRecord(sig, nullptr, false).length, 1000 + track) << r << " " << host;
                }
    }
}

// Runs body as process 1 of a pid namespace of its own (as a host in a
// container always is); the exit status of body, or -1 when no namespace
// can be made here.
int runAsPidOne(const std::function<int()>& body) {
    pid_t helper = fork();
    if (helper < 0) return -1;
    if (helper == 0) {
        if (unshare(CLONE_NEWPID) != 0) _exit(100);
        pid_t child = fork();
        if (child < 0) _exit(101);
        if (child == 0) _exit(getpid() == 1 ? body() : 102);
        int status = 0;
        waitpid(child, &status, 0);
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 103);
    }
    int status = 0;
    waitpid(helper, &status, 0);
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 104;
    return code == 100 ? -1 : code;
}

TEST(StoreProcesses, AHostThatGetsTheNumberOfACrashedOneStillReadsAndWritesTheFile) {
    std::string path = freshStorePath("pid-one.dat");
    const int32_t first[4] = {11, 12, 13, 14}, second[4] = {21, 22, 23, 24};
    const int wrote = runAsPidOne([&] {
        TrackInfoStore store(path);
        store.putRecord(first, "/first.mp3", 100.0f, 4410, nullptr, true, true, false);
        return 0;
    });
    if (wrote == -1) GTEST_SKIP() << "no pid namespace can be made here (needs root)";
    ASSERT_EQ(wrote, 0);
    // The next host, also process 1, crashes with its store open: its
    // shared memory stays behind.
    ASSERT_EQ(runAsPidOne([&] {
                  auto* leaked = new TrackInfoStore(path);
                  leaked->putRecord(second, "/second.mp3", 100.0f, 8820, nullptr, true, true, false);
                  _exit(0);
                  return 0;
              }),
              0);
    // And the one after it must still read the file and write it back.
    ASSERT_EQ(runAsPidOne([&] {
                  TrackInfoStore store(path);
                  if (store.getRecord(first, nullptr, false).length != 4410) return 1;
                  store.putRecord(second, "/second.mp3", 100.0f, 8820, nullptr, true, true, false);
                  return 0;
              }),
              0)
        << "the third host read the first one's facts";
    TrackInfoStore reader(path);
    EXPECT_EQ(reader.recordCount(), 2);
}

// Two hosts open together: whichever closes first, the file afterwards has
// what both learned, the newer fact where both learned about one track.
TEST(StoreProcesses, TwoHostsOpenTogetherKeepBothFactsInEitherClosingOrder) {
    for (int firstToClose = 0; firstToClose < 2; ++firstToClose) {
        std::string path = freshStorePath("open-together.dat");
        int closeSignal[2][2];
        pid_t children[2];
        for (int host = 0; host < 2; ++host) {
            ASSERT_EQ(pipe(closeSignal[host]), 0);
            children[host] = fork();
            ASSERT_GE(children[host], 0);
            if (children[host] == 0) {
                {
                    TrackInfoStore store(path);
                    const int32_t own[4] = {1, host, 2, 3};
                    store.putRecord(own, "/own.mp3", 120.0f, 500 + host, nullptr, true, true, false);
                    // Both learn the tempo of one shared track; the second later.
                    usleep(static_cast<useconds_t>(host * 1100000));
                    store.putRecord(sigB, "/shared.mp3", 90.0f + host, 0, nullptr, true, false, false);
                    char c;
                    if (read(closeSignal[host][0], &c, 1) != 1) _exit(2);
                }
                _exit(0);
            }
        }
        for (int k = 0; k < 2; ++k) {
            const int host = k == 0 ? firstToClose : 1 - firstToClose;
            if (k == 0) usleep(1500000);
            ASSERT_EQ(write(closeSignal[host][1], "x", 1), 1);
            int status = 0;
            waitpid(children[host], &status, 0);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }
        TrackInfoStore reader(path);
        for (int32_t host = 0; host < 2; ++host) {
            const int32_t own[4] = {1, host, 2, 3};
            EXPECT_EQ(reader.getRecord(own, nullptr, false).length, 500 + host) << "first to close: " << firstToClose;
        }
        EXPECT_EQ(reader.getRecord(sigB, nullptr, false).tempo, 91.0f) << "the newer tempo";
    }
}

} // namespace

namespace {

TEST_F(StoreWithPlayers, EachTrackIsRecordedUnderItsOwnSignature) {
    // Different content, so different signatures.
    testdata::WavRecipe longer;
    longer.frames = 60000;
    longer.sample = [](int frame, int) { return (frame * 7) % 20000; };
    testdata::WavRecipe shorter;
    shorter.frames = 30000;
    shorter.sample = [](int frame, int) { return (frame * 13) % 9000; };
    std::string a = testdata::writeWav("own-a.wav", longer), b = testdata::writeWav("own-b.wav", shorter);
    setEntries({a, b});
    player->openTrack();
    for (int i = 0; i < 400 && !player->isOverviewKnown(); ++i) platform::sleepMs(5);
    player->trackList().currentIndex = 1;
    player->openTrack();
    for (int i = 0; i < 400 && !player->isOverviewKnown(); ++i) platform::sleepMs(5);
    TrackInfoStore* store = player->getInfoStore();
    ASSERT_EQ(store->recordCount(), 2);
    int32_t signature[4];
    ASSERT_TRUE(player->sourceAt(1)->getSignature(signature));
    TrackInfoRecord r = store->getRecord(signature, nullptr, false);
    EXPECT_EQ(r.length, 30000);
    EXPECT_STREQ(r.name, "own-b.wav");
}

} // namespace

namespace {

// Runs only where /dev/shm is too small for the store file below: CI runs it
// in a private mount of a 256 KiB tmpfs (see tests/CMakeLists.txt).
class SmallSharedMemory : public PlayerFixture {};

TEST_F(SmallSharedMemory, TheDeckPlaysTheStoreStaysOutOfUseAndItsFileIsKept) {
    struct statvfs shm {};
    if (statvfs("/dev/shm", &shm) != 0 || static_cast<double>(shm.f_blocks) * shm.f_frsize > 4e6)
        GTEST_SKIP() << "/dev/shm holds the whole store here";
    // 100 records (1.7 MB) do not fit.
    std::vector<uint8_t> bytes(4 + 100 * sizeof(TrackInfoRecord), 0x11);
    const int32_t count = 100;
    std::memcpy(bytes.data(), &count, 4);
    const std::string file = TestHost::directory + "trakvox.dat";
    testdata::writeFile(file, bytes);

    player->open();
    ASSERT_NE(player->getInfoStore(), nullptr);
    EXPECT_FALSE(player->getInfoStore()->usable()) << "an inert store";
    playRamp(44100);
    render(512);
    EXPECT_EQ(left[100], rampValue(100)) << "the deck plays";
    player.reset();
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), bytes)
        << "the store file is left as it was";
}

} // namespace
