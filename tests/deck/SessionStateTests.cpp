#include <algorithm>
// The deck in a host's session: what a host saves with its project comes
// back whole in a new instance, and a block the deck cannot read changes
// nothing.
#include <cstring>
#include <random>

#include "tests/support/PlayerFixture.h"

namespace {

class SessionState : public PlayerFixture {
protected:
    std::vector<uint8_t> chunkOf(TrackPlayer& deck) {
        void* data = nullptr;
        const auto size = deck.dispatcher(effGetChunk, 0, 0, &data, 0.0f);
        EXPECT_GT(size, 0);
        const auto* bytes = static_cast<const uint8_t*>(data);
        return std::vector<uint8_t>(bytes, bytes + size);
    }
    intptr_t give(TrackPlayer& deck, std::vector<uint8_t> block) {
        return deck.dispatcher(effSetChunk, 0, static_cast<intptr_t>(block.size()), block.data(), 0.0f);
    }
    std::vector<std::string> entries(TrackPlayer& deck) {
        std::vector<std::string> paths;
        for (int32_t i = 0; i < deck.trackList().count; ++i) paths.emplace_back(deck.trackList().entries[i]);
        return paths;
    }
};

TEST_F(SessionState, ASavedDeckComesBackWholeInANewInstance) {
    const std::string missing = testdata::tempPath("session-gone.wav");
    setEntries({rampTrack("session-a.wav", 441000), missing, rampTrack("session-b.wav", 441000)});
    {
        std::FILE* file = std::fopen(missing.c_str(), "w");
        std::fclose(file);
    }
    player->trackList().selected[2] = true;
    player->trackList().currentIndex = 2;
    player->openTrack();
    player->setSize(441000, true);
    AEffect* effect = player->record();
    const float values[][2] = {{TrackPlayer::AutoRewind, 0.5f}, {TrackPlayer::Pitch, 0.75f},
                               {TrackPlayer::EqCut1, 0.2f},     {TrackPlayer::EqCut2, 0.8f},
                               {TrackPlayer::EqBass, 0.9f},     {TrackPlayer::EqTreble, 0.3f},
                               {TrackPlayer::EqTweet, 0.6f},    {TrackPlayer::Vol, 0.85f},
                               {TrackPlayer::CutTreble, 1.0f},  {TrackPlayer::KeyLock, 0.5f},
                               {TrackPlayer::Key, 0.25f},       {TrackPlayer::Playing, 1.0f}};
    for (auto [index, value] : values) effect->setParameter(effect, static_cast<int32_t>(index), value);
    player->setTempo(128.0f);
    render(20000);
    editorOf(*player).restoreView(2, true, 0.0f);
    effect->setParameter(effect, TrackPlayer::Loop, 0.45f); // the fourth loop button: one beat
    render(3000);
    std::remove(missing.c_str()); // the file goes before the session comes back

    const std::vector<uint8_t> block = chunkOf(*player);
    const double position = player->heardPosition();
    std::vector<float> saved(TrackPlayer::parameterCount);
    for (int32_t i = 0; i < TrackPlayer::parameterCount; ++i) saved[i] = player->getParameter(i);
    const std::vector<std::string> list = entries(*player);
    const double loopEnd = player->getLoopEnd();
    player.reset();

    player = std::make_unique<TrackPlayer>(TestHost::callback, profile(), editorFactory());
    EXPECT_NE(player->record()->flags & effFlagsProgramChunks, 0);
    ASSERT_EQ(give(*player, block), 1);
    player->waitForOpenings();
    EXPECT_EQ(entries(*player), list) << "the missing file keeps its place";
    EXPECT_TRUE(player->trackList().selected[2]);
    EXPECT_EQ(player->trackList().currentIndex, 2);
    EXPECT_NEAR(player->getExactPosition(), position, 1.0);
    EXPECT_FALSE(player->isPlaying()) << "saved while playing, it opens stopped where it was";
    EXPECT_FLOAT_EQ(player->getTempo(), 128.0f);
    EXPECT_TRUE(player->isLoopOn());
    EXPECT_EQ(player->getLoopIndex(), 3);
    EXPECT_EQ(player->getLoopEnd(), static_cast<int32_t>(loopEnd));
    for (int32_t i = 0; i < TrackPlayer::parameterCount; ++i)
        if (i != TrackPlayer::Playing) {
            EXPECT_FLOAT_EQ(player->getParameter(i), saved[i]) << "parameter " << i;
        }
    EXPECT_EQ(editorOf(*player).page(), 2);
    EXPECT_TRUE(editorOf(*player).showsRemainingTime());
    // Play plays on from there (the ramp, not silence), after key lock's latency.
    player->setPlaying(true);
    for (int block = 0; block < 8; ++block) render(4096);
    EXPECT_GT(*std::max_element(left.begin(), left.end()), 0.1f);
}

TEST_F(SessionState, ABlockTheDeckCannotReadChangesNothing) {
    setEntries({rampTrack("session-c.wav", 44100)});
    std::vector<uint8_t> good = chunkOf(*player);
    setEntries({"/music/kept.wav", "/music/also-kept.wav"});
    player->trackList().currentIndex = 1;
    const auto unchanged = [&] {
        return entries(*player) == std::vector<std::string>{"/music/kept.wav", "/music/also-kept.wav"} &&
               player->trackList().currentIndex == 1;
    };
    for (size_t size = 0; size < good.size(); ++size) {
        ASSERT_EQ(give(*player, std::vector<uint8_t>(good.begin(), good.begin() + size)), 0) << size;
        ASSERT_TRUE(unchanged());
    }
    std::vector<uint8_t> newer = good;
    newer[4] = 2; // a version this deck does not know
    EXPECT_EQ(give(*player, newer), 0);
    std::vector<uint8_t> crowded = good;
    crowded[18] = 0xFF; // 255 + 256 * n entries
    crowded[19] = 0x01;
    EXPECT_EQ(give(*player, crowded), 0);
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> noise = good;
        noise[12 + random() % (noise.size() - 12)] = static_cast<uint8_t>(random());
        if (round % 2) noise.resize(12 + random() % 64);
        give(*player, noise);
    }
    std::vector<uint8_t> junk(4096);
    for (uint8_t& byte : junk) byte = static_cast<uint8_t>(random());
    EXPECT_EQ(give(*player, junk), 0);
    EXPECT_EQ(player->dispatcher(effSetChunk, 0, 100, nullptr, 0.0f), 0);
    EXPECT_EQ(player->dispatcher(effGetChunk, 0, 0, nullptr, 0.0f), 0);
    player->waitForOpenings();
    // A path longer than the deck keeps is refused.
    setEntries({"/music/kept.wav", "/music/also-kept.wav"});
    player->trackList().currentIndex = 1;
    DeckState state;
    state.entries.push_back({std::string(1500, 'x'), false});
    EXPECT_FALSE(player->restoreState(state));
    EXPECT_TRUE(unchanged());
}

} // namespace
