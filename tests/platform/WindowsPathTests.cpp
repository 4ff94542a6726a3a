// Track names outside ASCII on Windows: the list, the files and the system
// all speak the ANSI code page, and nothing on the way may re-encode a name.
#include <windows.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "vst2/TrackPlayer.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestHost.h"

namespace {

TEST(WindowsPaths, ATrackNamedInTheCodePageOpensFromAListAndFromTheDeck) {
    // "café" in any single-byte code page; a double-byte one has other names.
    if (IsDBCSLeadByte(static_cast<BYTE>(0xE9))) GTEST_SKIP() << "code page " << GetACP();
    const std::string name = "caf\xE9";
    const std::string track = testdata::writeWav(name + ".wav", {});
    ASSERT_NE(GetFileAttributesA(track.c_str()), INVALID_FILE_ATTRIBUTES);
    const std::string folder = platform::paths::directoryOf(track);
    EXPECT_EQ(platform::paths::normalised(folder + "sub\\..\\" + name + ".wav"), track);

    // A list beside the track names it by its bare name, as players write them.
    const std::string list = testdata::tempPath(name + "-list.m3u");
    std::ofstream(list, std::ios::binary) << name << ".wav\r\n";

    TestHost::reset();
    TrackPlayer player(TestHost::callback, fullProfile, RecordingEditor::make);
    player.addPaths({list}, true);
    player.waitForOpenings();
    ASSERT_EQ(player.trackList().count, 1);
    EXPECT_EQ(std::string(player.trackList().entries[0]), track);
    EXPECT_NE(player.getCurrentSource(), nullptr);
    EXPECT_EQ(RecordingEditor::of(player).openErrors, 0);
}

} // namespace
