// The track store: facts kept the moment they are learned, in one database
// per user shared by host processes, tracks told apart by their sound, the
// first store's files carried over untouched.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <random>
#include <sstream>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "store/LegacyStoreFile.h"
#include "store/TrackStore.h"
#include "tests/support/PlayerFixture.h"
#include "tests/support/TestFiles.h"

namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TrackIdentity identityOf(uint8_t seed, int64_t frames) {
    TrackIdentity identity;
    identity.fingerprint.fill(seed);
    identity.frames = frames;
    identity.sampleRate = 44100;
    return identity;
}

TrackFacts tempoOnly(float tempo) {
    TrackFacts facts;
    facts.name = "a.wav";
    facts.path = "/music/a.wav";
    facts.hasTempo = true;
    facts.tempo = tempo;
    return facts;
}

std::string freshFolder(const std::string& name) {
    const std::string folder = testdata::tempPath(name) + "/";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(TrackStore, FactsAccumulateInOneRecordAndTracksOfAnotherLengthAreOthers) {
    const std::string path = freshFolder("accumulate") + TrackStore::fileName;
    {
        TrackStore store(path);
        ASSERT_TRUE(store.usable());
        EXPECT_TRUE(store.learn(identityOf(1, 1000), tempoOnly(128.0f)));
        TrackFacts length;
        length.hasLength = true;
        length.length = 1000;
        length.path = "/elsewhere/renamed.wav";
        EXPECT_TRUE(store.learn(identityOf(1, 1000), length));
        // The same start, another length: the radio edit of the same mix.
        EXPECT_TRUE(store.learn(identityOf(1, 900), tempoOnly(100.0f)));
    }
    TrackStore store(path);
    TrackFacts facts;
    ASSERT_TRUE(store.find(identityOf(1, 1000), facts));
    EXPECT_TRUE(facts.hasTempo);
    EXPECT_FLOAT_EQ(facts.tempo, 128.0f) << "an earlier fact stays when a later one comes";
    EXPECT_EQ(facts.length, 1000);
    EXPECT_EQ(facts.path, "/elsewhere/renamed.wav");
    ASSERT_TRUE(store.find(identityOf(1, 900), facts));
    EXPECT_FLOAT_EQ(facts.tempo, 100.0f);
    EXPECT_FALSE(store.find(identityOf(2, 1000), facts));
    EXPECT_EQ(store.recordCount(), 2);
}

// A moving tempo's beats are kept with the tempo and go with it: the user's
// tempo leaves none; a list damaged in the file is no list.
TEST(TrackStore, BeatsWhereTheTempoMovesGoWithTheTempo) {
    const std::string path = freshFolder("beats") + TrackStore::fileName;
    TrackStore store(path);
    TrackFacts analysed = tempoOnly(104.0f);
    analysed.beats = {0.25, 0.83, 1.41, 1.98};
    ASSERT_TRUE(store.learn(identityOf(3, 5000), analysed));
    TrackFacts facts;
    ASSERT_TRUE(store.find(identityOf(3, 5000), facts));
    EXPECT_EQ(facts.beats, analysed.beats);
    TrackFacts key; // a later fact without a tempo keeps them
    key.hasKey = true;
    key.key = 3;
    ASSERT_TRUE(store.learn(identityOf(3, 5000), key));
    ASSERT_TRUE(store.find(identityOf(3, 5000), facts));
    EXPECT_EQ(facts.beats, analysed.beats);
    TrackFacts tapped = tempoOnly(105.0f);
    tapped.tempoByUser = true;
    ASSERT_TRUE(store.learn(identityOf(3, 5000), tapped));
    ASSERT_TRUE(store.find(identityOf(3, 5000), facts));
    EXPECT_TRUE(facts.beats.empty());

    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    for (const char* damage : {"UPDATE tracks SET beats = x'0102030405'",  // not whole numbers
                               "UPDATE tracks SET beats = x'000000000000F87F000000000000F03F'"}) { // not a number
        ASSERT_EQ(sqlite3_exec(db, damage, nullptr, nullptr, nullptr), SQLITE_OK);
        ASSERT_TRUE(store.find(identityOf(3, 5000), facts));
        EXPECT_TRUE(facts.beats.empty()) << damage;
        EXPECT_FLOAT_EQ(facts.tempo, 105.0f);
    }
    sqlite3_close(db);
}

TEST(TrackStore, ADamagedDatabaseIsPutAsideWithAMessageAndANewOneStarted) {
    const std::string folder = freshFolder("damaged");
    const std::string path = folder + TrackStore::fileName;
    testdata::writeFile(path, std::vector<uint8_t>(8192, 0x5A));
    TrackStore store(path);
    ASSERT_TRUE(store.usable());
    ASSERT_TRUE(store.problem());
    EXPECT_NE(std::string(store.problem()).find("damaged"), std::string::npos) << store.problem();
    EXPECT_EQ(readBytes(path + ".damaged"), std::string(8192, '\x5A')) << "kept aside as it was";
    EXPECT_TRUE(store.learn(identityOf(3, 10), tempoOnly(90.0f)));
}

// The first store's file: a count, then records of 17,044 bytes.
std::string writeLegacyFile(const std::string& path, const std::vector<TrackInfoRecord>& records) {
    std::vector<uint8_t> bytes(4 + records.size() * sizeof(TrackInfoRecord));
    const auto count = static_cast<int32_t>(records.size());
    std::memcpy(bytes.data(), &count, 4);
    if (!records.empty()) std::memcpy(bytes.data() + 4, records.data(), records.size() * sizeof(TrackInfoRecord));
    testdata::writeFile(path, bytes);
    return readBytes(path);
}

TrackInfoRecord legacyRecord(int32_t word, float tempo, int32_t length) {
    TrackInfoRecord r{};
    for (int i = 0; i < 4; ++i) r.signature[i] = word + i;
    r.flags = TrackInfoRecord::TempoRecorded | TrackInfoRecord::LengthRecorded | TrackInfoRecord::BitmapRecorded;
    std::snprintf(r.name, sizeof r.name, "track-%d.mp3", word);
    std::snprintf(r.path, sizeof r.path, "/old/track-%d.mp3", word);
    r.tempo = tempo;
    r.length = length;
    std::memset(r.bitmap, word & 0xFF, sizeof r.bitmap);
    r.stored = 1700000000;
    return r;
}

TEST(TrackStore, AFirstStoreFileIsCarriedOverOnceWholeAndLeftByteForByte) {
    const std::string folder = freshFolder("carried");
    std::vector<TrackInfoRecord> records;
    for (int32_t i = 0; i < 50; ++i) records.push_back(legacyRecord(1000 + 10 * i, 90.0f + i, 44100 * (60 + i)));
    TrackInfoRecord silent = legacyRecord(0, 120.0f, 100);
    for (int32_t& word : silent.signature) word = 0; // identifies nothing
    records.push_back(silent);
    const std::string legacy = folder + "trakvox.dat";
    const std::string before = writeLegacyFile(legacy, records);

    TrackStore store(folder + TrackStore::fileName);
    EXPECT_EQ(store.carryOver(legacy), 50);
    EXPECT_EQ(store.carryOver(legacy), 0) << "once";
    EXPECT_EQ(store.recordCount(), 50);
    EXPECT_EQ(readBytes(legacy), before);

    // Found by its words, confirmed by a length close enough (the first
    // store counted an MPEG encoder's delay and padding), then by its sound.
    TrackIdentity track = identityOf(7, 44100 * 65 - 2000);
    for (int i = 0; i < 4; ++i) track.signature[i] = records[5].signature[i];
    track.hasSignature = true;
    TrackIdentity other = track;
    other.fingerprint.fill(8);
    other.frames = 44100 * 20;
    TrackFacts facts;
    EXPECT_FALSE(store.find(other, facts)) << "the same words with another length are another track";
    ASSERT_TRUE(store.find(track, facts));
    EXPECT_FLOAT_EQ(facts.tempo, 95.0f);
    EXPECT_TRUE(facts.hasOverview);
    EXPECT_EQ(facts.overview[0], records[5].bitmap[0]);
    track.hasSignature = false;
    ASSERT_TRUE(store.find(track, facts)) << "it now has the track's fingerprint";
    EXPECT_EQ(facts.name, "track-1050.mp3");

    const std::string notOurs = folder + "other.dat";
    testdata::writeFile(notOurs, {0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3});
    EXPECT_EQ(store.carryOver(notOurs), -1);
}

// Host processes, each with a deck, learning tracks at once in the user's
// store, one of them killed at a random moment each round: every tempo a
// deck had shown before the kill is there afterwards, but for the one being
// kept at that moment, and the database stays whole.
TEST(TrackStore, HostProcessesLearnAtOnceAndAKilledOneLosesNothingButTheFactBeingKept) {
    const std::string data = freshFolder("processes");
    setenv("XDG_DATA_HOME", data.c_str(), 1);
    constexpr int processes = 4, tracksEach = 4;
#ifdef TUNEDECK_SANITIZED
    constexpr int rounds = 10; // the sanitizers' build runs ten times slower: a fifth of the kills
#else
    constexpr int rounds = 50;
#endif
    // Short tracks of their own sound each: a deck identifies one at its end.
    std::vector<std::string> tracks;
    for (int t = 0; t < processes * tracksEach; ++t) {
        testdata::WavRecipe recipe;
        recipe.frames = 11025 + 100 * t;
        recipe.sample = [t](int frame, int) { return (frame * (t + 3)) % 12000 - 6000; };
        tracks.push_back(testdata::writeWav("learned-" + std::to_string(t) + ".wav", recipe));
    }
    std::mt19937 random(11);
    for (int round = 0; round < rounds; ++round) {
        int reports[2];
        ASSERT_EQ(pipe(reports), 0);
        pid_t children[processes];
        for (int p = 0; p < processes; ++p) {
            children[p] = fork();
            ASSERT_GE(children[p], 0);
            if (children[p] == 0) {
                close(reports[0]);
                TestHost::reset();
                TrackPlayer player(TestHost::callback, fullProfile, RecordingEditor::make);
                player.open();
                for (int i = 0; i < tracksEach; ++i) {
                    const int t = p * tracksEach + i;
                    if (const int failed = openAndAwaitStore(player, tracks[t])) _exit(2 + failed);
                    const int32_t tempo = 60 + round + t;
                    player.setTempo(static_cast<float>(tempo));
                    // Shown: from here the deck says it knows this tempo.
                    const int32_t shown[2] = {t, tempo};
                    if (write(reports[1], shown, sizeof shown) != sizeof shown) _exit(5);
                }
                player.storeKeeper()->settle();
                _exit(0);
            }
        }
        close(reports[1]);
        const int victim = static_cast<int>(random() % processes);
        usleep(static_cast<useconds_t>(random() % 150000));
        kill(children[victim], SIGKILL);
        std::vector<std::pair<int32_t, int32_t>> shown;
        int32_t report[2];
        while (read(reports[0], report, sizeof report) == sizeof report) shown.emplace_back(report[0], report[1]);
        close(reports[0]);
        for (int p = 0; p < processes; ++p) {
            int status = 0;
            waitpid(children[p], &status, 0);
            if (p != victim) {
                ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round << " process " << p;
            }
        }
        TrackStore store(data + "tunedeck/" + TrackStore::fileName);
        ASSERT_TRUE(store.usable()) << "round " << round;
        std::map<std::string, float> tempos;
        for (const SummaryLine& line : store.summaryLines()) tempos[line.path] = line.tempo;
        int lost = 0;
        for (const auto& [t, tempo] : shown) {
            const bool kept = tempos.count(tracks[t]) && tempos[tracks[t]] == static_cast<float>(tempo);
            // Only the victim's newest fact may have been under way.
            if (!kept) {
                ++lost;
                EXPECT_EQ(t / tracksEach, victim) << "round " << round << " track " << t;
            }
        }
        EXPECT_LE(lost, 1) << "round " << round;
    }
    unsetenv("XDG_DATA_HOME");
}

TEST(LegacyStoreFile, CountsTheFileCannotHoldAreNotOurs) {
    std::vector<uint8_t> bytes(4 + sizeof(TrackInfoRecord), 0);
    bytes[0] = 2; // two records claimed, one there
    EXPECT_EQ(parseLegacyStoreFile(bytes.data(), bytes.size()).state, LegacyStoreFile::State::NotOurs);
    bytes[0] = 1;
    const LegacyStoreFile one = parseLegacyStoreFile(bytes.data(), bytes.size());
    EXPECT_EQ(one.state, LegacyStoreFile::State::Read);
    EXPECT_EQ(one.records.size(), 1u);
    bytes[3] = 0x80; // a negative count
    EXPECT_EQ(parseLegacyStoreFile(bytes.data(), bytes.size()).state, LegacyStoreFile::State::NotOurs);
}

class StoreWithPlayers : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        player->open();
    }
    // Opens path and waits until the store has answered for it.
    void openAndIdentify(const std::string& path) {
        setEntries({path});
        ASSERT_TRUE(player->openTrack()) << path;
        // Identifying a 40 s track takes a while on a loaded machine (a
        // sanitized build beside): up to 30 s here, not a count of sleeps.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!player->isIdentified() && std::chrono::steady_clock::now() < deadline) platform::sleepMs(2);
        ASSERT_TRUE(player->isIdentified()) << path;
        player->storeKeeper()->settle();
    }
};

