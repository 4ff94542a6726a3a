#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Paths.h"
#include "tests/support/PlayerFixture.h"
#include "tests/support/ScriptedDialogs.h"

namespace {

class TrackListOps : public PlayerFixture {
protected:
    TrackList& list() { return player->trackList(); }
    void select(std::initializer_list<int> entries) {
        for (int e : entries) list().selected[e] = true;
    }
    std::vector<std::string> entries() {
        std::vector<std::string> out;
        for (int i = 0; i < list().count; ++i) out.push_back(list().entries[i]);
        return out;
    }
    void addOne(const std::string& path) {
        std::vector<char> buffer(path.begin(), path.end());
        buffer.push_back(0);
        buffer.push_back(0);
        player->addFiles(buffer.data(), buffer.size(), false);
        player->waitForOpenings();
    }
    static std::string writeText(const std::string& name, const std::string& text) {
        std::string path = testdata::tempPath(name);
        std::ofstream(path) << text;
        return path;
    }
    static std::vector<std::string> numbered(const std::string& stem, int n) {
        std::vector<std::string> out;
        for (int i = 0; i < n; ++i) out.push_back(stem + std::to_string(i) + ".mp3");
        return out;
    }

    ScriptedDialogs dialogs;
};

TEST_F(TrackListOps, AddingPastTheCapacityKeepsEveryEntryTakesTheFirstFilesAndTellsHowManyWereLeftOut) {
    std::vector<std::string> old = numbered("/music/old", 10), added = numbered("/new/n", 250);
    setEntries(old);
    list().currentIndex = 3;
    player->addPaths(added, false);
    player->waitForOpenings();
    std::vector<std::string> expected(old.begin(), old.begin() + 3);
    expected.insert(expected.end(), added.begin(), added.begin() + 246);
    expected.insert(expected.end(), old.begin() + 3, old.end());
    EXPECT_EQ(entries(), expected);
    EXPECT_EQ(dialogs.messages,
              std::vector<std::string>{"Track list: 4 files were not added: the track list holds 256 entries"});

    addOne("/music/one-more.mp3");
    std::string longList;
    for (const std::string& path : numbered("/long/l", 300)) longList += path + "\n";
    addOne(writeText("long.m3u", longList));
    EXPECT_EQ(entries(), expected);
    EXPECT_EQ(dialogs.messages,
              (std::vector<std::string>{"Track list: 4 files were not added: the track list holds 256 entries",
                                        "Track list: 1 file was not added: the track list holds 256 entries",
                                        "Track list: 300 files were not added: the track list holds 256 entries"}));
}

TEST_F(TrackListOps, AMultiSelectionKeepsItsOrderAndOpensTheFirstWhenStopped) {
    std::string a = rampTrack("sel-a.wav", 500), b = rampTrack("sel-b.wav", 500), c = rampTrack("sel-c.wav", 500);
    player->addPaths({a, b, c}, true);
    player->waitForOpenings();
    EXPECT_EQ(entries(), (std::vector<std::string>{a, b, c}));
    EXPECT_EQ(list().currentIndex, 0);
    EXPECT_EQ(player->getCurrentSource(), player->sourceAt(1)) << "the first entry was opened";
    EXPECT_EQ(editor().openErrors, 0);
}

// Adding to the list in the middle of a set never cuts the mix: one track
// or many, the playing one plays on and stays the current entry.
TEST_F(TrackListOps, AnAddDuringPlaybackLeavesThePlayingTrackAloneAndCurrent) {
    std::string a = rampTrack("play-a.wav", 500), b = rampTrack("play-b.wav", 500);
    setEntries({a});
    player->openTrack();
    player->setPlaying(true);
    TrackSource* playing = player->getCurrentSource();
    player->addPaths({b}, true);
    player->waitForOpenings();
    player->addPaths({"/x/one.mp3", "/x/two.mp3"}, true);
    player->waitForOpenings();
    EXPECT_EQ(entries(), (std::vector<std::string>{b, "/x/one.mp3", "/x/two.mp3", a}));
    EXPECT_EQ(list().current(), a);
    EXPECT_TRUE(player->isPlaying());
    EXPECT_EQ(player->getCurrentSource(), playing);
    EXPECT_EQ(editor().openErrors, 0) << "nothing was opened";
}

TEST_F(TrackListOps, MovingSelectedEntriesUpKeepsThemSelectedAndBlocksTheTopRun) {
    setEntries({"/0.mp3", "/1.mp3", "/2.mp3", "/3.mp3", "/4.mp3"});
    select({2, 3});
    player->moveSelectedUp();
    EXPECT_EQ(entries(), (std::vector<std::string>{"/0.mp3", "/2.mp3", "/3.mp3", "/1.mp3", "/4.mp3"}));
    EXPECT_TRUE(list().selected[1] && list().selected[2] && !list().selected[3]);

    std::fill(std::begin(list().selected), std::end(list().selected), false);
    setEntries({"/0.mp3", "/1.mp3", "/2.mp3"});
    select({0, 2});
    list().currentIndex = 2;
    player->moveSelectedUp();
    EXPECT_EQ(entries(), (std::vector<std::string>{"/0.mp3", "/2.mp3", "/1.mp3"}));
    EXPECT_EQ(list().currentIndex, 1) << "the current entry is followed";
}

TEST_F(TrackListOps, MovingDownMirrorsMovingUp) {
    setEntries({"/0.mp3", "/1.mp3", "/2.mp3", "/3.mp3"});
    select({0, 3});
    player->moveSelectedDown();
    EXPECT_EQ(entries(), (std::vector<std::string>{"/1.mp3", "/0.mp3", "/2.mp3", "/3.mp3"}));
}

TEST_F(TrackListOps, DeletingWithNothingSelectedEmptiesTheList) {
    setEntries({"/0.mp3", "/1.mp3"});
    player->deleteSelected();
    EXPECT_EQ(list().count, 0);
    EXPECT_EQ(list().currentIndex, 0);
}

TEST_F(TrackListOps, DeletingTheLastEntriesMovesTheCurrentOneToTheNewLast) {
    setEntries({"/0.mp3", "/1.mp3", "/2.mp3", "/3.mp3"});
    list().currentIndex = 3;
    select({2, 3});
    player->deleteSelected();
    EXPECT_EQ(entries(), (std::vector<std::string>{"/0.mp3", "/1.mp3"}));
    EXPECT_EQ(list().currentIndex, 1);
    EXPECT_FALSE(list().selected[2] || list().selected[3]);
}

TEST_F(TrackListOps, NextAndPreviousStopAtTheEnds) {
    setEntries({"/0.mp3", "/1.mp3"});
    EXPECT_FALSE(player->previousFile());
    EXPECT_TRUE(player->nextFile());
    EXPECT_FALSE(player->nextFile());
    EXPECT_EQ(list().currentIndex, 1);
    setEntries({});
    EXPECT_FALSE(player->nextFile());
    EXPECT_EQ(list().currentIndex, 0);
}

TEST_F(TrackListOps, ASavedListReadsBackTheSameEntriesThoseNamedWithALeadingHashIncluded) {
    std::string folder = testdata::tempPath("sets/lists/");
    std::filesystem::create_directories(folder);
    std::string listPath = folder + "set.m3u";
    std::string base = testdata::tempPath("sets/");
    std::vector<std::string> original{base + "a/x.mp3",         folder + "y.mp3",        "/elsewhere/z.mp2",
                                      base + "w.wav",           folder + "#2 intro.wav", folder + "#crate/c.flac",
                                      base + "#a/#b.mp3"};
    setEntries(original);
    player->saveTrackList(listPath.c_str());
    std::ifstream in(listPath);
    std::stringstream text;
    text << in.rdbuf();
    std::string rootRelative;
    for (size_t i = 0; i < platform::paths::split(folder).directory.size(); ++i)
        if (folder[i] == '/' && i > 0) rootRelative += "../";
    EXPECT_EQ(text.str(), "#EXTM3U\n../a/x.mp3\ny.mp3\n" + rootRelative +
                              "elsewhere/z.mp2\n../w.wav\n./#2 intro.wav\n./#crate/c.flac\n../#a/#b.mp3\n");

    setEntries({});
    addOne(listPath);
    EXPECT_EQ(entries(), original);
}

TEST_F(TrackListOps, FoldersWhoseNamesShareAPrefixAreNotACommonFolder) {
    std::string listPath = testdata::tempPath("music/set.m3u");
    std::filesystem::create_directories(testdata::tempPath("music"));
    setEntries({testdata::tempPath("musicals/song.mp3")});
    player->saveTrackList(listPath.c_str());
    std::ifstream in(listPath);
    std::string line;
    std::getline(in, line);
    std::getline(in, line);
    EXPECT_EQ(line, "../musicals/song.mp3");
}

// Lists as VLC, foobar2000, Winamp, Notepad and Linux players leave them:
// UTF-8 with and without a byte-order mark, UTF-16, the code page, file://
// URLs, #EXTINF lines, any line end, spaces around entries, streams.
TEST_F(TrackListOps, ListsAsPlayersWriteThemNameTheirTracks) {
    std::filesystem::create_directories(testdata::tempPath("players/sub"));
    const std::string folder = testdata::tempPath("players/");
    auto entriesOf = [&](const std::string& name, const std::string& bytes) {
        setEntries({});
        const std::string path = folder + name;
        testdata::writeFile(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
        addOne(path);
        return entries();
    };
    const std::string cafe = "caf\xC3\xA9.wav", japanese = "\xE6\x97\xA5\xE6\x9C\xAC.mp3"; // café, 日本
    EXPECT_EQ(entriesOf("bom.m3u", "\xEF\xBB\xBF" + cafe + "\n" + japanese + "\n"),
              (std::vector<std::string>{folder + cafe, folder + japanese}));
    EXPECT_EQ(entriesOf("plain.m3u8", "#EXTM3U\r\n#EXTINF:215,Artist - " + cafe + "\r\n  sub/" + cafe + " \t\r\n"),
              (std::vector<std::string>{folder + "sub/" + cafe}));
    // Old Mac line ends, and Notepad's "Unicode".
    EXPECT_EQ(entriesOf("mac.m3u", "a.mp3\rb.mp3\r"), (std::vector<std::string>{folder + "a.mp3", folder + "b.mp3"}));
    const std::string utf16("\xFF\xFE" "c\0" "a\0" "f\0" "\xE9\0" ".\0" "w\0" "a\0" "v\0" "\n\0", 20);
    EXPECT_EQ(entriesOf("unicode.m3u", utf16), (std::vector<std::string>{folder + cafe}));
    // Bytes that are not UTF-8 are file names in the system's own encoding.
    EXPECT_EQ(entriesOf("latin.m3u", "caf\xE9.wav\n"), (std::vector<std::string>{folder + "caf\xE9.wav"}));
    // ... unless the list came from Windows (code page 1252) to files named
    // in UTF-8 here: Winamp's old lists.
    testdata::writeFile(folder + cafe, {1});
    EXPECT_EQ(entriesOf("winamp.m3u", "caf\xE9.wav\r\n"), (std::vector<std::string>{folder + cafe}));
    // file:// URLs, escaped as players escape them; streams are no files.
    EXPECT_EQ(entriesOf("urls.m3u", "file://" + folder + "caf%C3%A9.wav\nFILE://localhost" + folder +
                                        "sub/a%20b.flac?x#y\nfile://nas/music/x.mp3\nhttp://radio/x.mp3\n"
                                        "file:///broken%2.mp3\nfile:///zero%00.mp3\n"),
              (std::vector<std::string>{folder + cafe, folder + "sub/a b.flac"}));
    EXPECT_TRUE(dialogs.messages.empty());
}

// Names in any script, and those a reader would take for a comment or trim,
// come back from a saved list; players see the lengths the store knows.
TEST_F(TrackListOps, SavedListsKeepEveryNameAndTellPlayersTheLengthsKnown) {
    std::filesystem::create_directories(testdata::tempPath("round/sets"));
    const std::string folder = testdata::tempPath("round/");
    player->open(); // with its store
    const std::string track = rampTrack("round/caf\xC3\xA9 \xE6\x97\xA5.wav", 44100 * 3 + 100);
    ASSERT_EQ(openAndAwaitStore(*player, track), 0);
    player->storeKeeper()->settle();
    const std::vector<std::string> original{track, folder + "#1 intro.mp3", folder + " spaced.flac",
                                            folder + "sets/\xD0\x9C\xD0\xB8\xD1\x80.mp3", "/elsewhere/x.mp2"};
    for (const char* name : {"sets/set.m3u8", "sets/set.m3u"}) {
        const std::string listPath = folder + name;
        setEntries(original);
        ASSERT_TRUE(player->saveTrackList(listPath.c_str()));
        std::ifstream in(listPath, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        EXPECT_EQ(text.str().rfind("#EXTM3U\n#EXTINF:3,caf\xC3\xA9 \xE6\x97\xA5\n../caf\xC3\xA9 \xE6\x97\xA5.wav\n", 0), 0u)
            << text.str();
        setEntries({});
        addOne(listPath);
        EXPECT_EQ(entries(), original) << name;
    }
}

TEST_F(TrackListOps, ListLinesAreKeptWhenTheyNameTracksAndResolvedAgainstTheListsFolder) {
    std::string path = writeText("lines.m3u",
                                 "#EXTM3U\n#EXTINF:123,Artist - Title\nrel/a.mp3\r\n/abs/b.MP3\nnotes.txt\n"
                                 "c.wav\n\n" + std::string(5000, 'x') + ".mp3\n");
    addOne(path);
    std::string folder = platform::paths::directoryOf(path);
    EXPECT_EQ(entries(), (std::vector<std::string>{folder + "rel/a.mp3", "/abs/b.MP3", folder + "c.wav"}));
}

TEST_F(TrackListOps, ReadingAListNeverWritesPastItsBuffer) {
    std::string text;
    for (int i = 0; i < 400; ++i) text += std::string(900, 'a' + i % 26) + ".mp3\n";
    std::string path = writeText("huge.m3u", text);
    std::vector<char> small(3000, '\x7f');
    ASSERT_TRUE(player->readTrackList(path.c_str(), small.data(), 2000));
    EXPECT_EQ(small[2000], '\x7f');
    EXPECT_FALSE(player->readTrackList("/no/such/list.m3u", small.data(), small.size()));
}

TEST_F(TrackListOps, NestedListsOfAnyCaseAreReadInPlaceAndEachOnlyOnce) {
    std::filesystem::create_directories(testdata::tempPath("nest/sets"));
    std::string a = writeText("nest/a.m3u", "b.m3u\nsets/c.M3U\na.m3u\n./a.m3u\none.mp3\n");
    writeText("nest/b.m3u", "a.m3u\ntwo.mp3\n");
    writeText("nest/sets/c.M3U", "three.wav\n../b.m3u\n");
    addOne(a);
    std::string folder = testdata::tempPath("nest/");
    EXPECT_EQ(entries(), (std::vector<std::string>{folder + "two.mp3", folder + "sets/three.wav", folder + "one.mp3"}));
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(TrackListOps, ScrollingNeedsEnoughEntriesAndStopsWithTheLastOnTheSecondToLastRow) {
    const int rows = profile().listRows;
    std::vector<std::string> few(rows - 2, "/f.mp3");
    setEntries(few);
    player->scrollList(1.0f);
    EXPECT_EQ(list().viewTop, 0);
    setEntries(std::vector<std::string>(20, "/f.mp3"));
    player->scrollList(1.0f);
    EXPECT_EQ(list().viewTop, 20 - (rows - 1));
    EXPECT_EQ(list().viewFraction, 0.0f);
    player->scrollList(0.5f);
    float p = (20 - (rows - 1)) * 0.5f;
    EXPECT_EQ(list().viewTop, static_cast<int>(p));
}

TEST_F(TrackListOps, RowsPastTheEndOfTheListDoNothing) {
    setEntries({"/0.mp3"});
    player->toggleSelection(3);
    player->playRow(3);
    EXPECT_FALSE(list().selected[3]);
    EXPECT_EQ(editor().openErrors, 0);
    player->toggleSelection(0);
    EXPECT_TRUE(list().selected[0]);
}

TEST_F(TrackListOps, OverlongPathsAreNotAdded) {
    addOne("/" + std::string(2000, 'a') + ".mp3");
    EXPECT_EQ(list().count, 0);
}

} // namespace
