#pragma once
// A player with a recording editor, a test host and helpers to fill its
// track list with made-up WAV tracks.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "vst2/TrackPlayer.h"
#include "tests/support/RecordingEditor.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestHost.h"

// Opens path as the one entry of a deck that is a host's own (another
// process's, another user's) and, with awaitStore, waits until the track
// store has answered for it: 0, 1 when it did not open, 2 when the store
// did not answer.
inline int openAndAwaitStore(TrackPlayer& player, const std::string& path, bool awaitStore = true) {
    TrackList& list = player.trackList();
    std::snprintf(list.entries[0], TrackList::pathRoom, "%s", path.c_str());
    list.count = 1;
    if (!player.openTrack()) return 1;
    for (int i = 0; i < 3000 && awaitStore && !player.isIdentified(); ++i) platform::sleepMs(2);
    return awaitStore && !player.isIdentified() ? 2 : 0;
}

class PlayerFixture : public ::testing::Test {
public:
    // A WAV track whose left channel counts frames (value f / 32768 at frame
    // f, wrapping at 30,000) and whose right channel is its negative.
    static std::string rampTrack(const std::string& name, int frames, int rate = 44100) {
        testdata::WavRecipe recipe;
        recipe.frames = frames;
        recipe.sampleRate = rate;
        recipe.sample = [](int frame, int channel) { return channel == 0 ? frame % 30000 : -(frame % 30000); };
        return testdata::writeWav(name, recipe);
    }
    static float rampValue(int frame) { return static_cast<float>(frame % 30000) / 32768.0f; }
    // The tick clock a test moves by hand, once it installs tick().
    static inline uint32_t now = 0;
    static uint32_t tick() { return now; }

protected:
    void SetUp() override {
        TestHost::reset();
        // Each test keeps its own store file: made-up tracks with the same
        // content pattern share a signature, as copies of one file do.
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string folder = testdata::tempPath(std::string("store-") + test->test_suite_name() + "-" + test->name());
        for (char& c : folder)
            if (c == '/' && &c > &folder[testdata::tempPath("").size() - 1]) c = '_';
        std::filesystem::create_directories(folder);
        TestHost::directory = folder + "/";
#ifndef _WIN32
        // The user's track store is this test's own.
        setenv("XDG_DATA_HOME", folder.c_str(), 1);
#endif
        player = std::make_unique<TrackPlayer>(TestHost::callback, profile(), editorFactory());
    }
    void TearDown() override {
        player.reset();
        platform::setTickSource(nullptr);
    }
    virtual const BuildProfile& profile() const { return fullProfile; }
    virtual TrackPlayer::EditorFactory editorFactory() const { return RecordingEditor::make; }
    RecordingEditor& editor() { return RecordingEditor::of(*player); }

    void setEntries(const std::vector<std::string>& paths) {
        TrackList& list = player->trackList();
        for (size_t i = 0; i < paths.size(); ++i)
            std::snprintf(list.entries[i], TrackList::pathRoom, "%s", paths[i].c_str());
        list.count = static_cast<int32_t>(paths.size());
    }
    // Band gains of 1 and full volume: the deck plays the track's own samples.
    void unityLevels() {
        for (int32_t band = 0; band < 3; ++band) player->setGain(band, 1.0f);
        player->setVolume(1.0f);
    }
    // Opens a ramp track of the given length and starts playing it at unity levels.
    void playRamp(int frames, int rate = 44100) {
        setEntries({rampTrack("ramp-" + std::to_string(frames) + "-" + std::to_string(rate) + ".wav", frames, rate)});
        unityLevels();
        player->openTrack();
        player->setSize(frames, true);
        player->setPlaying(true);
    }
    void render(int32_t frames, bool replace = true) {
        left.assign(frames, 0.0f);
        right.assign(frames, 0.0f);
        float* outs[2] = {left.data(), right.data()};
        player->renderBlock(AudioThread::claim(), outs, frames, replace);
    }

    std::unique_ptr<TrackPlayer> player;
    std::vector<float> left, right;
};