// An extended mix and its radio edit share their first 30 s; a copy with 2 s
// of silence in front is a track of its own; a renamed, moved copy is the
// same track. As WAV, FLAC and VBR MP3, each keeps its own tempo and length.
TEST_F(StoreWithPlayers, TracksAreToldApartByTheirSoundAndTheirLength) {
    // (A FLAC decodes to its WAV's very samples, so it is the same track by
    // its sound: each kind here has music of its own.)
    double pitch = 0.031;
#ifdef TUNEDECK_SANITIZED
    // Ten times slower there: WAV and MP3, the two ways a length is known;
    // FLACs are told apart in the next test, and here in the normal build.
    const char* const kinds[] = {"wav", "mp3"};
#else
    const char* const kinds[] = {"wav", "flac", "mp3"};
#endif
    for (const char* kind : kinds) {
        pitch += 0.004;
        auto sound = [pitch](int frame, int channel) {
            return static_cast<int>(9000 * std::sin(frame * (channel ? pitch : 0.047)) + static_cast<int>(int64_t{frame} * 7919 % 2000) - 1000);
        };
        testdata::WavRecipe extended, edit, silent;
        extended.frames = 44100 * 40;
        extended.sample = sound;
        edit.frames = 44100 * 34;
        edit.sample = sound;
        silent.frames = 44100 * 42;
        silent.sample = [&](int frame, int channel) { return frame < 88200 ? 0 : sound(frame - 88200, channel); };
        const std::string k = kind;
        const std::string a = testdata::encodedTrack("extended-" + k, extended, kind);
        const std::string b = testdata::encodedTrack("edit-" + k, edit, kind);
        const std::string c = testdata::encodedTrack("silent-front-" + k, silent, kind);
        ASSERT_FALSE(a.empty() || b.empty() || c.empty());
        openAndIdentify(a);
        const int32_t extendedLength = player->getLength();
        player->setTempo(128.0f);
        openAndIdentify(b);
        const int32_t editLength = player->getLength();
        EXPECT_NE(editLength, extendedLength);
        EXPECT_FLOAT_EQ(player->getTempo(), 120.0f) << kind << ": the edit knows no tempo yet";
        player->setTempo(100.0f);
        openAndIdentify(c);
        EXPECT_FLOAT_EQ(player->getTempo(), 120.0f) << kind << ": silence in front makes another track";
        player->storeKeeper()->settle();

        // Renamed and moved: the same sound, the same facts.
        const std::string moved = freshFolder(std::string("moved-") + kind) + "Renamed Mix." + k;
        std::filesystem::copy_file(a, moved);
        openAndIdentify(moved);
        EXPECT_FLOAT_EQ(player->getTempo(), 128.0f) << kind;
        EXPECT_EQ(player->getLength(), extendedLength) << kind;
        openAndIdentify(b);
        EXPECT_FLOAT_EQ(player->getTempo(), 100.0f) << kind;
        EXPECT_EQ(player->getLength(), editLength) << kind;
    }
}

