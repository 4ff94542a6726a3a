// A Windows DJ's files as they are: names in any script, names in the code
// page, paths past the old 260-character limit and music on a network share.
// Each opens when added, chosen in the Open dialog, dropped on the editor
// and named in a list, and comes back from a saved list and a saved session.
// The share is wine's: scripts/windows-test.sh maps \\tunedeck-nas\music to
// a folder (wine's dosdevices/unc).
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "deck/DeckState.h"
#include "deck/PlaylistText.h"
#include "platform/DurableFiles.h"
#include "platform/Paths.h"
#include "platform/win32/WideText.h"
#include "vst2/TrackPlayer.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestHost.h"

namespace {

using platform::win32::widened;

const std::string share = "\\\\tunedeck-nas\\music\\";

bool exists(const std::string& path) { return GetFileAttributesW(platform::win32::systemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string track(const std::string& path) {
    testdata::WavRecipe recipe;
    recipe.frames = 4410;
    testdata::writeFile(path, testdata::makeWav(recipe));
    return path;
}

void writeText(const std::string& path, const std::string& text) {
    testdata::writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

class WindowsPaths : public ::testing::Test {
protected:
    void SetUp() override {
        TestHost::reset();
        player = std::make_unique<TrackPlayer>(TestHost::callback, fullProfile, RecordingEditor::make);
        folder = testdata::tempPath("");
        tracks.push_back(track(folder + "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE6\x9B\xB2.wav")); // 日本語の曲
        tracks.push_back(track(folder + "caf\xC3\xA9.wav"));                                            // café
        // A path of 300 characters and more, in folders of 60.
        std::string deep = folder;
        for (char c = 'a'; deep.size() < 300; ++c) {
            deep += std::string(60, c) + "\\";
            ASSERT_TRUE(platform::paths::makeDirectories(deep)) << deep;
        }
        tracks.push_back(track(deep + "deep.wav"));
        ASSERT_GE(tracks.back().size(), 300u);
        ASSERT_TRUE(exists(share)) << "no share " << share << ": run through scripts/windows-test.sh";
        tracks.push_back(track(share + "\xE3\x83\x8D\xE3\x83\x83\xE3\x83\x88.wav")); // ネット
    }
    void TearDown() override {
        if (tracks.size() < 3) return;
        if (tracks.size() == 4) DeleteFileW(widened(tracks[3]).c_str());
        // The deep folders, from the bottom up: past 260 characters only
        // the long form reaches them.
        std::string deep = platform::paths::directoryOf(tracks[2]);
        DeleteFileW(platform::win32::systemPath(tracks[2]).c_str());
        while (deep.size() > folder.size()) {
            RemoveDirectoryW(platform::win32::systemPath(deep).c_str());
            deep = platform::paths::directoryOf(deep.substr(0, deep.size() - 1));
        }
    }

    std::vector<std::string> entries() {
        std::vector<std::string> out;
        for (int i = 0; i < player->trackList().count; ++i) out.push_back(player->trackList().entries[i]);
        return out;
    }
    void clear() {
        player->trackList().count = 0;
        player->trackList().currentIndex = 0;
    }
    // Every entry opens and plays its track.
    void expectEachOpens() {
        for (int i = 0; i < player->trackList().count; ++i) {
            player->trackList().currentIndex = i;
            EXPECT_TRUE(player->openTrack()) << entries()[i];
            EXPECT_NE(player->getCurrentSource(), nullptr);
        }
        EXPECT_EQ(RecordingEditor::of(*player).openErrors, 0);
    }

    std::unique_ptr<TrackPlayer> player;
    std::string folder;
    std::vector<std::string> tracks;
};

TEST_F(WindowsPaths, EachTrackOpensWhenAddedAndWhenChosenTogether) {
    for (const std::string& path : tracks) {
        clear();
        player->addPaths({path}, true);
        player->waitForOpenings();
        EXPECT_EQ(entries(), std::vector<std::string>{path});
        EXPECT_NE(player->getCurrentSource(), nullptr) << path;
    }
    // The Open dialog's multi-selection, and one of several folders.
    clear();
    player->addChosenFiles(tracks);
    player->waitForOpenings();
    EXPECT_EQ(entries(), tracks);
    expectEachOpens();
}

// Dropped from Explorer on the editor's window: one file, then all of them.
TEST_F(WindowsPaths, EachTrackOpensWhenDroppedOnTheEditor) {
    HWND frame = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(player->dispatcher(effEditOpen, 0, 0, frame, 0.0f), 1);
    HWND editor = GetWindow(frame, GW_CHILD);
    ASSERT_NE(editor, nullptr);
    auto drop = [&](const std::vector<std::string>& files) {
        std::wstring names;
        for (const std::string& file : files) names += widened(file) + L'\0';
        names += L'\0';
        HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
        auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
        header->pFiles = sizeof(DROPFILES);
        header->fWide = TRUE;
        std::memcpy(header + 1, names.data(), names.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        SendMessageW(editor, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
        player->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
        player->waitForOpenings();
    };
    drop({tracks[0]});
    EXPECT_EQ(entries(), std::vector<std::string>{tracks[0]});
    clear();
    drop(tracks);
    EXPECT_EQ(entries(), tracks);
    expectEachOpens();
    player->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    DestroyWindow(frame);
}

// Lists as players write them, one beside the tracks and one on the share;
// then the deck's own saved lists and session bring every name back.
TEST_F(WindowsPaths, ListsAndSessionsKeepEveryName) {
    const std::string deepFolder = platform::paths::directoryOf(tracks[2]);
    const std::string relativeDeep = deepFolder.substr(folder.size()) + "deep.wav";
    // UTF-8 as Notepad saves it, with its mark; a URL as VLC writes it; a
    // root-relative entry; the share by its name.
    std::string url = "file:///" + folder + "caf%C3%A9.wav";
    std::replace(url.begin(), url.end(), '\\', '/');
    const std::string mark = "\xEF\xBB\xBF#EXTM3U\r\n", inf = "#EXTINF:1,caf\xC3\xA9\r\n";
    const std::string besideTracks = mark + platform::paths::split(tracks[0]).name + ".wav\r\n" + inf + url + "\r\n" +
                                     folder.substr(2) + relativeDeep + "\r\n" + tracks[3] + "\r\n";
    // On the share, its own track by name and the others complete.
    const std::string onShare = mark + tracks[0] + "\r\n" + url + "\r\n  " + tracks[2] + "  \r\n" +
                                platform::paths::split(tracks[3]).name + ".wav\r\n";
    for (const auto& [list, text] : {std::pair{folder + "players.m3u", besideTracks},
                                     std::pair{share + "players.m3u8", onShare}}) {
        writeText(list, text);
        clear();
        player->addPaths({list}, false);
        player->waitForOpenings();
        EXPECT_EQ(entries(), tracks) << list;
    }
    // A list in the code page (Notepad's "ANSI"), and a session saved when
    // the deck kept names in the code page, where the name is in it.
    if (GetACP() == 1252) {
        writeText(folder + "ansi.m3u", "caf\xE9.wav\r\n");
        clear();
        player->addPaths({folder + "ansi.m3u"}, false);
        player->waitForOpenings();
        EXPECT_EQ(entries(), std::vector<std::string>{tracks[1]});
        DeckState old;
        old.entries = {{folder + "caf\xE9.wav", false}};
        std::vector<uint8_t> bytes = old.write();
        player->setChunk(bytes.data(), static_cast<int32_t>(bytes.size()), false);
        player->waitForOpenings();
        EXPECT_EQ(entries(), std::vector<std::string>{tracks[1]});
        EXPECT_NE(player->getCurrentSource(), nullptr);
    }
    // Saved by the deck, beside the tracks and on the share, and read back.
    for (const std::string& list : {folder + "saved.m3u", folder + "saved.m3u8", share + "saved.m3u"}) {
        clear();
        player->addChosenFiles(tracks);
        player->waitForOpenings();
        ASSERT_TRUE(player->saveTrackList(list.c_str())) << list;
        clear();
        player->addPaths({list}, false);
        player->waitForOpenings();
        EXPECT_EQ(entries(), tracks) << list;
    }
    // A session saved by the host and opened again.
    void* chunk = nullptr;
    const int32_t size = player->getChunk(&chunk, false);
    ASSERT_GT(size, 0);
    const std::vector<uint8_t> saved(static_cast<uint8_t*>(chunk), static_cast<uint8_t*>(chunk) + size);
    player.reset();
    TestHost::reset();
    player = std::make_unique<TrackPlayer>(TestHost::callback, fullProfile, RecordingEditor::make);
    player->setChunk(const_cast<uint8_t*>(saved.data()), size, false);
    player->waitForOpenings();
    EXPECT_EQ(entries(), tracks);
    expectEachOpens();
    for (const char* name : {"players.m3u8", "saved.m3u"}) DeleteFileW(widened(share + name).c_str());
}

// Paths keep their form through every step that joins or tidies them.
TEST(WindowsPathForms, SharesDrivesAndRelativeEntriesResolveAsWindowsMeansThem) {
    namespace paths = platform::paths;
    EXPECT_EQ(paths::normalised("\\\\nas\\music\\sets\\..\\a.wav"), "\\\\nas\\music\\a.wav");
    EXPECT_EQ(paths::normalised("//nas/music/./a.wav"), "\\\\nas\\music\\a.wav");
    EXPECT_EQ(paths::normalised("C:\\music\\..\\..\\a.wav"), "C:\\a.wav");
    EXPECT_EQ(paths::resolved("\\\\nas\\music\\lists\\", "..\\a.wav"), "\\\\nas\\music\\a.wav");
    EXPECT_EQ(paths::resolved("\\\\nas\\music\\lists\\", "\\x\\a.wav"), "\\\\nas\\music\\x\\a.wav");
    EXPECT_EQ(paths::resolved("D:\\lists\\", "\\Music\\x.mp3"), "D:\\Music\\x.mp3");
    EXPECT_EQ(paths::resolved("Z:\\lists\\", "Z:..\\x.mp3"), "Z:\\x.mp3");
    EXPECT_EQ(paths::resolved("D:\\lists\\", "E:\\x.mp3"), "E:\\x.mp3");
    EXPECT_EQ(playlist::pathOfFileUrl("file:///C:/My%20Music/caf%C3%A9.mp3"), "C:\\My Music\\caf\xC3\xA9.mp3");
    EXPECT_EQ(playlist::pathOfFileUrl("file://nas/music/a.mp3"), "\\\\nas\\music\\a.mp3");
    EXPECT_TRUE(paths::sameVolume("\\\\NAS\\Music\\a", "\\\\nas\\music\\b"));
    EXPECT_FALSE(paths::sameVolume("C:\\a", "D:\\a"));
}

} // namespace
