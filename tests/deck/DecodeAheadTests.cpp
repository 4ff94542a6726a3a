// Decoding ahead: the audio thread plays what the worker decoded, never
// waits for it in real time, and never reads a chunk torn by a store.
#include <atomic>
#include <thread>

#include "deck/DecodedChunks.h"
#include "tests/support/PlayerFixture.h"

namespace {

// A reader copying chunks while the writer stores them over and over: every
// copy it counts as whole holds one chunk's values, never a mix of two.
TEST(DecodedChunks, ACopyIsWholeOrCountedMissingWhileTheWriterStores) {
    DecodedChunks chunks;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::vector<float> left(DecodedChunks::chunkFrames), right(DecodedChunks::chunkFrames);
        for (uint32_t round = 1; round < 4000; ++round) {
            // Chunks 3 and 259 share a slot.
            const int64_t chunk = round % 2 ? 3 : 3 + DecodedChunks::slotCount;
            std::fill(left.begin(), left.end(), static_cast<float>(round));
            std::fill(right.begin(), right.end(), -static_cast<float>(round));
            chunks.store(DecodedChunks::labelOf(1, chunk), left.data(), right.data());
        }
        done = true;
    });
    std::vector<float> left(DecodedChunks::chunkFrames), right(DecodedChunks::chunkFrames);
    int whole = 0, missing = 0;
    while (!done) {
        if (!chunks.copy(DecodedChunks::labelOf(1, 3), 0, DecodedChunks::chunkFrames, left.data(), right.data())) {
            ++missing;
            for (float v : left) ASSERT_EQ(v, 0.0f) << "a missing chunk reads as silence";
            continue;
        }
        ++whole;
        const float round = left[0];
        ASSERT_EQ(static_cast<int>(round) % 2, 1) << "only chunk 3's rounds";
        for (int j = 0; j < DecodedChunks::chunkFrames; ++j) {
            ASSERT_EQ(left[j], round) << j;
            ASSERT_EQ(right[j], -round) << j;
        }
    }
    writer.join();
    EXPECT_GT(whole + missing, 0);
    EXPECT_FALSE(chunks.copy(DecodedChunks::labelOf(2, 3), 0, 16, left.data(), right.data()))
        << "another track's chunk is never read";
}

// A deck in a host that answers the process level it is asked for with level.
template <int level>
class AtProcessLevel : public PlayerFixture {
protected:
    void SetUp() override {
        PlayerFixture::SetUp();
        TestHost::processLevel = level;
    }
};
using RealTime = AtProcessLevel<kVstProcessLevelRealtime>;
using HostWithoutProcessLevel = AtProcessLevel<kVstProcessLevelUnknown>;

// A cue to a place nobody decoded yet, in real time: the block plays
// silence rather than wait, the position moves on as in any block, and
// the sound comes in exactly where the track is by then.
TEST_F(RealTime, AJumpWhereNothingIsDecodedPlaysSilenceNotAWaitAndThenTheTrackInTime) {
    const int32_t frames = 44100 * 60;
    playRamp(frames);
    render(512);
    ASSERT_EQ(left[100], rampValue(100)) << "the start was decoded while the track opened";
    player->seek(0.9f);
    const double target = player->getExactPosition();
    ASSERT_GT(target, frames * 0.89);
    render(512);
    EXPECT_EQ(player->getExactPosition(), target + 512) << "the block did not wait, and time went on";
    float loudest = 0.0f;
    for (int j = 300; j < 512; ++j) loudest = std::max(loudest, std::fabs(left[j]));
    EXPECT_LT(loudest, 0.01f) << "the old place faded out; the new one is not decoded yet";
    // The worker catches up within a few blocks; then every value is the track's.
    int silentBlocks = 0;
    for (; silentBlocks < 400; ++silentBlocks) {
        platform::sleepMs(1);
        render(512);
        if (left[511] != 0.0f) break;
    }
    ASSERT_LT(silentBlocks, 400);
    for (int block = 0; block < 20; ++block) {
        const auto at = static_cast<int64_t>(player->getExactPosition());
        render(512);
        for (int j = 0; j < 512; ++j) ASSERT_EQ(left[j], rampValue(static_cast<int>(at + j))) << "frame " << at + j;
        platform::sleepMs(1);
    }
}

} // namespace

namespace {

// A host that exports without saying so runs through its blocks as fast as
// it can: the deck sees it and waits for its decoding, so a jump in an
// export is sound from its first block, not a gap.
TEST_F(HostWithoutProcessLevel, AnExportRunningAheadOfRealTimeWaitsForTheDecodingAtAJump) {
    const int32_t frames = 44100 * 60;
    playRamp(frames);
    for (int block = 0; block < 200; ++block) render(512); // 2.3 s of sound in far less time
    player->seek(0.9f);
    const auto target = static_cast<int64_t>(player->getExactPosition());
    for (int block = 0; block < 3; ++block) render(512); // the cue's crossfade
    const auto at = static_cast<int64_t>(player->getExactPosition());
    EXPECT_EQ(at, target + 3 * 512);
    render(512);
    for (int j = 0; j < 512; ++j) ASSERT_EQ(left[j], rampValue(static_cast<int>(at + j))) << "frame " << at + j;
}

// Ardour sends an automated Position again whenever the value it reads
// back differs, which it does as soon as the track plays on: a held lane
// must not hold the deck on one block.
TEST_F(HostWithoutProcessLevel, AHostSendingTheSamePositionEveryBlockJumpsOnceAndPlaysOn) {
    playRamp(44100 * 10);
    AEffect* effect = player->record();
    for (int block = 0; block < 40; ++block) {
        effect->setParameter(effect, TrackPlayer::Position, 0.6f);
        render(1024);
    }
    const double jumpedTo = std::floor(44100 * 10 * 0.6f);
    EXPECT_EQ(player->getExactPosition(), jumpedTo + 40 * 1024) << "one jump, then 40 blocks of play";
}

} // namespace