// A FLAC encoded into a pipe has no length in its header: its walk counts
// it. Two such files that begin alike are still two tracks.
TEST_F(StoreWithPlayers, FlacsWithoutALengthInTheirHeaderAreToldApartOnceTheirWalkCountsIt) {
    auto pipedFlac = [](const std::string& name, int seconds) {
        const std::string path = testdata::tempPath(name);
        const std::string command = "flac -0 --silent -f --force-raw-format --endian=little --sign=signed "
                                    "--channels=2 --bps=16 --sample-rate=44100 --stdout - > '" + path + "' 2>/dev/null";
        FILE* encoder = popen(command.c_str(), "w");
        if (!encoder) return std::string();
        std::vector<int16_t> frames(2 * 44100);
        for (int second = 0; second < seconds; ++second) {
            for (size_t i = 0; i < frames.size(); ++i)
                frames[i] = static_cast<int16_t>(8000 * std::sin((second * 44100 + i / 2) * (i % 2 ? 0.021 : 0.033)));
            std::fwrite(frames.data(), sizeof(int16_t), frames.size(), encoder);
        }
        return pclose(encoder) == 0 ? path : std::string();
    };
    const std::string longer = pipedFlac("piped-long.flac", 12), shorter = pipedFlac("piped-short.flac", 9);
    ASSERT_FALSE(longer.empty() || shorter.empty());
    auto openAndCount = [&](const std::string& path) {
        openAndIdentify(path);
        ASSERT_FALSE(player->getCurrentSource()->lengthIsExact()) << "the header gives no length";
    };
    openAndCount(longer);
    player->setTempo(125.0f);
    openAndCount(shorter);
    EXPECT_EQ(player->getLength(), 44100 * 9);
    EXPECT_NE(player->getTempo(), 125.0f) << "not the longer one's";
    player->setTempo(95.0f); // the user's, kept for the shorter track
    openAndCount(longer);
    EXPECT_EQ(player->getLength(), 44100 * 12);
    EXPECT_FLOAT_EQ(player->getTempo(), 125.0f);
}

