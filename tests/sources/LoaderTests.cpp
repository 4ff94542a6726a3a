#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <filesystem>

#include <gtest/gtest.h>

#include "vst2/TrackPlayer.h"
#include "sources/WavSource.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestHost.h"

namespace {

using testdata::WavRecipe;

class RecordingOwner : public SourceOwner {
public:
    void setSize(int32_t frames, bool final) override {
        std::lock_guard<std::mutex> guard(mutex);
        sizes.emplace_back(frames, final);
        if (final) finals++;
    }
    void loadProgress(int32_t frames) override {
        std::lock_guard<std::mutex> guard(mutex);
        progress.push_back(frames);
    }
    bool waitForFinal(int count) {
        for (int i = 0; i < 1000 && finals < count; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return finals >= count;
    }
    std::mutex mutex;
    std::vector<std::pair<int32_t, bool>> sizes;
    std::vector<int32_t> progress;
    std::atomic<int> finals{0};
};

TEST(Loader, WalksTheTrackAndReportsTheExactLengthOnce) {
    WavRecipe recipe;
    recipe.frames = 40 * 1024 + 17;
    auto path = testdata::writeWav("loader-full.wav", recipe);
    RecordingOwner owner;
    WavSource source(&owner);
    std::vector<uint8_t> pixels(TrackSource::overviewBytes, 0x11);
    source.setBitmap(pixels.data());
    ASSERT_TRUE(source.setFile(path.c_str()));
    ASSERT_TRUE(owner.waitForFinal(1));
    std::lock_guard<std::mutex> guard(owner.mutex);
    ASSERT_EQ(owner.sizes.size(), 2u);
    EXPECT_EQ(owner.sizes[0], (std::pair<int32_t, bool>{recipe.frames, false}));
    EXPECT_EQ(owner.sizes[1], (std::pair<int32_t, bool>{recipe.frames, true}));
    EXPECT_EQ(owner.progress, (std::vector<int32_t>{0, 32 * 1024, recipe.frames}));
    EXPECT_EQ(pixels[(8 * 248 + 100) * 3 + 1], 255) << "the overview was drawn";
}

TEST(Loader, ASecondSetFileStopsTheFirstLoaderWithoutAFinalReport) {
    WavRecipe longSpec;
    longSpec.frames = 44100 * 60; // about 2,600 blocks: seconds of loading
    auto longPath = testdata::writeWav("loader-long.wav", longSpec);
    auto shortPath = testdata::writeWav("loader-short.wav", WavRecipe{});
    RecordingOwner owner;
    WavSource source(&owner);
    ASSERT_TRUE(source.setFile(longPath.c_str()));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(source.setFile(shortPath.c_str()));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400))
        << "the loader stops within a block";
    ASSERT_TRUE(owner.waitForFinal(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::lock_guard<std::mutex> guard(owner.mutex);
    for (auto [frames, final] : owner.sizes)
        if (final) {
            EXPECT_EQ(frames, 1000) << "only the second file reports";
        }
    EXPECT_EQ(owner.finals, 1);
}

TEST(Loader, DestroyingASourceWhileItLoadsEndsTheLoader) {
    WavRecipe longSpec;
    longSpec.frames = 44100 * 30;
    auto path = testdata::writeWav("loader-destroy.wav", longSpec);
    RecordingOwner owner;
    {
        WavSource source(&owner);
        ASSERT_TRUE(source.setFile(path.c_str()));
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(owner.finals, 0);
}

TEST(Loader, AFileWithoutDataStartsNoLoaderAndMakesNoReport) {
    WavRecipe recipe;
    recipe.withData = false;
    auto path = testdata::writeWav("loader-nodata.wav", recipe);
    RecordingOwner owner;
    {
        WavSource source(&owner);
        EXPECT_FALSE(source.setFile(path.c_str()));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
    }
    EXPECT_EQ(owner.finals, 0);
}

class PlayerReports : public ::testing::Test {
protected:
    void SetUp() override {
        TestHost::reset();
        player = std::make_unique<TrackPlayer>(TestHost::callback, fullProfile, RecordingEditor::make);
    }
    RecordingEditor& editor() { return RecordingEditor::of(*player); }
    std::unique_ptr<TrackPlayer> player;
};

TEST_F(PlayerReports, AFinalLengthIsKeptAgainstLaterEstimates) {
    player->setSize(5000, false);
    EXPECT_EQ(player->getLength(), 5000);
    EXPECT_FALSE(player->isLengthKnown());
    player->setSize(6000, true);
    EXPECT_TRUE(player->isLengthKnown());
    player->setSize(1234, false);
    EXPECT_EQ(player->getLength(), 6000);
}

TEST_F(PlayerReports, TheOverviewIsCompleteWhenProgressReachesAKnownLength) {
    player->loadProgress(0);
    player->setSize(6000, true);
    player->loadProgress(3000);
    EXPECT_FALSE(player->isOverviewKnown());
    player->loadProgress(6000);
    EXPECT_TRUE(player->isOverviewKnown());
    EXPECT_EQ(editor().overviewRefreshes, (std::vector<bool>{false, false, true}));
}

TEST_F(PlayerReports, AnOpenedWavTrackShowsItsFactsAndLength) {
    WavRecipe recipe;
    recipe.frames = 44100 * 2;
    recipe.channels = 1;
    auto path = testdata::writeWav("player-facts.wav", recipe);
    TrackList& list = player->trackList();
    std::snprintf(list.entries[0], TrackList::pathRoom, "%s", path.c_str());
    list.count = 1;
    player->openTrack();
    for (int i = 0; i < 400 && !player->isOverviewKnown(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(player->isLengthKnown());
    EXPECT_TRUE(player->isOverviewKnown());
    EXPECT_EQ(player->getLength(), 88200);
    ASSERT_FALSE(editor().facts.empty());
    EXPECT_EQ(editor().facts.back().bitRate, 705600);
    EXPECT_FLOAT_EQ(editor().facts.back().seconds, 2.0f);
    EXPECT_FALSE(editor().facts.back().stereo);
    ASSERT_FALSE(editor().times.empty());
    EXPECT_EQ(editor().times.back().total, 2);
}

// The overview is the track's picture, kept in the store: a WAV loaded with
// the volume down draws the same picture as with it up.
TEST(PlayerOverview, PicturesTheTrackWhateverTheVolume) {
    WavRecipe recipe;
    recipe.frames = 44100;
    auto path = testdata::writeWav("overview-volume.wav", recipe);
    std::vector<uint8_t> pictures[2];
    for (int run = 0; run < 2; ++run) {
        TestHost::reset();
        const std::string folder = testdata::tempPath("overview-volume-" + std::to_string(run));
        std::filesystem::create_directories(folder);
        TestHost::directory = folder + "/";
        auto player = std::make_unique<TrackPlayer>(TestHost::callback, fullProfile, RecordingEditor::make);
        player->setVolume(run == 0 ? 1.0f : 0.0f);
        std::snprintf(player->trackList().entries[0], TrackList::pathRoom, "%s", path.c_str());
        player->trackList().count = 1;
        player->openTrack();
        for (int i = 0; i < 400 && !player->isOverviewKnown(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        ASSERT_TRUE(player->isOverviewKnown());
        const uint8_t* pixels = player->view().overviewPixels();
        pictures[run].assign(pixels, pixels + TrackSource::overviewBytes);
    }
    EXPECT_EQ(pictures[0], pictures[1]);
}

} // namespace
