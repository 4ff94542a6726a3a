#include <gtest/gtest.h>

#include "platform/Paths.h"

namespace {

using namespace platform::paths;

TEST(Paths, APathThatBeginsWithTheSeparatorIsComplete) {
    EXPECT_TRUE(isComplete("/music/a.mp3"));
    EXPECT_FALSE(isComplete("music/a.mp3"));
    EXPECT_FALSE(isComplete("../a.mp3"));
    EXPECT_FALSE(isComplete(""));
}

TEST(Paths, SplitsIntoFolderNameAndExtension) {
    PathParts parts = split("/music/set one/track.01.mp3");
    EXPECT_EQ(parts.directory, "/music/set one/");
    EXPECT_EQ(parts.name, "track.01");
    EXPECT_EQ(parts.extension, ".mp3");

    EXPECT_EQ(split("noext").name, "noext");
    EXPECT_EQ(split("noext").extension, "");
    EXPECT_EQ(split("/dir.d/file").extension, "") << "a dot in the folder is no extension";
    EXPECT_EQ(split("/a/.hidden").name, ".hidden");
    EXPECT_EQ(directoryOf("file.wav"), "");
}

TEST(Paths, JoinsWithOneSeparator) {
    EXPECT_EQ(join("/a", "b.wav"), "/a/b.wav");
    EXPECT_EQ(join("/a/", "b.wav"), "/a/b.wav");
    EXPECT_EQ(parentStep() + "x.wav", "../x.wav");
}

TEST(Paths, TheLibraryAndCurrentFoldersAreComplete) {
    EXPECT_TRUE(isComplete(currentDirectory()));
    std::string library = libraryDirectory();
    EXPECT_TRUE(isComplete(library));
    EXPECT_EQ(library.back(), separator);
}

} // namespace