// Users as CI cannot be (it runs as root): each child process becomes an
// unprivileged user of its own, with its own data folder.
class StoreUsers : public ::testing::Test {
protected:
    // Runs body as user uid with data folder data; its exit code (0 is a pass).
    static int asUser(uid_t uid, const std::string& data, const std::function<int()>& body) {
        const pid_t child = fork();
        if (child == 0) {
            if (getuid() == 0 && (setgid(uid) != 0 || setuid(uid) != 0)) _exit(90);
            setenv("XDG_DATA_HOME", data.c_str(), 1);
            _exit(body());
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 99;
    }
    // A deck that opens path, is told its tempo and plays: 0, or what failed.
    static int playAndTap(const std::string& path, float tempo, bool storeWorks) {
        TestHost::reset();
        TrackPlayer player(TestHost::callback, fullProfile, RecordingEditor::make);
        player.open();
        if (const int failed = openAndAwaitStore(player, path, storeWorks)) return 9 + failed;
        player.setTempo(tempo);
        player.storeKeeper()->settle();
        if ((player.storeKeeper()->problem() == nullptr) != storeWorks) return 12;
        player.setVolume(1.0f);
        player.setPlaying(true);
        std::vector<float> left(4096), right(4096);
        float* outs[2] = {left.data(), right.data()};
        player.renderBlock(AudioThread::claim(), outs, 4096, true);
        return *std::max_element(left.begin(), left.end()) > 0.01f ? 0 : 13;
    }
};

TEST_F(StoreUsers, EachUserHasAStoreOfTheirOwnAndOneWhoseFolderTakesNoFilesPlaysOn) {
    if (getuid() != 0) GTEST_SKIP() << "needs root to become other users";
    const std::string root = freshFolder("users");
    chmod(root.c_str(), 0755);
    testdata::WavRecipe recipe;
    recipe.frames = 44100 * 8;
    recipe.sample = [](int frame, int) { return static_cast<int>(8000 * std::sin(frame * 0.05)); };
    const std::string track = testdata::writeWav("users/shared.wav", recipe);
    chmod(track.c_str(), 0644);
    const std::string first = root + "first/", second = root + "second/", locked = root + "locked/";
    for (const auto& [folder, uid] : {std::pair{first, 65534u}, std::pair{second, 65533u}, std::pair{locked, 0u}}) {
        std::filesystem::create_directories(folder);
        chown(folder.c_str(), uid, uid);
    }
    EXPECT_EQ(asUser(65534, first, [&] { return playAndTap(track, 128.0f, true); }), 0);
    EXPECT_EQ(asUser(65533, second, [&] { return playAndTap(track, 100.0f, true); }), 0);
    EXPECT_EQ(asUser(65534, locked, [&] { return playAndTap(track, 90.0f, false); }), 0)
        << "10: no track, 11: not identified, 12: no problem told, 13: silence, 90: no user";
    for (const auto& [folder, tempo] : {std::pair{first, 128.0f}, std::pair{second, 100.0f}}) {
        TrackStore store(folder + "tunedeck/" + TrackStore::fileName);
        const std::vector<SummaryLine> lines = store.summaryLines();
        ASSERT_EQ(lines.size(), 1u) << folder;
        EXPECT_FLOAT_EQ(lines[0].tempo, tempo) << folder;
    }
}

} // namespace
