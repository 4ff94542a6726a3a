// A deck holds a bounded part of each track, however long: its resident
// memory through an hour of MP3, half an hour of FLAC and a WAV of more than
// 2 GiB stays under 64 MB, and falls back as soon as the track changes.
// The long files are made here and removed after; the WAV is sparse.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "tests/support/PlayerFixture.h"

namespace {

constexpr int64_t megabyte = 1 << 20;

int64_t residentBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
    return -1;
}

// An hour of 320 kbit/s MP3: lame's encoding of a few seconds, repeated.
std::string hourOfMp3() {
    testdata::WavRecipe recipe;
    recipe.frames = 44100 * 20;
    recipe.sample = [](int frame, int) { return static_cast<int>(8000 * std::sin(frame * 0.0627)); };
    const std::string piece = testdata::encodedTrack("memory-piece", recipe, "mp3");
    if (piece.empty()) return {};
    std::ifstream in(piece, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string path = testdata::tempPath("memory-hour.mp3");
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < 180; ++i) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::filesystem::remove(piece);
    std::filesystem::remove(testdata::tempPath("memory-piece.wav"));
    return path;
}

// Half an hour of FLAC of quiet noise, which FLAC cannot make much smaller.
std::string halfHourOfFlac() {
    const std::string path = testdata::tempPath("memory-half-hour.flac");
    const std::string command = "flac -0 --silent -f --force-raw-format --endian=little --sign=signed --channels=2 "
                                "--bps=16 --sample-rate=44100 -o '" + path + "' -";
    FILE* encoder = popen(command.c_str(), "w");
    if (!encoder) return {};
    std::minstd_rand noise(7);
    std::vector<int16_t> block(2 * 44100);
    for (int second = 0; second < 1800; ++second) {
        for (auto& v : block) v = static_cast<int16_t>(static_cast<int>(noise() % 8192) - 4096);
        std::fwrite(block.data(), sizeof(int16_t), block.size(), encoder);
    }
    return pclose(encoder) == 0 ? path : std::string();
}

// A 16-bit stereo WAV of 2.25 GiB of data, silent (sparse) but for its last
// second, a ramp that tells where a read landed.
constexpr int64_t bigWavFrames = (int64_t{9} << 28) / 4;
std::string wavOver2GiB() {
    const std::string path = testdata::tempPath("memory-big.wav");
    testdata::WavRecipe recipe;
    recipe.frames = 0;
    recipe.declaredDataBytes = bigWavFrames * 4;
    testdata::writeFile(path, testdata::makeWav(recipe));
    std::filesystem::resize_file(path, 44 + bigWavFrames * 4);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(44 + (bigWavFrames - 44100) * 4);
    for (int f = 0; f < 44100; ++f) {
        const int16_t frame[2] = {static_cast<int16_t>(f % 30000), static_cast<int16_t>(-(f % 30000))};
        file.write(reinterpret_cast<const char*>(frame), sizeof frame);
    }
    return file.good() ? path : std::string();
}

class LongTracks : public PlayerFixture {
protected:
    void open(const std::string& path) {
        setEntries({path});
        ASSERT_TRUE(player->openTrack()) << path;
        player->setPlaying(true);
    }
    // Plays a second at each of a few places of the open track; the most
    // resident memory seen on the way.
    int64_t playAround() {
        int64_t most = residentBytes();
        for (float at : {0.0f, 0.5f, 0.97f, 0.2f}) {
            player->seek(at);
            for (int block = 0; block < 44100 / 512; ++block) {
                render(512);
                if (block % 16 == 0) most = std::max(most, residentBytes());
            }
        }
        return most;
    }
};

#if defined(__SANITIZE_ADDRESS__)
#define UNDER_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define UNDER_ADDRESS_SANITIZER 1
#endif
#endif

TEST_F(LongTracks, ADeckHoldsABoundedPartOfEveryTrackHoweverLong) {
#ifdef UNDER_ADDRESS_SANITIZER
    GTEST_SKIP() << "the sanitizer's own memory is resident too";
#endif
    unityLevels();
    const int64_t before = residentBytes();
    ASSERT_GT(before, 0);
    const std::string small = rampTrack("memory-small.wav", 44100 * 5);
    open(small);
    playAround();
    const int64_t withSmallTrack = residentBytes();

    struct Long {
        std::string path;
        int64_t frames;
    };
    const std::vector<Long> tracks = {{hourOfMp3(), 3600 * 44100}, {halfHourOfFlac(), 1800 * 44100},
                                      {wavOver2GiB(), bigWavFrames}};
    for (const Long& track : tracks) {
        ASSERT_FALSE(track.path.empty());
        ASSERT_GT(static_cast<int64_t>(std::filesystem::file_size(track.path)), 100 * megabyte) << track.path;
        open(track.path);
        // Each repeat of the MP3 piece brings its encoder's frame and delay.
        EXPECT_NEAR(player->getLength(), track.frames, track.frames / 100) << track.path;
        const int64_t most = playAround();
        EXPECT_LT(most - before, 64 * megabyte) << track.path;
        std::printf("%s: %.1f MB resident at most\n", track.path.c_str(), static_cast<double>(most - before) / megabyte);
        open(small);
        playAround();
        // What analysing a track's first twelve minutes used goes back to
        // the system; the allocator keeps some (12 to 13 MB here), far
        // below any part of a long track kept by mistake.
        EXPECT_LT(residentBytes() - withSmallTrack, 16 * megabyte) << "the long track was let go: " << track.path;
        std::filesystem::remove(track.path);
    }
}

// The WAV's last second lies 2.25 GiB into the file: a read there lands on
// its own frames.
TEST_F(LongTracks, AWavOver2GiBPlaysItsLastSecondFromItsOwnBytes) {
    unityLevels();
    const std::string path = wavOver2GiB();
    ASSERT_FALSE(path.empty());
    open(path);
    ASSERT_EQ(player->getLength(), bigWavFrames);
    player->seek(static_cast<float>(static_cast<double>(bigWavFrames - 30000) / bigWavFrames));
    const double at = player->getExactPosition();
    render(4096);
    render(512);
    const auto frame = static_cast<int64_t>(at) + 4096 + 100;
    const auto intoRamp = static_cast<int>(frame - (bigWavFrames - 44100));
    ASSERT_GT(intoRamp, 0);
    EXPECT_EQ(left[100], rampValue(intoRamp));
    EXPECT_EQ(right[100], -rampValue(intoRamp));
    std::filesystem::remove(path);
}

} // namespace
